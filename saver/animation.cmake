# The animation engine: oscillations and frame playback, free of any window system.
add_library(zelvor_animation STATIC ${CMAKE_CURRENT_LIST_DIR}/animation_engine.cpp)
target_include_directories(zelvor_animation PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(zelvor_animation PUBLIC zelvor_doc zelvor_view_settings)
