#pragma once

#include "model/model/ModelFixture.h"
#include "ui/PanelView.h"
#include "ui/Rows.h"

#include <QLabel>

namespace corvane::testing {

// A model on fakes (loopback only) or the seeded demo model, and a panel over it.
class PanelFixture : public ModelTest {
protected:
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
};

} // namespace corvane::testing
