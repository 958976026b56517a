target_sources(zelvor_render PRIVATE ${CMAKE_CURRENT_LIST_DIR}/governor.cpp ${CMAKE_CURRENT_LIST_DIR}/view_governor.cpp)
