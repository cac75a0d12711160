# D-Bus watchers: display sleep/wake (logind, screen lockers) and power-saving state.
add_library(corvane_dbuswatch STATIC
  dbus/BusNameOwner.cpp
  dbus/BusNameOwner.h
  dbus/DBusPowerState.cpp
  dbus/DBusPowerState.h
  dbus/DBusSleepEvents.cpp
  dbus/DBusSleepEvents.h
  dbus/SystemWatchers.cpp
  dbus/SystemWatchers.h
)
target_include_directories(corvane_dbuswatch PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(corvane_dbuswatch PUBLIC corvane_platform Qt6::DBus)

# What the desktop says about the tray: who draws it and the colour of its panel.
add_library(corvane_traydesktop STATIC
  desktop/TrayDesktop.cpp
  desktop/TrayDesktop.h
)
target_include_directories(corvane_traydesktop PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(corvane_traydesktop PUBLIC corvane_present Qt6::DBus)
