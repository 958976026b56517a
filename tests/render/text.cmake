# Bitmap and outline glyph text: font lookup, glyph geometry, line splitting, and drawing off screen.
zelvor_add_test(text_tests LIBS zelvor_render SOURCES text_glyph_test.cpp text_layout_test.cpp text_render_test.cpp)
