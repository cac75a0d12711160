# preferences
add_library(corvane_prefs STATIC
  Preferences.cpp
)
target_include_directories(corvane_prefs PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(corvane_prefs PUBLIC corvane_present corvane_files Qt6::Core)
