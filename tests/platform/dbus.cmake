# dbus watcher tests, against private dbus-daemons standing in for the system and session buses
corvane_test(dbuswatch_test SOURCES dbus/DBusWatchersTest.cpp LIBS corvane_platform QT LABELS dbus)
