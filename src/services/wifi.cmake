# Wi-Fi monitor: network name and radio details for the panel.
add_library(corvane_wifi STATIC
  WiFiSource.h
  WiFiMonitor.cpp
)
target_include_directories(corvane_wifi PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(corvane_wifi PUBLIC corvane_nl80211 Qt6::Core)
