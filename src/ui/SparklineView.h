#pragma once

#include "measure/SpeedSample.h"

#include <QWidget>
#include <vector>

namespace corvane {

class AppViewModel;

// The two-minute throughput chart. Hovering writes the sample under the pointer to the
// model's hoverIndex, so the header and the chart agree; nothing else is kept here.
class SparklineView : public QWidget {
    Q_OBJECT
public:
    static constexpr int chartHeight = 32;

    explicit SparklineView(AppViewModel* model, QWidget* parent = nullptr);
    // The history, oldest first, and the value for the peak label (Mb/s).
    void setSeries(std::vector<SpeedSample> samples, double peak);
    const std::vector<SpeedSample>& samples() const { return samples_; }
    QSize sizeHint() const override { return {244, chartHeight}; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent*) override;

private:
    AppViewModel* model_;
    std::vector<SpeedSample> samples_;
    double peak_ = 0;
};

} // namespace corvane
