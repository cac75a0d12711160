#include "demo/PanelRenderer.h"

#include "demo/DemoFixture.h"
#include "model/AppViewModel.h"
#include "platform/RegularFile.h"
#include "present/Label.h"
#include "ui/PanelView.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QSaveFile>
#include <cstdio>

namespace corvane::PanelRenderer {

namespace {

constexpr int labelScale = 4;
constexpr int panelScale = 2;
constexpr int panelMargin = 12;

bool write(const QImage& image, const QString& path)
{
    QByteArray png;
    QBuffer buffer(&png);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        std::fputs("render failed\n", stderr);
        return false;
    }
    // Written beside the target and renamed over it, so a failure or an interruption leaves
    // the old file whole. Nothing is written through, or put in place of, a FIFO or device.
    const QString failure = [&] {
        if (regular_file::occupiedByOther(QFile::encodeName(path).constData()))
            return QStringLiteral("not a regular file");
        QSaveFile file(path);
        file.setDirectWriteFallback(false);
        if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size() || !file.commit())
            return file.errorString();
        return QString();
    }();
    if (!failure.isNull()) {
        std::fprintf(stderr, "write failed: %s\n", qPrintable(failure));
        return false;
    }
    std::printf("wrote %s (%dx%d)\n", path.toLocal8Bit().constData(), image.width(),
                image.height());
    std::fflush(stdout);
    return true;
}

} // namespace

QImage labelImage(AppViewModel& model)
{
    // Drawn afresh at scale 4 from what the label shows, so the text stays crisp; only the
    // alpha of the drawing is used, filled with white.
    const SpeedSample s = model.current();
    const ScaledRate d(s.downMbps, model.units());
    const ScaledRate u(s.upMbps, model.units());
    QImage mask = renderStackedAt(d, u, isIdleRate(s.downMbps), isIdleRate(s.upMbps), labelScale);
    if (mask.isNull())
        return {};
    {
        QPainter p(&mask);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(QRectF(QPointF(0, 0), mask.deviceIndependentSize()), Qt::white);
    }
    const QSizeF logical = mask.deviceIndependentSize();
    const QSize size((logical.width() + 20) * labelScale, (logical.height() + 4) * labelScale);
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(labelScale);
    out.fill(QColor::fromRgbF(0.11f, 0.11f, 0.11f));
    QPainter p(&out);
    p.drawImage(QPointF(10, 2), mask);
    p.end();
    out.setDevicePixelRatio(1);
    return out;
}

QImage panelImage(AppViewModel& model)
{
    PanelView view(&model, PanelView::Face::drawn);
    const QImage panel = view.renderImage(panelScale, Qt::transparent);
    const QSizeF size = panel.deviceIndependentSize();
    const QSize logical = (size + QSizeF(2 * panelMargin, 2 * panelMargin)).toSize();
    QImage out(logical * panelScale, QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(panelScale);
    out.fill(Qt::black);

    QPainter p(&out);
    const QRectF frame(QPointF(panelMargin, panelMargin), size);
    PanelView::paintFrame(p, frame, view.palette().window());
    p.drawImage(frame.topLeft(), panel);
    p.end();
    out.setDevicePixelRatio(1);
    return out;
}

bool renderLabel(AppViewModel& model, const QString& path)
{
    return write(labelImage(model), path);
}

bool render(AppViewModel& model, const QString& path)
{
    return write(panelImage(model), path);
}

std::optional<int> startupCheck(int& argc, char** argv,
                                const std::function<std::unique_ptr<AppViewModel>()>& makeModel)
{
    const std::optional<std::string> labelPath = DemoFixture::labelRenderPath();
    const std::optional<std::string> panelPath =
        labelPath ? std::nullopt : DemoFixture::renderPath();
    if (!labelPath && !panelPath)
        return std::nullopt;
    if (!DemoFixture::isActive()) {
        if (panelPath)
            std::fputs(refusal, stderr);
        return 2;
    }
    // No display is needed, or wanted, for a render; and the result lines are the only
    // output a render run makes, so Qt's own diagnostics are not passed on.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication app(argc, argv);
    const std::unique_ptr<AppViewModel> model = makeModel();
    const bool ok = labelPath ? renderLabel(*model, QString::fromStdString(*labelPath))
                              : render(*model, QString::fromStdString(*panelPath));
    return ok ? 0 : 1;
}

} // namespace corvane::PanelRenderer
