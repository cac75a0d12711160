# Tray item tests, on a private bus with a fake watcher.
add_library(corvane_fake_sni_watcher STATIC ${PROJECT_SOURCE_DIR}/tests/support/FakeStatusNotifierWatcher.cpp)
target_include_directories(corvane_fake_sni_watcher PUBLIC ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(corvane_fake_sni_watcher PUBLIC Qt6::DBus)

corvane_test(tray_item_test QT
  SOURCES tray/TrayItemTest.cpp
  LIBS corvane_app corvane_fake_sni_watcher Qt6::Svg
  LABELS dbus)
# Test ENVIRONMENT from corvane_test carries only its first variable; pass the path directly.
target_compile_definitions(tray_item_test PRIVATE CORVANE_RESOURCES_DIR="${PROJECT_SOURCE_DIR}/resources")
