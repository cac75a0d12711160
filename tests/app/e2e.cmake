# The real binary, run as a user would: offline renders and the live tray label.
corvane_test(test_render_run SOURCES e2e/RenderRunTest.cpp LIBS Qt6::Gui QT LABELS e2e)
target_compile_definitions(test_render_run PRIVATE CORVANE_APP_PATH="$<TARGET_FILE:corvane>")
add_dependencies(test_render_run corvane)

corvane_test(test_tray_e2e SOURCES e2e/TrayEndToEndTest.cpp
  LIBS corvane_fake_sni_watcher corvane_test_support QT LABELS "e2e;dbus")
target_compile_definitions(test_tray_e2e PRIVATE CORVANE_APP_PATH="$<TARGET_FILE:corvane>")
add_dependencies(test_tray_e2e corvane)

corvane_test(test_live_panel SOURCES e2e/LivePanelTest.cpp LIBS corvane_app QT LABELS e2e)

corvane_test(test_command_line SOURCES e2e/CommandLineTest.cpp QT LABELS e2e)
target_compile_definitions(test_command_line PRIVATE
  CORVANE_APP_PATH="$<TARGET_FILE:corvane>" CORVANE_VERSION="${PROJECT_VERSION}")
add_dependencies(test_command_line corvane)

corvane_test(test_single_instance SOURCES e2e/SingleInstanceTest.cpp
  LIBS corvane_app corvane_test_support QT LABELS "e2e;dbus")
target_compile_definitions(test_single_instance PRIVATE CORVANE_APP_PATH="$<TARGET_FILE:corvane>")
add_dependencies(test_single_instance corvane)
