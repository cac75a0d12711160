# Tray item: StatusNotifierItem over D-Bus, QSystemTrayIcon where no watcher runs.
add_library(corvane_tray STATIC
  tray/SniTypes.cpp
  tray/StatusNotifierItemAdaptor.cpp
  tray/TrayArt.cpp
  tray/TrayItem.cpp
)
target_include_directories(corvane_tray PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(corvane_tray PUBLIC corvane_present Qt6::DBus Qt6::Widgets Qt6::Gui)
