# preferences tests
corvane_test(test_preferences SOURCES preferences/PreferencesTest.cpp LIBS corvane_core)
