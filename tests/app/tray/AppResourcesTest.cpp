#include <QFile>
#include <QSvgRenderer>
#include <gtest/gtest.h>

// The desktop entry must name the icon that is installed beside it, and that icon must render.
TEST(AppResources, DesktopEntryNamesTheInstalledIconWhichRenders)
{
    QFile desktop(QStringLiteral(CORVANE_RESOURCES_DIR "/io.github.corvane.Corvane.desktop"));
    ASSERT_TRUE(desktop.open(QIODevice::ReadOnly | QIODevice::Text));
    EXPECT_TRUE(desktop.readAll().contains("\nIcon=io.github.corvane.Corvane\n"));
    QSvgRenderer icon(QStringLiteral(CORVANE_RESOURCES_DIR "/io.github.corvane.Corvane.svg"));
    EXPECT_TRUE(icon.isValid());
}
