# nl80211 over generic netlink: Wi-Fi interface, link, station and survey queries and the
# "mlme" event group.
add_library(corvane_nl80211 STATIC
  nl80211/NetlinkChannel.cpp
  nl80211/GenlClient.cpp
  nl80211/Nl80211Parse.cpp
  nl80211/Nl80211WiFiSource.cpp
)
target_include_directories(corvane_nl80211 PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(corvane_nl80211 PUBLIC corvane_netlink corvane_platform)
