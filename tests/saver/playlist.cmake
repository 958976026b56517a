zelvor_add_test(playlist_tests LIBS zelvor_playlist
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/playlist_test.cpp ${PROJECT_SOURCE_DIR}/tests/app/message_recorder.cpp)
target_include_directories(playlist_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests/app)
