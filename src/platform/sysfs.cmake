# Read-only access to the kernel's network-device attributes under /sys/class/net.
add_library(corvane_sysfs STATIC
  sysfs/SysfsNet.cpp
  sysfs/SystemLinks.cpp
)
target_include_directories(corvane_sysfs PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(corvane_sysfs PUBLIC corvane_files corvane_links)
