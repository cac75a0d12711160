# Wi-Fi monitor logic over a fake source.
corvane_test(wifi_monitor_test
  SOURCES wifi/WiFiMonitorTest.cpp
  LIBS corvane_services
  QT
  LABELS services)
