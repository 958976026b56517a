# Paints per second, display-list and scene-list compile times, off screen.
add_executable(bench_render ${CMAKE_CURRENT_LIST_DIR}/render_bench.cpp)
target_link_libraries(bench_render PRIVATE zelvor_render)
add_dependencies(bench_render zelvor_data)
