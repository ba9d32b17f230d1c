# Tests of the About window and the hyperlink control.
find_package(Qt6 REQUIRED COMPONENTS Test)

pelmora_add_test(hyperlink_tests
  SOURCES hyperlink_tests.cpp
  LIBRARIES pelmora_ui Qt6::Test
  ENVIRONMENT QT_QPA_PLATFORM=offscreen
  LABELS ui)

pelmora_add_test(about_window_tests
  SOURCES about_window_tests.cpp
  LIBRARIES pelmora_ui Qt6::Test
  ENVIRONMENT QT_QPA_PLATFORM=offscreen
  LABELS ui)

# A tiny program with an owner window whose button opens the About window the
# way the main window does; the X test drives it under a real window manager.
add_executable(about_probe about_probe_main.cpp)
target_link_libraries(about_probe PRIVATE pelmora_ui pelmora_warnings)
set_target_properties(about_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}/tests")

pelmora_add_test(about_x11_tests
  SOURCES about_x11_tests.cpp
  LIBRARIES pelmora_test_x
  LABELS x11)
target_compile_definitions(about_x11_tests PRIVATE PELMORA_ABOUT_PROBE="$<TARGET_FILE:about_probe>")
add_dependencies(about_x11_tests about_probe)
