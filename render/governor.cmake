target_sources(zelvor_render PRIVATE ${CMAKE_CURRENT_LIST_DIR}/governor.cpp)
