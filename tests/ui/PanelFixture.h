#pragma once

#include "model/model/ModelFixture.h"
#include "support/LoopbackEcho.h"
#include "ui/PanelView.h"
#include "ui/Rows.h"

#include <QLabel>
#include <QTcpServer>

namespace corvane::testing {

// A model on fakes (loopback only) or the seeded demo model, and a panel over it.
class PanelFixture : public ModelTest {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        qunsetenv("CORVANE_RENDER_PANEL");
        dishListener.listen(QHostAddress::LocalHost);
        dish = {QStringLiteral("127.0.0.1"), dishListener.serverPort()};
        publicIPEndpoint = echo.url();
    }
    void TearDown() override
    {
        qunsetenv("CORVANE_DEMO");
        qunsetenv("CORVANE_RENDER_PANEL");
    }
    std::unique_ptr<AppViewModel> demoModel()
    {
        qputenv("CORVANE_DEMO", "1");
        return makeModel();
    }

    template <typename T = QWidget> static T* part(const PanelView& v, const char* name)
    {
        T* w = v.findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static QString text(const PanelView& v, const char* name)
    {
        return part<QLabel>(v, name)->text();
    }
    static CopyableValue* row(const PanelView& v, const QString& label)
    {
        for (InfoRow* r : v.findChildren<InfoRow*>()) {
            if (r->label() == label)
                return r->value();
        }
        ADD_FAILURE() << label.toStdString();
        return nullptr;
    }
    static bool shown(const PanelView& v, const QWidget* w) { return w->isVisibleTo(&v); }
    static bool waitRefresh(AppViewModel& m)
    {
        QSignalSpy done(&m, &AppViewModel::panelRefreshFinished);
        return done.wait(5000);
    }

    QTcpServer dishListener;
    LoopbackEcho echo{"203.0.113.9\n"};
};

} // namespace corvane::testing
