# Processor share of the full-screen saver on 10,000 atoms after the tessellation governor (Xvfb, zelvor /s).
add_executable(bench_governor_share ${CMAKE_CURRENT_LIST_DIR}/governor_share.cpp
  ${PROJECT_SOURCE_DIR}/tests/saver/x_session.cpp)
target_link_libraries(bench_governor_share PRIVATE zelvor_app zelvor_view_settings)
# It runs the program beside it, which needs its control library and element data there too.
add_dependencies(bench_governor_share zelvor)
