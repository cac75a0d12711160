#pragma once

#include <QByteArray>
#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>

class QImage;

namespace corvane {

// One icon bitmap as StatusNotifierItem hosts expect it, D-Bus type (iiay): ARGB32, not
// premultiplied, each pixel as big-endian A, R, G, B whatever the host byte order.
struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;

    // Converts any image format; a null image gives an empty pixmap.
    static SniPixmap fromImage(const QImage& image);

    friend bool operator==(const SniPixmap&, const SniPixmap&) = default;
};

// D-Bus type (sa(iiay)ss): icon name, icon bitmaps, title, body text.
struct SniToolTip {
    QString iconName;
    QList<SniPixmap> pixmaps;
    QString title;
    QString text;

    friend bool operator==(const SniToolTip&, const SniToolTip&) = default;
};

QDBusArgument& operator<<(QDBusArgument& arg, const SniPixmap& p);
const QDBusArgument& operator>>(const QDBusArgument& arg, SniPixmap& p);
QDBusArgument& operator<<(QDBusArgument& arg, const SniToolTip& t);
const QDBusArgument& operator>>(const QDBusArgument& arg, SniToolTip& t);

// Makes the types above known to Qt D-Bus; cheap to call again.
void registerSniTypes();

} // namespace corvane

Q_DECLARE_METATYPE(corvane::SniPixmap)
Q_DECLARE_METATYPE(corvane::SniToolTip)
