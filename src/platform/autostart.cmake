# XDG autostart entry: file handling behind the launch-at-login service.
add_library(corvane_autostart STATIC
  autostart/XdgAutostart.cpp
  autostart/XdgAutostart.h
)
target_include_directories(corvane_autostart PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(corvane_autostart PUBLIC corvane_files Qt6::Core)
