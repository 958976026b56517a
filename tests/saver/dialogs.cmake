# The animation and oscillation dialogs with real Scrivel controls, created through the registered library.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
zelvor_add_test(animate_dialog_tests LIBS zelvor_saver Qt6::Test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/animate_dialog_test.cpp
          ${PROJECT_SOURCE_DIR}/tests/scrivel/widget_test_main.cpp)
add_dependencies(animate_dialog_tests scrivel)
