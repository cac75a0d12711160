# dbus tests
