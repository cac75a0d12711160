#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace corvane {

class AppViewModel;
class BusyIndicator;
class CopyableValue;
class IconButton;
class IconView;
class InfoRow;
class LinkAction;
class Segments;
class SparklineView;

// Arrow, value and unit of one rate, on one baseline.
class SpeedBlock : public QWidget {
    Q_OBJECT
public:
    SpeedBlock(const QString& arrow, const QColor& tint, QWidget* parent = nullptr);
    void setRate(const QString& value, const QString& unit);
    const QString& value() const { return value_; }
    const QString& unit() const { return unit_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString arrow_;
    QColor tint_;
    QString value_;
    QString unit_;
};

// The panel's content: rates, history, information rows and settings, all read from the
// model and updated in place as its properties change. It holds no state of its own; every
// control calls one model operation.
//
// Its size is fixed by the content: 264 px wide, as tall as the rows it shows. adjustSize()
// lays it out at that size without showing it, and render() then paints it (without a
// background: the palette's window colour is the one to put behind it).
class PanelView : public QWidget {
    Q_OBJECT
public:
    static constexpr int panelWidth = 264;
    static constexpr int padding = 10;
    static constexpr int labelColumn = 60;

    explicit PanelView(AppViewModel* model, QWidget* parent = nullptr);
    ~PanelView() override;

    AppViewModel* model() const { return model_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    bool hasHeightForWidth() const override { return false; }

    // Lays the panel out at its natural size, shown or not, and paints it over the palette's
    // window colour into an image with the given device pixel ratio.
    QImage renderImage(qreal devicePixelRatio);

private:
    QWidget* buildHeader();
    QWidget* buildStats();
    QWidget* buildRows();
    QWidget* buildFooter();
    void connectModel();
    void settleLayouts() const;

    void updateHistory();
    void updateHeader();
    void updateLink();
    void updateWifi();
    void updateDish();
    void updateInterface();
    void updateAddresses();
    void updatePublicIP();
    void updateSession();
    void updateFooter();
    void updateLogin();
    void updatePrefsError();
    void updateIdentifying();

    AppViewModel* model_;

    SpeedBlock* download_ = nullptr;
    SpeedBlock* upload_ = nullptr;
    QLabel* age_ = nullptr;
    QLabel* peakDown_ = nullptr;
    QLabel* peakUp_ = nullptr;
    QLabel* avgDown_ = nullptr;
    QLabel* avgUp_ = nullptr;
    SparklineView* sparkline_ = nullptr;

    QWidget* linkRow_ = nullptr;
    QLabel* linkLabel_ = nullptr;
    IconView* linkIcon_ = nullptr;
    QLabel* linkDetail_ = nullptr;

    QWidget* wifiRow_ = nullptr;
    CopyableValue* network_ = nullptr;
    IconButton* eye_ = nullptr;

    QWidget* dishRow_ = nullptr;
    LinkAction* dishy_ = nullptr;
    LinkAction* dashboard_ = nullptr;

    InfoRow* interfaceInfo_ = nullptr;
    QWidget* pickerRow_ = nullptr;
    QComboBox* picker_ = nullptr;
    QLabel* fallbackNote_ = nullptr;
    InfoRow* localIP_ = nullptr;
    InfoRow* router_ = nullptr;

    QLabel* publicOff_ = nullptr;
    CopyableValue* publicIP_ = nullptr;
    BusyIndicator* publicSpinner_ = nullptr;
    QLabel* publicNone_ = nullptr;

    QLabel* totals_ = nullptr;
    QLabel* since_ = nullptr;

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
