# Marching-cubes time and triangle counts: a 120^3 orbital grid and the molecular surface of 10,000 atoms.
add_executable(bench_surfaces ${CMAKE_CURRENT_LIST_DIR}/surfaces_bench.cpp)
target_link_libraries(bench_surfaces PRIVATE zelvor_render)
