#include "app/tray/SniTypes.h"

#include <QDBusMetaType>
#include <QImage>
#include <QtEndian>
#include <cstring>

namespace corvane {

SniPixmap SniPixmap::fromImage(const QImage& image)
{
    if (image.isNull())
        return {};
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    SniPixmap p;
    p.width = argb.width();
    p.height = argb.height();
    p.bytes.resize(qsizetype(p.width) * p.height * 4);
    char* out = p.bytes.data();
    for (int y = 0; y < p.height; ++y) {
        // Rows may be padded, so go row by row rather than copying the whole buffer.
        const auto* row = reinterpret_cast<const quint32*>(argb.constScanLine(y));
        for (int x = 0; x < p.width; ++x) {
            const quint32 be = qToBigEndian(row[x]);
            std::memcpy(out, &be, 4);
            out += 4;
        }
    }
    return p;
}

QDBusArgument& operator<<(QDBusArgument& arg, const SniPixmap& p)
{
    arg.beginStructure();
    arg << p.width << p.height << p.bytes;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, SniPixmap& p)
{
    arg.beginStructure();
    arg >> p.width >> p.height >> p.bytes;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const SniToolTip& t)
{
    arg.beginStructure();
    arg << t.iconName << t.pixmaps << t.title << t.text;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, SniToolTip& t)
{
    arg.beginStructure();
    arg >> t.iconName >> t.pixmaps >> t.title >> t.text;
    arg.endStructure();
    return arg;
}

void registerSniTypes()
{
    static const bool once = [] {
        qDBusRegisterMetaType<SniPixmap>();
        qDBusRegisterMetaType<QList<SniPixmap>>();
        qDBusRegisterMetaType<SniToolTip>();
        return true;
    }();
    (void)once;
}

} // namespace corvane
