# The tessellation governor with scripted processor readings.
zelvor_add_test(governor_tests LIBS zelvor_render SOURCES ${CMAKE_CURRENT_LIST_DIR}/governor_test.cpp)
zelvor_add_test(governor_threads_tests LIBS zelvor_render SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/governor_threads_test.cpp LABELS threads)
zelvor_add_test(performance_tests LIBS zelvor_performance SOURCES ${CMAKE_CURRENT_LIST_DIR}/performance_test.cpp)
zelvor_add_test(view_governor_tests LIBS zelvor_render SOURCES ${CMAKE_CURRENT_LIST_DIR}/view_governor_test.cpp
  LABELS threads)
