# Interface discovery and link classification.
add_library(corvane_links STATIC
  LinkKind.h
  LinkInfo.cpp
  NetworkInfo.cpp
)
target_include_directories(corvane_links PUBLIC ${PROJECT_SOURCE_DIR}/src)
