add_library(corvane_model STATIC
  AppViewModel.cpp
  AppViewModel.h
  SamplerThread.cpp
  SamplerThread.h
)
target_include_directories(corvane_model PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(corvane_model PUBLIC
  corvane_measure corvane_platform corvane_label corvane_prefs
  corvane_wifi corvane_loginitem corvane_publicip corvane_probe
  Qt6::Core Qt6::Gui)
