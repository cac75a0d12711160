# tray label text and image
add_library(corvane_label STATIC
  Label.cpp
  LabelFont.cpp
)
target_include_directories(corvane_label PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(corvane_label PUBLIC corvane_present Qt6::Gui)
