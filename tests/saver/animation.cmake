zelvor_add_test(animation_tests LIBS zelvor_animation SOURCES ${CMAKE_CURRENT_LIST_DIR}/animation_engine_test.cpp)
