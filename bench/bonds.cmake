# Bond detection time against atom count.
add_executable(bench_bonds ${CMAKE_CURRENT_LIST_DIR}/bonds_bench.cpp)
target_link_libraries(bench_bonds PRIVATE zelvor_doc)
