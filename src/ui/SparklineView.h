#pragma once

#include "measure/SpeedSample.h"
#include "present/RateUnits.h"

#include <QWidget>
#include <optional>
#include <vector>

namespace corvane {

// The two-minute throughput chart. It keeps the sample under the pointer, so the header and
// the chart agree on what is hovered.
class SparklineView : public QWidget {
    Q_OBJECT
public:
    static constexpr int chartHeight = 32;

    explicit SparklineView(QWidget* parent = nullptr);
    // The history, oldest first, and the value for the peak label (Mb/s) in `units`.
    void setSeries(std::vector<SpeedSample> samples, double peak, RateUnits units);
    const std::vector<SpeedSample>& samples() const { return samples_; }
    const std::optional<int>& hoverIndex() const { return hover_; }
    void setHoverIndex(std::optional<int> index);
    QSize sizeHint() const override { return {244, chartHeight}; }

Q_SIGNALS:
    void hoverChanged();

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent*) override;

private:
    std::vector<SpeedSample> samples_;
    double peak_ = 0;
    RateUnits units_ = RateUnits::bits;
    std::optional<int> hover_;
};

} // namespace corvane
