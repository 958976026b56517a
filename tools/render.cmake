# zelvor-tool render: draws a file through the view into an off-screen context.
# The sanitizer suppressions for Mesa's software driver only take effect in sanitizer builds.
target_sources(zelvor-tool PRIVATE render_command.cpp ${PROJECT_SOURCE_DIR}/render/mesa_sanitizer_suppressions.cpp)
target_link_libraries(zelvor-tool PRIVATE zelvor_render zelvor_view_settings)
