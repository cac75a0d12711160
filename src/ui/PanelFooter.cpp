#include "ui/PanelFooter.h"

#include "model/AppViewModel.h"
#include "services/LoginItemService.h"
#include "ui/PanelParts.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QPushButton>

namespace corvane {

using namespace panel_parts;

PanelFooter::PanelFooter(AppViewModel* model, bool drawn, QWidget* parent)
    : QWidget(parent), model_(model), drawn_(drawn)
{
    auto* v = box<QVBoxLayout>(this, 5);
    const auto segmentRow = [&](const QString& title, const QStringList& labels,
                                std::function<void(int)> set) {
        auto* l = box<QHBoxLayout>(nullptr, 6);
        Segments* s = segmented(0, labels, std::move(set), drawn_, this);
        l->addWidget(rowLabel(title, labelColumn, this));
        l->addWidget(s, 1);
        v->addLayout(l);
        return s;
    };
    barStyle_ =
        named(segmentRow(tr("Bar style"), {tr("Stacked"), tr("Wide")},
                         [this](int i) {
                             model_->setBarStyle(i == 0 ? BarStyle::stacked : BarStyle::wide);
                         }),
              "barStyle");
    units_ = named(segmentRow(tr("Units"), {QStringLiteral("bits/s"), QStringLiteral("bytes/s")},
                              [this](int i) {
                                  model_->setUnits(i == 0 ? RateUnits::bits : RateUnits::bytes);
                              }),
                   "units");
    privacy_ = named(checkbox(
                         tr("Privacy mode (mask name and IPs)"), false,
                         [this](bool on) { model_->setPrivacyMode(on); }, this),
                     "privacy");
    lookup_ = named(checkbox(
                        tr("Look up public IP when panel opens"), false,
                        [this](bool on) { model_->setPublicIPLookup(on); }, this),
                    "lookup");
    v->addWidget(privacy_);
    v->addWidget(lookup_);

    auto* last = box<QHBoxLayout>(nullptr, rowSpacing);
    launch_ = named(
        checkbox(
            tr("Launch at login"), false, [this](bool on) { model_->setLaunchAtLogin(on); }, this),
        "launch");
    quit_ = named(new QPushButton(tr("Quit"), this), "quit");
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
        *error = named(label(this, theme::font(captionSize), theme::red), name);
        (*error)->setWordWrap(true);
        v->addWidget(*error);
    }

    const auto settings = whileShown(this, [this] { updateSettings(); });
    for (auto signal : {&AppViewModel::barStyleChanged, &AppViewModel::unitsChanged,
                        &AppViewModel::privacyModeChanged, &AppViewModel::publicIPLookupChanged})
        connect(model_, signal, this, settings);
    const auto login = whileShown(this, [this] { updateLogin(); });
    connect(&model_->loginItem(), &LoginItemService::enabledChanged, this, login);
    connect(&model_->loginItem(), &LoginItemService::lastErrorChanged, this, login);
    connect(model_, &AppViewModel::preferencesErrorChanged, this,
            whileShown(this, [this] { updatePrefsError(); }));
    refresh();
}

void PanelFooter::refresh()
{
    updateSettings();
    updateLogin();
    updatePrefsError();
}

void PanelFooter::updateSettings()
{
    barStyle_->setSelected(model_->barStyle() == BarStyle::stacked ? 0 : 1);
    units_->setSelected(model_->units() == RateUnits::bits ? 0 : 1);
    privacy_->setChecked(model_->privacyMode());
    lookup_->setChecked(model_->publicIPLookup());
}

void PanelFooter::updateLogin()
{
    const LoginItemService& login = model_->loginItem();
    launch_->setChecked(login.enabled());
    loginError_->setText(login.lastError().value_or(QString()));
    loginError_->setVisible(login.lastError().has_value());
}

void PanelFooter::updatePrefsError()
{
    prefsError_->setText(model_->preferencesError().value_or(QString()));
    prefsError_->setVisible(model_->preferencesError().has_value());
}

} // namespace corvane
