# dbus adapter
