# The animation dialog, the oscillation dialogs and the set-up of their slider-scroller controls.
target_sources(zelvor_saver PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/animate_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/oscillate_dlg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/oscillation_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scrivel_setup.cpp)
target_link_libraries(zelvor_saver PUBLIC zelvor_animation)
