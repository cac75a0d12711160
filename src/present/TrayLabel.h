#pragma once

#include "measure/SpeedSample.h"
#include "present/BarStyle.h"
#include "present/LabelImage.h"
#include "present/RateUnits.h"

#include <QHash>
#include <QObject>
#include <QString>

namespace corvane {

// What the tray shows for the current rates: the one-line text always, and the two-line
// image in the stacked style, rendered once per distinct figure and kept. Main thread only.
class TrayLabel : public QObject {
    Q_OBJECT

public:
    TrayLabel(BarStyle style, RateUnits units, QObject* parent = nullptr);

    const QString& text() const { return text_; }
    const LabelImage& image() const { return image_; }
    BarStyle style() const { return style_; }
    RateUnits units() const { return units_; }

    // Shows `sample`; the image is redrawn only when the text changed or `force` is set.
    void show(const SpeedSample& sample, bool force = false);
    // Both redraw the last sample shown. They return whether anything changed.
    bool setUnits(RateUnits units);
    bool setStyle(BarStyle style);

Q_SIGNALS:
    void textChanged();
    void imageChanged();
    void styleChanged();
    void unitsChanged();

private:
    void setImage(const LabelImage& image);

    BarStyle style_;
    RateUnits units_;
    SpeedSample shown_ = SpeedSample::zero();
    QString text_;
    LabelImage image_;
    QHash<QString, LabelImage> cache_;
};

} // namespace corvane
