# The real binary, run as a user would: options, offline renders, a second start and the live
# tray label.
corvane_test(test_app_run SOURCES e2e/AppRunTest.cpp
  LIBS corvane_app corvane_fake_sni_watcher QT LABELS "e2e;dbus")
target_compile_definitions(test_app_run PRIVATE CORVANE_APP_PATH="$<TARGET_FILE:corvane>")
add_dependencies(test_app_run corvane)
