# Marching cubes: tables, surfaces of analytic fields and real cube files, automatic iso-levels.
zelvor_add_test(surfaces_tests LIBS zelvor_render SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/marching_cubes_tables_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/marching_cubes_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/iso_levels_test.cpp)
# The surface worker against a reader of the arrays.
zelvor_add_test(surfaces_threads_tests LIBS zelvor_render SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/surfaces_threads_test.cpp LABELS threads)
