# autostart tests: temporary configuration directories only.
corvane_test(xdg_autostart_test SOURCES autostart/XdgAutostartTest.cpp LIBS corvane_platform)
