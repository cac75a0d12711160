# publicip service: the public-address lookup over HTTPS.
add_library(corvane_publicip STATIC
  PublicIPService.h
  PublicIPService.cpp
)
target_include_directories(corvane_publicip PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(corvane_publicip PUBLIC Qt6::Core Qt6::Network)
