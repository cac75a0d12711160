#pragma once

#include <QWidget>

class QPainter;

namespace corvane {

class AppViewModel;
class PanelFooter;
class PanelHeader;
class PanelRows;

// The panel's content: the header with rates and history, the information rows and the
// settings footer, all read from the model. While hidden it skips the model's per-tick
// changes and catches up when shown (or rendered).
//
// Its size is fixed by the content: 264 px wide, as tall as the rows it shows. adjustSize()
// lays it out at that size without showing it, and renderImage() then paints it.
class PanelView : public QWidget {
    Q_OBJECT
public:
    static constexpr int panelWidth = 264;
    static constexpr int padding = 10;
    static constexpr qreal cornerRadius = 12;

    // Live controls, or drawn ones (for the offline render) that look the same and do nothing.
    enum class Face { live, drawn };

    explicit PanelView(AppViewModel* model, Face face = Face::live, QWidget* parent = nullptr);
    ~PanelView() override;

    AppViewModel* model() const { return model_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    bool hasHeightForWidth() const override { return false; }

    // Brings every section up to date with the model.
    void refresh();

    // Lays the panel out at its natural size, shown or not, and paints it over `background`
    // (the palette's window colour when invalid) into an image with the given pixel ratio.
    QImage renderImage(qreal devicePixelRatio, const QColor& background = {});

    // The rounded frame around the panel, filled with `fill`, its hairline border inside
    // `outer`. The window and the offline render both draw it through here.
    static void paintFrame(QPainter& p, const QRectF& outer, const QBrush& fill);

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void settleLayouts() const;

    AppViewModel* model_;
    PanelHeader* header_;
    PanelRows* rows_;
    PanelFooter* footer_;
};

} // namespace corvane
