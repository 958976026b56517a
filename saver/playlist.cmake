# The coordinate-file playlist: Qt-free logic over a timer interface, and the QTimer adapter for it.
add_library(zelvor_playlist STATIC
  ${CMAKE_CURRENT_LIST_DIR}/playlist.cpp
  ${CMAKE_CURRENT_LIST_DIR}/qt_thread_timers.cpp
)
target_include_directories(zelvor_playlist PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(zelvor_playlist PUBLIC zelvor_doc zelvor_app Qt6::Core)
