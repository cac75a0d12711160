#pragma once

#include <QElapsedTimer>
#include <QPoint>
#include <QWidget>
#include <optional>

namespace corvane {

class AppViewModel;
class PanelView;

// The drop-down window around the panel: a frameless popup with a rounded dark frame, opened
// and closed by clicks on the tray item. Showing it starts the model's opening refresh;
// hiding it cancels that refresh and tells the model the panel is closed.
class PanelWindow : public QWidget {
    Q_OBJECT
public:
    explicit PanelWindow(AppViewModel* model, QWidget* parent = nullptr);
    PanelView* view() const { return view_; }

    // The point to open at: the reported click when it is plausible, else the pointer. Some
    // hosts report positions relative to their own applet, or none at all; the pointer is
    // over the item whenever a click is real.
    static QPoint anchorFor(QPoint reported, std::optional<QPoint> pointer);

    // Where a window of `size` goes for a click at `click` on a bar at the nearest edge of
    // `screen`: beside the bar, never over it (a bar is taken to be at least twice as
    // thick as the click is far from the edge), centred on the click along the bar, and
    // kept inside `available`.
    static QPoint placement(QSize size, QPoint click, const QRect& screen, const QRect& available);

public Q_SLOTS:
    // Opens the panel near the click, or closes it when it is open.
    void toggleAt(QPoint globalPos);

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    AppViewModel* model_;
    PanelView* view_;
    QElapsedTimer hiddenAt_;
};

} // namespace corvane
