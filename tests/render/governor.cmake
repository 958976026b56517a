# The tessellation governor with scripted processor readings.
zelvor_add_test(governor_tests LIBS zelvor_render SOURCES ${CMAKE_CURRENT_LIST_DIR}/governor_test.cpp)
zelvor_add_test(governor_threads_tests LIBS zelvor_render SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/governor_threads_test.cpp LABELS threads)
