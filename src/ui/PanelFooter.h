#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;

namespace corvane {

class AppViewModel;
class Segments;

// The settings at the bottom of the panel: bar style, units, privacy, the public-address
// lookup, launch at login, quit, and the errors of saving any of them.
class PanelFooter : public QWidget {
    Q_OBJECT
public:
    // `drawn`: controls that only show themselves, for the offline render.
    PanelFooter(AppViewModel* model, bool drawn, QWidget* parent = nullptr);

    void refresh();
    void updateSettings();
    void updateLogin();
    void updatePrefsError();

private:
    AppViewModel* model_;
    bool drawn_;
    Segments* barStyle_ = nullptr;
    Segments* units_ = nullptr;
    QCheckBox* privacy_ = nullptr;
    QCheckBox* lookup_ = nullptr;
    QCheckBox* launch_ = nullptr;
    QPushButton* quit_ = nullptr;
    QLabel* loginError_ = nullptr;
    QLabel* prefsError_ = nullptr;
};

} // namespace corvane
