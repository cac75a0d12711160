#include "ui/PanelView.h"

#include "model/AppViewModel.h"
#include "platform/sysfs/SystemLinks.h"
#include "present/RateUnits.h"
#include "services/LoginItemService.h"
#include "services/WiFiMonitor.h"
#include "ui/Icons.h"
#include "ui/PanelText.h"
#include "ui/Rows.h"
#include "ui/SparklineView.h"
#include "ui/Theme.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace corvane {

using namespace panel_text;

namespace {

constexpr int valueSize = 11;
constexpr int captionSize = 10; // the smallest caption style

template <typename Box> Box* box(QWidget* w, int spacing)
{
    auto* l = new Box(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(spacing);
    return l;
}

QLabel* label(QWidget* parent, const QFont& font, const QColor& color, const QString& text = {})
{
    auto* l = plainLabel(text, parent);
    theme::text(l, font, color);
    return l;
}

template <typename T> T* named(T* w, const char* name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

// A hairline between the panel's sections.
class Divider final : public QWidget {
public:
    explicit Divider(QWidget* parent) : QWidget(parent) { setFixedHeight(1); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter(this).fillRect(rect(), theme::alpha(Qt::white, 0.1));
    }
};

} // namespace

// ---------------------------------------------------------------- speed block

namespace {
QFont arrowFont()
{
    return theme::font(12, QFont::DemiBold);
}
QFont rateFont()
{
    return theme::digits(16, QFont::DemiBold);
}
QFont unitFont()
{
    return theme::font(9, QFont::Medium);
}
} // namespace

SpeedBlock::SpeedBlock(const QString& arrow, const QColor& tint, QWidget* parent)
    : QWidget(parent), arrow_(arrow), tint_(tint)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SpeedBlock::setRate(const QString& value, const QString& unit)
{
    if (value == value_ && unit == unit_)
        return;
    const bool wider = QFontMetrics(rateFont()).horizontalAdvance(value) !=
                           QFontMetrics(rateFont()).horizontalAdvance(value_) ||
                       unit != unit_;
    value_ = value;
    unit_ = unit;
    if (wider)
        updateGeometry();
    update();
}

QSize SpeedBlock::sizeHint() const
{
    const QFontMetrics a(arrowFont()), r(rateFont()), u(unitFont());
    const int ascent = std::max({a.ascent(), r.ascent(), u.ascent()});
    const int descent = std::max({a.descent(), r.descent(), u.descent()});
    return {a.horizontalAdvance(arrow_) + r.horizontalAdvance(value_) + u.horizontalAdvance(unit_) +
                2 * 2,
            ascent + descent};
}

void SpeedBlock::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QFontMetrics a(arrowFont()), r(rateFont()), u(unitFont());
    const int baseline = std::max({a.ascent(), r.ascent(), u.ascent()});
    qreal x = 0;
    const auto run = [&](const QFont& f, const QFontMetrics& fm, const QColor& c,
                         const QString& t) {
        p.setFont(f);
        p.setPen(c);
        p.drawText(QPointF(x, baseline), t);
        x += fm.horizontalAdvance(t) + 2;
    };
    run(arrowFont(), a, tint_, arrow_);
    run(rateFont(), r, theme::primary, value_);
    run(unitFont(), u, theme::secondary, unit_);
}

// ---------------------------------------------------------------- panel

PanelView::PanelView(AppViewModel* model, QWidget* parent) : QWidget(parent), model_(model)
{
    setPalette(theme::palette());
    setFont(theme::font(valueSize));
    setFixedWidth(panelWidth);

    auto* l = box<QVBoxLayout>(this, 8);
    l->setContentsMargins(padding, padding, padding, padding);
    l->addWidget(buildHeader());
    l->addWidget(buildStats());
    sparkline_ = named(new SparklineView(model_, this), "sparkline");
    l->addWidget(sparkline_);
    l->addWidget(new Divider(this));
    l->addWidget(buildRows());
    l->addWidget(new Divider(this));
    l->addWidget(buildFooter());

    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    quit->setContext(Qt::WidgetWithChildrenShortcut);
    connect(quit, &QShortcut::activated, qApp, &QCoreApplication::quit);

    connectModel();
    updateHistory();
    updateLink();
    updateIdentifying();
    updateDish();
    updateSession();
    updateFooter();
    updateLogin();
    updatePrefsError();
}

PanelView::~PanelView() = default;

// Layouts of a widget that has never been shown only catch up with changed contents when it
// is shown. The offline renderer never shows the panel, so bring every layout up to date here,
// innermost first: each activation refreshes the size its parent layout sees.
void PanelView::settleLayouts() const
{
    const QList<QWidget*> all = findChildren<QWidget*>();
    for (auto it = all.crbegin(); it != all.crend(); ++it) {
        if (QLayout* l = (*it)->layout())
            l->activate();
    }
}

QSize PanelView::sizeHint() const
{
    if (!isVisible())
        settleLayouts();
    QLayout* l = layout();
    const int h = l->hasHeightForWidth() ? l->heightForWidth(panelWidth) : l->sizeHint().height();
    return {panelWidth, h};
}

QImage PanelView::renderImage(qreal devicePixelRatio)
{
    adjustSize();
    QImage image(size() * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(palette().color(QPalette::Window));
    render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

QWidget* PanelView::buildHeader()
{
    auto* w = new QWidget(this);
    auto* l = box<QHBoxLayout>(w, 12);
    download_ = named(new SpeedBlock(QStringLiteral("\u2193"), theme::accent, w), "download");
    upload_ = named(new SpeedBlock(QStringLiteral("\u2191"), theme::secondary, w), "upload");
    age_ = named(label(w, theme::digits(captionSize), theme::secondary), "age");
    l->addWidget(download_, 0, Qt::AlignVCenter);
    l->addWidget(upload_, 0, Qt::AlignVCenter);
    l->addStretch(1);
    l->addWidget(age_, 0, Qt::AlignVCenter);
    return w;
}

QWidget* PanelView::buildStats()
{
    auto* w = new QWidget(this);
    auto* l = box<QHBoxLayout>(w, 10);
    const QFont f = theme::digits(9);
    const auto pair = [&](const QString& name, QLabel*& down, QLabel*& up) {
        auto* p = box<QHBoxLayout>(nullptr, 3);
        p->addWidget(label(w, f, theme::secondary, name));
        p->addWidget(down = label(w, f, theme::secondary));
        p->addWidget(up = label(w, f, theme::secondary));
        l->addLayout(p);
    };
    pair(QStringLiteral("peak"), peakDown_, peakUp_);
    pair(QStringLiteral("avg"), avgDown_, avgUp_);
    peakDown_->setObjectName(QStringLiteral("peakDown"));
    avgDown_->setObjectName(QStringLiteral("avgDown"));
    l->addStretch(1);
    return w;
}

QWidget* PanelView::buildRows()
{
    auto* rows = new QWidget(this);
    auto* v = box<QVBoxLayout>(rows, 3);
    const QFont valueFont = theme::digits(valueSize, QFont::Medium);

    // Link: kind, symbol and speed, with the details in the tooltip.
    linkRow_ = named(new QWidget(rows), "linkRow");
    {
        auto* l = box<QHBoxLayout>(linkRow_, 6);
        linkLabel_ = named(rowLabel(QString(), labelColumn, linkRow_), "linkLabel");
        linkIcon_ = new IconView(QSize(14, 14), 12, linkRow_);
        linkDetail_ = named(label(linkRow_, valueFont, theme::primary), "linkDetail");
        l->addWidget(linkLabel_);
        l->addWidget(linkIcon_);
        l->addWidget(linkDetail_);
        l->addStretch(1);
    }
    v->addWidget(linkRow_);

    // Wi-Fi network name.
    wifiRow_ = named(new QWidget(rows), "wifiRow");
    {
        auto* l = box<QHBoxLayout>(wifiRow_, rowSpacing);
        network_ = named(new CopyableValue(wifiRow_), "network");
        authLink_ = named(new LinkAction(QString(), false, wifiRow_), "authLink");
        eye_ = named(new IconButton(QStringLiteral("eye.slash"), 10, wifiRow_), "eye");
        l->addWidget(rowLabel(QStringLiteral("Network"), labelColumn, wifiRow_));
        l->addWidget(network_);
        l->addWidget(authLink_);
        l->addStretch(1);
        l->addWidget(eye_);
        connect(network_, &CopyableValue::clicked, this, [this] {
            model_->copyRow(QStringLiteral("Network"), model_->wifi().ssid(), true);
        });
        connect(authLink_, &QAbstractButton::clicked, this, [this] {
            WiFiMonitor& wifi = model_->wifi();
            if (wifi.auth() == WiFiMonitor::notDetermined)
                wifi.requestAuth();
            else
                wifi.openLocationSettings();
        });
        connect(eye_, &QAbstractButton::clicked, this, [this] { model_->revealBriefly(); });
    }
    v->addWidget(wifiRow_);

    // Dish reachability with its pages.
    dishRow_ = named(new QWidget(rows), "dishRow");
    {
        auto* l = box<QHBoxLayout>(dishRow_, 6);
        auto* icon = new IconView(QSize(14, 14), 12, dishRow_);
        icon->setIcon(QStringLiteral("antenna.radiowaves.left.and.right"), theme::primary);
        dishy_ = named(
            linkAction(
                QStringLiteral("Dishy"),
                QStringLiteral("Open the dish status page at ") + model_->dishyUrl().toString(),
                [this] { model_->openDishy(); }, dishRow_),
            "dishy");
        dashboard_ = named(linkAction(
                               QStringLiteral("Dashboard"), QString(),
                               [this] { model_->openDashboard(); }, dishRow_),
                           "dashboard");
        l->addWidget(rowLabel(QStringLiteral("Starlink"), labelColumn, dishRow_));
        l->addWidget(icon);
        l->addWidget(dishy_);
        l->addWidget(dashboard_);
        l->addStretch(1);
    }
    v->addWidget(dishRow_);

    // Interface: a plain row, or a picker when there is a choice.
    interfaceInfo_ =
        named(new InfoRow(QStringLiteral("Interface"), labelColumn, rows), "interface");
    connect(interfaceInfo_, &InfoRow::copyRequested, this, [this] {
        model_->copyRow(QStringLiteral("Interface"), model_->interfaceName(), false);
    });
    v->addWidget(interfaceInfo_);
    pickerRow_ = named(new QWidget(rows), "pickerRow");
    {
        auto* l = box<QHBoxLayout>(pickerRow_, 6);
        picker_ = named(new QComboBox(pickerRow_), "picker");
        theme::useFusion(picker_);
        picker_->setFont(theme::font(valueSize));
        picker_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        picker_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        picker_->setFocusPolicy(Qt::TabFocus);
        fallbackNote_ = named(
            label(pickerRow_, theme::font(9), theme::secondary, QStringLiteral("down, using auto")),
            "fallbackNote");
        l->addWidget(rowLabel(QStringLiteral("Interface"), labelColumn, pickerRow_));
        l->addWidget(picker_);
        l->addWidget(fallbackNote_);
        l->addStretch(1);
        pickerRow_->setToolTip(QStringLiteral(
            "Which interface the menu bar counts; Auto follows the system's primary interface"));
        connect(picker_, &QComboBox::activated, this, [this](int index) {
            const QString name = picker_->itemData(index).toString();
            model_->setInterfaceOverride(name.isEmpty() ? std::nullopt : std::optional(name));
        });
    }
    v->addWidget(pickerRow_);

    localIP_ = named(new InfoRow(QStringLiteral("Local IP"), labelColumn, rows), "localIP");
    connect(localIP_, &InfoRow::copyRequested, this,
            [this] { model_->copyRow(QStringLiteral("Local IP"), model_->localIP(), true); });
    v->addWidget(localIP_);
    router_ = named(new InfoRow(QStringLiteral("Router"), labelColumn, rows), "router");
    connect(router_, &InfoRow::copyRequested, this,
            [this] { model_->copyRow(QStringLiteral("Router"), model_->routerIP(), true); });
    v->addWidget(router_);

    // Public IP: off, the address, a spinner while fetching, or "-".
    {
        auto* row = new QWidget(rows);
        auto* l = box<QHBoxLayout>(row, rowSpacing);
        publicOff_ =
            named(label(row, theme::font(valueSize), theme::secondary, QStringLiteral("off")),
                  "publicOff");
        publicOff_->setToolTip(QStringLiteral("Public IP lookup is disabled in the footer"));
        publicIP_ = named(new CopyableValue(row), "publicIP");
        publicSpinner_ = named(new BusyIndicator(11, row), "publicSpinner");
        publicNone_ =
            named(label(row, theme::font(valueSize), theme::secondary, placeholder), "publicNone");
        l->addWidget(rowLabel(QStringLiteral("Public IP"), labelColumn, row));
        l->addWidget(publicOff_);
        l->addWidget(publicIP_);
        l->addWidget(publicSpinner_);
        l->addWidget(publicNone_);
        l->addStretch(1);
        connect(publicIP_, &CopyableValue::clicked, this,
                [this] { model_->copyRow(QStringLiteral("Public IP"), model_->publicIP(), true); });
        v->addWidget(row);
    }

    // Session totals since the last reset.
    {
        auto* row = new QWidget(rows);
        auto* l = box<QHBoxLayout>(row, rowSpacing);
        auto* lines = box<QVBoxLayout>(nullptr, 1);
        totals_ = named(label(row, valueFont, theme::primary), "totals");
        since_ = named(label(row, theme::font(9), theme::secondary), "since");
        lines->addWidget(totals_);
        lines->addWidget(since_);
        auto* reset =
            named(new IconButton(QStringLiteral("arrow.counterclockwise"), 10, row), "reset");
        reset->setToolTip(QStringLiteral("Reset session totals and the sparkline"));
        l->addWidget(rowLabel(QStringLiteral("Session"), labelColumn, row), 0, Qt::AlignTop);
        l->addLayout(lines);
        l->addStretch(1);
        l->addWidget(reset, 0, Qt::AlignTop);
        connect(reset, &QAbstractButton::clicked, this, [this] { model_->resetSession(); });
        v->addWidget(row);
    }
    return rows;
}

QWidget* PanelView::buildFooter()
{
    auto* w = new QWidget(this);
    auto* v = box<QVBoxLayout>(w, 5);
    const auto segmentRow = [&](const QString& title, const QStringList& labels,
                                std::function<void(int)> set) {
        auto* l = box<QHBoxLayout>(nullptr, 6);
        Segments* s = segmented(0, labels, std::move(set), w);
        l->addWidget(rowLabel(title, labelColumn, w));
        l->addWidget(s, 1);
        v->addLayout(l);
        return s;
    };
    barStyle_ = named(
        segmentRow(
            QStringLiteral("Bar style"), {QStringLiteral("Stacked"), QStringLiteral("Wide")},
            [this](int i) { model_->setBarStyle(i == 0 ? BarStyle::stacked : BarStyle::wide); }),
        "barStyle");
    units_ =
        named(segmentRow(
                  QStringLiteral("Units"), {QStringLiteral("bits/s"), QStringLiteral("bytes/s")},
                  [this](int i) { model_->setUnits(i == 0 ? RateUnits::bits : RateUnits::bytes); }),
              "units");
    privacy_ = named(checkbox(
                         QStringLiteral("Privacy mode (mask name and IPs)"), false,
                         [this](bool on) { model_->setPrivacyMode(on); }, w),
                     "privacy");
    lookup_ = named(checkbox(
                        QStringLiteral("Look up public IP when panel opens"), false,
                        [this](bool on) { model_->setPublicIPLookup(on); }, w),
                    "lookup");
    v->addWidget(privacy_);
    v->addWidget(lookup_);

    auto* last = box<QHBoxLayout>(nullptr, rowSpacing);
    launch_ = named(checkbox(
                        QStringLiteral("Launch at login"), false,
                        [this](bool on) { model_->loginItem().setEnabled(on); }, w),
                    "launch");
    quit_ = named(new QPushButton(QStringLiteral("Quit"), w), "quit");
    theme::useFusion(quit_);
    quit_->setFont(theme::font(valueSize));
    quit_->setFocusPolicy(Qt::TabFocus);
    connect(quit_, &QPushButton::clicked, qApp, &QCoreApplication::quit);
    last->addWidget(launch_);
    last->addSpacerItem(new QSpacerItem(8, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    last->addWidget(quit_);
    v->addLayout(last);

    // Failures to register at login or to save a preference, in the footer's error style.
    for (auto [error, name] :
         {std::pair{&loginError_, "loginError"}, {&prefsError_, "prefsError"}}) {
        *error = named(label(w, theme::font(captionSize), theme::red), name);
        (*error)->setWordWrap(true);
        v->addWidget(*error);
    }
    return w;
}

void PanelView::connectModel()
{
    AppViewModel* m = model_;
    connect(m, &AppViewModel::ringChanged, this, &PanelView::updateHistory);
    connect(m, &AppViewModel::unitsChanged, this, &PanelView::updateHistory);
    connect(m, &AppViewModel::currentChanged, this, &PanelView::updateHeader);
    connect(m, &AppViewModel::hoverIndexChanged, this, &PanelView::updateHeader);

    connect(m, &AppViewModel::linkKindChanged, this, &PanelView::updateLink);
    connect(m, &AppViewModel::linkKindChanged, this, &PanelView::updateWifi);
    connect(m, &AppViewModel::linkMbpsChanged, this, &PanelView::updateLink);
    connect(&m->wifi(), &WiFiMonitor::radioChanged, this, &PanelView::updateLink);
    connect(&m->wifi(), &WiFiMonitor::ssidChanged, this, &PanelView::updateWifi);
    connect(&m->wifi(), &WiFiMonitor::authChanged, this, &PanelView::updateWifi);

    // Privacy, reveal and the copied mark touch every identifying row.
    connect(m, &AppViewModel::privacyModeChanged, this, &PanelView::updateIdentifying);
    connect(m, &AppViewModel::revealUntilChanged, this, &PanelView::updateIdentifying);
    connect(m, &AppViewModel::copiedKeyChanged, this, &PanelView::updateIdentifying);

    connect(m, &AppViewModel::starlinkReachableChanged, this, &PanelView::updateDish);
    connect(m, &AppViewModel::starlinkDashboardURLChanged, this, &PanelView::updateDish);

    for (auto signal :
         {&AppViewModel::interfacesChanged, &AppViewModel::interfaceNameChanged,
          &AppViewModel::interfaceOverrideChanged, &AppViewModel::overrideHonoredChanged,
          &AppViewModel::primaryInterfaceNameChanged})
        connect(m, signal, this, &PanelView::updateInterface);
    connect(m, &AppViewModel::localIPChanged, this, &PanelView::updateAddresses);
    connect(m, &AppViewModel::routerIPChanged, this, &PanelView::updateAddresses);
    connect(m, &AppViewModel::publicIPLookupChanged, this, &PanelView::updatePublicIP);
    connect(m, &AppViewModel::publicIPChanged, this, &PanelView::updatePublicIP);
    connect(m, &AppViewModel::fetchingPublicIPChanged, this, &PanelView::updatePublicIP);

    connect(m, &AppViewModel::totalInBytesChanged, this, &PanelView::updateSession);
    connect(m, &AppViewModel::totalOutBytesChanged, this, &PanelView::updateSession);
    connect(m, &AppViewModel::sessionStartChanged, this, &PanelView::updateSession);

    connect(m, &AppViewModel::barStyleChanged, this, &PanelView::updateFooter);
    connect(m, &AppViewModel::unitsChanged, this, &PanelView::updateFooter);
    connect(m, &AppViewModel::privacyModeChanged, this, &PanelView::updateFooter);
    connect(m, &AppViewModel::publicIPLookupChanged, this, &PanelView::updateFooter);
    connect(&m->loginItem(), &LoginItemService::enabledChanged, this, &PanelView::updateLogin);
    connect(&m->loginItem(), &LoginItemService::lastErrorChanged, this, &PanelView::updateLogin);
    connect(m, &AppViewModel::preferencesErrorChanged, this, &PanelView::updatePrefsError);
}

void PanelView::updateHistory()
{
    const std::vector<SpeedSample> samples = model_->ring().ordered();
    const RingStats stats(samples);
    const RateUnits u = model_->units();
    const auto pair = [u](QLabel* down, QLabel* up, double d, double upMbps) {
        down->setText(QStringLiteral("\u2193") + ScaledRate(d, u).compact());
        up->setText(QStringLiteral("\u2191") + ScaledRate(upMbps, u).compact());
    };
    pair(peakDown_, peakUp_, stats.peakDown, stats.peakUp);
    pair(avgDown_, avgUp_, stats.avgDown, stats.avgUp);
    sparkline_->setSeries(samples, std::max(stats.peakDown, stats.peakUp));
    updateHeader();
}

void PanelView::updateHeader()
{
    const HeaderValues h =
        headerValues(sparkline_->samples(), model_->current(), model_->hoverIndex());
    const ScaledRate d(h.sample.downMbps, model_->units());
    const ScaledRate u(h.sample.upMbps, model_->units());
    download_->setRate(d.value, d.unit);
    upload_->setRate(u.value, u.unit);
    age_->setText(h.age.value_or(QString()));
    age_->setVisible(h.age.has_value());
}

void PanelView::updateLink()
{
    const LinkKind kind = model_->linkKind();
    const LinkRowText t = linkRowText(kind, model_->linkMbps(), model_->wifi().radio());
    linkLabel_->setText(t.label);
    linkDetail_->setText(t.detail);
    linkRow_->setToolTip(plainToolTip(t.tooltip));
    linkIcon_->setIcon(QString::fromUtf8(symbol(kind)), theme::primary);
}

void PanelView::updateWifi()
{
    const bool isWifi = model_->linkKind() == LinkKind::wifi;
    wifiRow_->setVisible(isWifi);
    if (!isWifi)
        return;
    const WiFiMonitor& wifi = model_->wifi();
    const bool visible = model_->identifiersVisible();
    network_->setVisible(wifi.authorized());
    authLink_->setVisible(!wifi.authorized());
    if (wifi.authorized()) {
        const std::optional<QString> ssid = wifi.ssid();
        const bool masked = ssid && !visible;
        network_->set(ssid ? (masked ? maskText : *ssid) : QStringLiteral("Not connected"),
                      model_->copiedKey() == QStringLiteral("Network"), masked);
    } else if (wifi.auth() == WiFiMonitor::notDetermined) {
        authLink_->setText(QStringLiteral("Grant access"));
        authLink_->setHelp(QStringLiteral("macOS requires Location access to read the Wi-Fi name"));
    } else {
        authLink_->setText(QStringLiteral("Open Settings"));
        authLink_->setHelp(
            QStringLiteral("Location access was denied; enable it to see the Wi-Fi name"));
    }
    eye_->setVisible(model_->privacyMode());
    eye_->setIcon(visible ? QStringLiteral("eye") : QStringLiteral("eye.slash"));
    eye_->setToolTip(visible ? QStringLiteral("Rows are shown for a few seconds")
                             : QStringLiteral("Show the masked rows for 8 seconds"));
}

void PanelView::updateDish()
{
    dishRow_->setVisible(model_->starlinkReachable().value_or(false));
    const std::optional<QUrl>& dashboard = model_->starlinkDashboardURL();
    dashboard_->setVisible(dashboard.has_value());
    if (dashboard)
        dashboard_->setHelp(QStringLiteral("Open ") + dashboard->toString());
}

void PanelView::updateInterface()
{
    const bool choice = model_->interfaces().size() >= 2;
    interfaceInfo_->setVisible(!choice);
    pickerRow_->setVisible(choice);
    const RowValue v = rowValue(model_->interfaceName(), false, true);
    interfaceInfo_->set(v.text, model_->copiedKey() == QStringLiteral("Interface"), v.masked);
    if (!choice)
        return;

    const std::optional<QString>& override = model_->interfaceOverride();
    const QList<PickerItem> items = pickerItems(
        model_->primaryInterfaceName(), model_->interfaces(), override, [](const QString& name) {
            return QString::fromUtf8(title(SystemLinks::kind(name.toStdString())));
        });
    // Refilled only when the list differs, so an open menu is not disturbed every tick.
    bool same = picker_->count() == items.size();
    for (int i = 0; same && i < items.size(); ++i)
        same = picker_->itemText(i) == items[i].text && picker_->itemData(i) == items[i].name;
    const QSignalBlocker block(picker_);
    if (!same) {
        picker_->clear();
        for (const PickerItem& item : items)
            picker_->addItem(item.text, item.name);
    }
    picker_->setCurrentIndex(pickerSelection(items, override));
    fallbackNote_->setVisible(override.has_value() && !model_->overrideHonored());
}

void PanelView::updateAddresses()
{
    const bool visible = model_->identifiersVisible();
    const std::optional<QString>& copied = model_->copiedKey();
    const auto show = [&](InfoRow* row, const std::optional<QString>& value) {
        const RowValue v = rowValue(value, true, visible);
        row->set(v.text, copied == row->label(), v.masked);
    };
    show(localIP_, model_->localIP());
    show(router_, model_->routerIP());
}

void PanelView::updatePublicIP()
{
    const bool lookup = model_->publicIPLookup();
    const std::optional<QString>& address = model_->publicIP();
    const bool fetching = model_->fetchingPublicIP();
    publicOff_->setVisible(!lookup);
    publicIP_->setVisible(lookup && address);
    publicSpinner_->setVisible(lookup && !address && fetching);
    publicNone_->setVisible(lookup && !address && !fetching);
    if (lookup && address) {
        const bool visible = model_->identifiersVisible();
        publicIP_->set(visible ? *address : maskText,
                       model_->copiedKey() == QStringLiteral("Public IP"), !visible);
    }
}

void PanelView::updateSession()
{
    totals_->setText(totalsText(model_->totalInBytes(), model_->totalOutBytes()));
    since_->setText(startText(model_->sessionStart()));
}

void PanelView::updateFooter()
{
    barStyle_->setSelected(model_->barStyle() == BarStyle::stacked ? 0 : 1);
    units_->setSelected(model_->units() == RateUnits::bits ? 0 : 1);
    privacy_->setChecked(model_->privacyMode());
    lookup_->setChecked(model_->publicIPLookup());
}

void PanelView::updateLogin()
{
    const LoginItemService& login = model_->loginItem();
    launch_->setChecked(login.enabled());
    loginError_->setText(login.lastError().value_or(QString()));
    loginError_->setVisible(login.lastError().has_value());
}

void PanelView::updatePrefsError()
{
    prefsError_->setText(model_->preferencesError().value_or(QString()));
    prefsError_->setVisible(model_->preferencesError().has_value());
}

void PanelView::updateIdentifying()
{
    updateWifi();
    updateInterface();
    updateAddresses();
    updatePublicIP();
}

} // namespace corvane
