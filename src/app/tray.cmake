# Tray item: StatusNotifierItem with a dbusmenu over D-Bus, QSystemTrayIcon where no watcher
# runs.
add_library(corvane_tray STATIC
  tray/DBusObject.cpp
  tray/SniTypes.cpp
  tray/StatusNotifierItemObject.cpp
  tray/TrayArt.cpp
  tray/TrayItem.cpp
  tray/TrayMenu.cpp
)
target_include_directories(corvane_tray PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(corvane_tray PUBLIC corvane_label corvane_traydesktop Qt6::DBus Qt6::Widgets Qt6::Gui)
