#pragma once

#include <QWidget>

class QComboBox;
class QLabel;

namespace corvane {

class AppViewModel;
class BusyIndicator;
class CopyableValue;
class IconButton;
class IconView;
class InfoRow;
class LinkAction;

// The information rows: link, Wi-Fi network, dish, interface (or its picker), addresses,
// public address and session totals. Each row group has its own update.
class PanelRows : public QWidget {
    Q_OBJECT
public:
    // `drawn`: controls that only show themselves, for the offline render.
    PanelRows(AppViewModel* model, bool drawn, QWidget* parent = nullptr);

    void refresh();
    void updateLink();
    void updateWifi();
    void updateDish();
    void updateInterface();
    void updateAddresses();
    void updatePublicIP();
    void updateSession();

private:
    void buildLink();
    void buildWifi();
    void buildDish();
    void buildInterface();
    void buildAddresses();
    void buildSession();
    void connectModel();
    // Privacy, reveal and the copied mark touch every identifying row.
    void updateIdentifying();

    AppViewModel* model_;
    bool drawn_;

    QWidget* linkRow_ = nullptr;
    QLabel* linkLabel_ = nullptr;
    IconView* linkIcon_ = nullptr;
    QLabel* linkDetail_ = nullptr;

    QWidget* wifiRow_ = nullptr;
    CopyableValue* network_ = nullptr;
    IconButton* eye_ = nullptr;

    QWidget* dishRow_ = nullptr;
    LinkAction* dishy_ = nullptr;
    LinkAction* dashboard_ = nullptr;

    InfoRow* interfaceInfo_ = nullptr;
    QWidget* pickerRow_ = nullptr;
    QComboBox* picker_ = nullptr;
    QLabel* fallbackNote_ = nullptr;
    InfoRow* localIP_ = nullptr;
    InfoRow* router_ = nullptr;

    QLabel* publicOff_ = nullptr;
    CopyableValue* publicIP_ = nullptr;
    BusyIndicator* publicSpinner_ = nullptr;
    QLabel* publicNone_ = nullptr;

    QLabel* totals_ = nullptr;
    QLabel* since_ = nullptr;
};

} // namespace corvane
