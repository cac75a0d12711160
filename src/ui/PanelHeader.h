#pragma once

#include <QWidget>
#include <optional>
#include <vector>

class QLabel;

namespace corvane {

class AppViewModel;
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

// The top of the panel: the current (or hovered) rates, peak and average of the history,
// and the chart. The hovered sample is the chart's state, not the model's.
class PanelHeader : public QWidget {
    Q_OBJECT
public:
    explicit PanelHeader(AppViewModel* model, QWidget* parent = nullptr);

    void refresh();
    void updateHistory();
    void updateRates();
    // Drops the hovered sample, as when the panel closes.
    void clearHover();

private:
    AppViewModel* model_;
    std::vector<double> times_; // of the samples the chart shows
    SpeedBlock* download_ = nullptr;
    SpeedBlock* upload_ = nullptr;
    QLabel* age_ = nullptr;
    QLabel* peakDown_ = nullptr;
    QLabel* peakUp_ = nullptr;
    QLabel* avgDown_ = nullptr;
    QLabel* avgUp_ = nullptr;
    SparklineView* sparkline_ = nullptr;
};

} // namespace corvane
