# netlink adapter: the sampler's counter source over rtnetlink (libmnl)
add_library(corvane_netlink STATIC
  netlink/RtnlParse.cpp
  netlink/NetlinkSocket.cpp
  netlink/LinkSpeed.cpp
  netlink/LinuxNetSource.cpp
  netlink/SystemNetSampler.cpp
)
target_include_directories(corvane_netlink PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(corvane_netlink PUBLIC corvane_platform corvane_sysfs PRIVATE PkgConfig::MNL)
