# Launch at login, backed by the XDG autostart entry.
add_library(corvane_loginitem STATIC
  LoginItemService.cpp
  LoginItemService.h
)
target_include_directories(corvane_loginitem PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(corvane_loginitem PUBLIC corvane_autostart Qt6::Core)
