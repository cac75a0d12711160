#include "app/Translations.h"

#include <QCoreApplication>
#include <QTranslator>

namespace corvane {

bool installTranslations(const QLocale& locale)
{
    static QTranslator* current = nullptr;
    if (current != nullptr) {
        QCoreApplication::removeTranslator(current);
        delete current;
        current = nullptr;
    }
    auto translator = std::make_unique<QTranslator>();
    // The .qm files are compiled in under :/i18n, named corvane_<language>.qm.
    if (!translator->load(locale, QStringLiteral("corvane"), QStringLiteral("_"),
                          QStringLiteral(":/i18n")))
        return false;
    QCoreApplication::installTranslator(translator.get());
    current = translator.release();
    return true;
}

} // namespace corvane
