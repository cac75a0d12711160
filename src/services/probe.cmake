# Dish reachability probe: a non-blocking connect raced against a timer on the caller's
# event loop.
add_library(corvane_probe STATIC
  StarlinkProbe.cpp
  StarlinkProbe.h
)
target_include_directories(corvane_probe PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(corvane_probe PUBLIC Qt6::Core)
