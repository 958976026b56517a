# Throughput of the three coordinate file readers on generated files.
add_executable(bench_readers ${CMAKE_CURRENT_LIST_DIR}/read_bench.cpp)
target_link_libraries(bench_readers PRIVATE zelvor_doc)
add_dependencies(bench_readers zelvor_data)
