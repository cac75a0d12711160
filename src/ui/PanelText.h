#pragma once

#include "measure/LinkKind.h"
#include "measure/SpeedSample.h"
#include "services/WiFiMonitor.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <span>

// What the panel shows, worked out without any widget.
namespace corvane::panel_text {

// Eight U+2022 BULLET: what privacy mode shows instead of a name or an address.
inline const QString maskText = QString(8, QChar(0x2022));
// An absent value.
inline const QString placeholder = QStringLiteral("-");

// --- header

struct HeaderValues {
    SpeedSample sample;
    std::optional<QString> age; // only while a sample is hovered
};
// The hovered sample and its age (from `times`, in step with `samples`, against the newest)
// while `hoverIndex` points into `samples`, else `current`.
HeaderValues headerValues(std::span<const SpeedSample> samples, std::span<const double> times,
                          const SpeedSample& current, std::optional<int> hoverIndex);
// "now" for 0, else "-Ns".
QString ageText(qint64 seconds);

// --- sparkline

// The sample under a pointer at `px` in a chart `width` wide; none means leave the index as is.
std::optional<int> hoverIndexAt(double px, double width, int count);
// The value scale: the largest rate shown, at least 0.1 Mb/s.
double chartScale(std::span<const SpeedSample> samples);
double chartX(int index, int count, double width);
double chartY(double mbps, double scale, double height);

// --- information rows

// The link kind's title in the user's language.
QString linkKindTitle(LinkKind kind);

struct LinkRowText {
    QString label;
    QString detail;
    QString tooltip;
};
LinkRowText linkRowText(LinkKind kind, double linkMbps,
                        const std::optional<WiFiMonitor::Radio>& radio);

struct RowValue {
    QString text;
    bool masked = false;
};
// What a row shows for a value: "-" when absent, the mask when identifying and hidden.
RowValue rowValue(const std::optional<QString>& value, bool identifying, bool identifiersVisible);

struct PickerItem {
    QString text;
    QString name; // empty for Auto
    friend bool operator==(const PickerItem&, const PickerItem&) = default;
};
// Auto first, then the up interfaces, with a pinned interface that is not up put in front of
// them so it stays listed and selected.
QList<PickerItem> pickerItems(const std::optional<QString>& primary, const QStringList& interfaces,
                              const std::optional<QString>& override,
                              const std::function<QString(const QString&)>& kindTitle);
// Index of the item that shows the current choice.
int pickerSelection(const QList<PickerItem>& items, const std::optional<QString>& override);

// A byte count in decimal units, zero spelled out.
QString bytesText(quint64 bytes, const QLocale& locale = QLocale());
QString totalsText(quint64 in, quint64 out, const QLocale& locale = QLocale());
QString startText(const QDateTime& start, const QLocale& locale = QLocale());

} // namespace corvane::panel_text
