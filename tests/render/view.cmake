# Off-screen context and drawing through the view.
zelvor_add_test(offscreen_context_tests LIBS zelvor_render
  SOURCES offscreen_context_test.cpp ${PROJECT_SOURCE_DIR}/render/mesa_sanitizer_suppressions.cpp)
zelvor_add_test(view_tests LIBS zelvor_render
  SOURCES view_test_scene.cpp view_drawing_test.cpp view_lists_test.cpp view_camera_test.cpp
          view_surface_test.cpp ${PROJECT_SOURCE_DIR}/render/mesa_sanitizer_suppressions.cpp
  LABELS threads)
zelvor_add_test(render_tool_tests SOURCES view_tool_test.cpp LIBS zelvor_render)
add_dependencies(render_tool_tests zelvor-tool)
