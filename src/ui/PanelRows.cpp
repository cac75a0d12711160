#include "ui/PanelRows.h"

#include "model/AppViewModel.h"
#include "services/WiFiMonitor.h"
#include "ui/Icons.h"
#include "ui/PanelParts.h"
#include "ui/PanelText.h"

#include <QComboBox>

namespace corvane {

using namespace panel_parts;
using namespace panel_text;

PanelRows::PanelRows(AppViewModel* model, bool drawn, QWidget* parent)
    : QWidget(parent), model_(model), drawn_(drawn)
{
    auto* v = box<QVBoxLayout>(this, 3);
    Q_UNUSED(v);
    buildLink();
    buildWifi();
    buildDish();
    buildInterface();
    buildAddresses();
    buildSession();
    connectModel();
    refresh();
}

void PanelRows::buildLink()
{
    // Kind, symbol and speed, with the details in the tooltip.
    linkRow_ = named(new QWidget(this), "linkRow");
    auto* l = box<QHBoxLayout>(linkRow_, 6);
    linkLabel_ = named(rowLabel(QString(), labelColumn, linkRow_), "linkLabel");
    linkIcon_ = new IconView(QSize(14, 14), 12, linkRow_);
    linkDetail_ = named(label(linkRow_, theme::digits(valueSize, QFont::Medium), theme::primary),
                        "linkDetail");
    l->addWidget(linkLabel_);
    l->addWidget(linkIcon_);
    l->addWidget(linkDetail_);
    l->addStretch(1);
    layout()->addWidget(linkRow_);
}

void PanelRows::buildWifi()
{
    wifiRow_ = named(new QWidget(this), "wifiRow");
    auto* l = box<QHBoxLayout>(wifiRow_, rowSpacing);
    network_ = named(new CopyableValue(wifiRow_), "network");
    eye_ = named(new IconButton(QStringLiteral("view-conceal"), 10, wifiRow_), "eye");
    l->addWidget(rowLabel(tr("Network"), labelColumn, wifiRow_));
    l->addWidget(network_);
    l->addStretch(1);
    l->addWidget(eye_);
    connect(network_, &CopyableValue::clicked, this,
            [this] { model_->copyRow(RowId::network, model_->wifi().ssid(), true); });
    connect(eye_, &QAbstractButton::clicked, this, [this] { model_->revealBriefly(); });
    layout()->addWidget(wifiRow_);
}

void PanelRows::buildDish()
{
    dishRow_ = named(new QWidget(this), "dishRow");
    auto* l = box<QHBoxLayout>(dishRow_, 6);
    auto* icon = new IconView(QSize(14, 14), 12, dishRow_);
    icon->setIcon(QStringLiteral("network-transmit-receive"), theme::primary);
    dishy_ = named(linkAction(
                       tr("Dishy"),
                       tr("Open the dish status page at %1").arg(model_->dishyUrl().toString()),
                       [this] { model_->openDishy(); }, drawn_, dishRow_),
                   "dishy");
    dashboard_ = named(
        linkAction(
            tr("Dashboard"), QString(), [this] { model_->openDashboard(); }, drawn_, dishRow_),
        "dashboard");
    l->addWidget(rowLabel(tr("Starlink"), labelColumn, dishRow_));
    l->addWidget(icon);
    l->addWidget(dishy_);
    l->addWidget(dashboard_);
    l->addStretch(1);
    layout()->addWidget(dishRow_);
}

void PanelRows::buildInterface()
{
    // A plain row, or a picker when there is a choice.
    interfaceInfo_ = named(new InfoRow(tr("Interface"), labelColumn, this), "interface");
    connect(interfaceInfo_, &InfoRow::copyRequested, this,
            [this] { model_->copyRow(RowId::interfaceName, model_->interfaceName(), false); });
    layout()->addWidget(interfaceInfo_);

    pickerRow_ = named(new QWidget(this), "pickerRow");
    auto* l = box<QHBoxLayout>(pickerRow_, 6);
    picker_ = named(new QComboBox(pickerRow_), "picker");
    theme::useFusion(picker_);
    picker_->setFont(theme::font(valueSize));
    picker_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    picker_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    picker_->setFocusPolicy(Qt::TabFocus);
    fallbackNote_ =
        named(label(pickerRow_, theme::font(9), theme::secondary, tr("down, using auto")),
              "fallbackNote");
    l->addWidget(rowLabel(tr("Interface"), labelColumn, pickerRow_));
    l->addWidget(picker_);
    l->addWidget(fallbackNote_);
    l->addStretch(1);
    pickerRow_->setToolTip(
        tr("Which interface the tray label counts; Auto follows the system's primary interface"));
    connect(picker_, &QComboBox::activated, this, [this](int index) {
        const QString name = picker_->itemData(index).toString();
        model_->setInterfaceOverride(name.isEmpty() ? std::nullopt : std::optional(name));
    });
    layout()->addWidget(pickerRow_);
}

void PanelRows::buildAddresses()
{
    const auto info = [this](const QString& title, const char* name, RowId id,
                             const std::optional<QString>& (AppViewModel::*value)() const) {
        auto* row = named(new InfoRow(title, labelColumn, this), name);
        connect(row, &InfoRow::copyRequested, this,
                [this, id, value] { model_->copyRow(id, (model_->*value)(), true); });
        layout()->addWidget(row);
        return row;
    };
    localIP_ = info(tr("Local IP"), "localIP", RowId::localIP, &AppViewModel::localIP);
    router_ = info(tr("Router"), "router", RowId::router, &AppViewModel::routerIP);

    // Public IP: off, the address, a spinner while fetching, or "-".
    auto* row = new QWidget(this);
    auto* l = box<QHBoxLayout>(row, rowSpacing);
    publicOff_ =
        named(label(row, theme::font(valueSize), theme::secondary, tr("off")), "publicOff");
    publicOff_->setToolTip(tr("Public IP lookup is disabled in the footer"));
    publicIP_ = named(new CopyableValue(row), "publicIP");
    publicSpinner_ = named(new BusyIndicator(11, row), "publicSpinner");
    publicNone_ =
        named(label(row, theme::font(valueSize), theme::secondary, placeholder), "publicNone");
    l->addWidget(rowLabel(tr("Public IP"), labelColumn, row));
    l->addWidget(publicOff_);
    l->addWidget(publicIP_);
    l->addWidget(publicSpinner_);
    l->addWidget(publicNone_);
    l->addStretch(1);
    connect(publicIP_, &CopyableValue::clicked, this,
            [this] { model_->copyRow(RowId::publicIP, model_->publicIP(), true); });
    layout()->addWidget(row);
}

void PanelRows::buildSession()
{
    // Session totals since the last reset.
    auto* row = new QWidget(this);
    auto* l = box<QHBoxLayout>(row, rowSpacing);
    auto* lines = box<QVBoxLayout>(nullptr, 1);
    totals_ = named(label(row, theme::digits(valueSize, QFont::Medium), theme::primary), "totals");
    since_ = named(label(row, theme::font(9), theme::secondary), "since");
    lines->addWidget(totals_);
    lines->addWidget(since_);
    auto* reset = named(new IconButton(QStringLiteral("view-refresh"), 10, row), "reset");
    reset->setToolTip(tr("Reset session totals and the sparkline"));
    l->addWidget(rowLabel(tr("Session"), labelColumn, row), 0, Qt::AlignTop);
    l->addLayout(lines);
    l->addStretch(1);
    l->addWidget(reset, 0, Qt::AlignTop);
    connect(reset, &QAbstractButton::clicked, this, [this] { model_->resetSession(); });
    layout()->addWidget(row);
}

void PanelRows::connectModel()
{
    AppViewModel* m = model_;
    const auto on = [this, m](auto signal, auto update) {
        connect(m, signal, this, whileShown(this, [this, update] { (this->*update)(); }));
    };
    on(&AppViewModel::linkKindChanged, &PanelRows::updateLink);
    on(&AppViewModel::linkKindChanged, &PanelRows::updateWifi);
    on(&AppViewModel::linkMbpsChanged, &PanelRows::updateLink);
    connect(&m->wifi(), &WiFiMonitor::radioChanged, this,
            whileShown(this, [this] { updateLink(); }));
    connect(&m->wifi(), &WiFiMonitor::ssidChanged, this,
            whileShown(this, [this] { updateWifi(); }));

    on(&AppViewModel::privacyModeChanged, &PanelRows::updateIdentifying);
    on(&AppViewModel::revealUntilChanged, &PanelRows::updateIdentifying);
    on(&AppViewModel::copiedRowChanged, &PanelRows::updateIdentifying);

    on(&AppViewModel::starlinkReachableChanged, &PanelRows::updateDish);
    on(&AppViewModel::starlinkDashboardURLChanged, &PanelRows::updateDish);

    for (auto signal :
         {&AppViewModel::interfacesChanged, &AppViewModel::interfaceNameChanged,
          &AppViewModel::interfaceOverrideChanged, &AppViewModel::overrideHonoredChanged,
          &AppViewModel::primaryInterfaceNameChanged})
        on(signal, &PanelRows::updateInterface);
    on(&AppViewModel::localIPChanged, &PanelRows::updateAddresses);
    on(&AppViewModel::routerIPChanged, &PanelRows::updateAddresses);
    on(&AppViewModel::publicIPLookupChanged, &PanelRows::updatePublicIP);
    on(&AppViewModel::publicIPChanged, &PanelRows::updatePublicIP);
    on(&AppViewModel::fetchingPublicIPChanged, &PanelRows::updatePublicIP);

    on(&AppViewModel::totalInBytesChanged, &PanelRows::updateSession);
    on(&AppViewModel::totalOutBytesChanged, &PanelRows::updateSession);
    on(&AppViewModel::sessionStartChanged, &PanelRows::updateSession);
}

void PanelRows::refresh()
{
    updateLink();
    updateIdentifying();
    updateDish();
    updateSession();
}

void PanelRows::updateIdentifying()
{
    updateWifi();
    updateInterface();
    updateAddresses();
    updatePublicIP();
}

void PanelRows::updateLink()
{
    const LinkKind kind = model_->linkKind();
    const LinkRowText t = linkRowText(kind, model_->linkMbps(), model_->wifi().radio());
    linkLabel_->setText(t.label);
    linkDetail_->setText(t.detail);
    linkRow_->setToolTip(plainToolTip(t.tooltip));
    linkIcon_->setIcon(QString::fromUtf8(symbol(kind)), theme::primary);
}

void PanelRows::updateWifi()
{
    const bool isWifi = model_->linkKind() == LinkKind::wifi;
    wifiRow_->setVisible(isWifi);
    if (!isWifi)
        return;
    const bool visible = model_->identifiersVisible();
    const std::optional<QString> ssid = model_->wifi().ssid();
    const bool masked = ssid && !visible;
    network_->set(ssid ? (masked ? maskText : *ssid) : tr("Not connected"),
                  model_->copiedRow() == RowId::network, masked);
    eye_->setVisible(model_->privacyMode());
    eye_->setIcon(visible ? QStringLiteral("view-reveal") : QStringLiteral("view-conceal"));
    eye_->setToolTip(visible ? tr("Rows are shown for a few seconds")
                             : tr("Show the masked rows for 8 seconds"));
}

void PanelRows::updateDish()
{
    dishRow_->setVisible(model_->starlinkReachable().value_or(false));
    const std::optional<QUrl>& dashboard = model_->starlinkDashboardURL();
    dashboard_->setVisible(dashboard.has_value());
    if (dashboard)
        dashboard_->setHelp(tr("Open %1").arg(dashboard->toString()));
}

void PanelRows::updateInterface()
{
    const bool choice = model_->interfaces().size() >= 2;
    interfaceInfo_->setVisible(!choice);
    pickerRow_->setVisible(choice);
    const RowValue v = rowValue(model_->interfaceName(), false, true);
    interfaceInfo_->set(v.text, model_->copiedRow() == RowId::interfaceName, v.masked);
    if (!choice)
        return;

    const std::optional<QString>& override = model_->interfaceOverride();
    const QList<PickerItem> items = pickerItems(
        model_->primaryInterfaceName(), model_->interfaces(), override,
        [this](const QString& name) { return panel_text::linkKindTitle(model_->kindOf(name)); });
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

void PanelRows::updateAddresses()
{
    const bool visible = model_->identifiersVisible();
    const std::optional<RowId> copied = model_->copiedRow();
    const auto show = [&](InfoRow* row, RowId id, const std::optional<QString>& value) {
        const RowValue v = rowValue(value, true, visible);
        row->set(v.text, copied == id, v.masked);
    };
    show(localIP_, RowId::localIP, model_->localIP());
    show(router_, RowId::router, model_->routerIP());
}

void PanelRows::updatePublicIP()
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
        publicIP_->set(visible ? *address : maskText, model_->copiedRow() == RowId::publicIP,
                       !visible);
    }
}

void PanelRows::updateSession()
{
    totals_->setText(totalsText(model_->totalInBytes(), model_->totalOutBytes()));
    since_->setText(startText(model_->sessionStart()));
}

} // namespace corvane
