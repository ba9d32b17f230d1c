# Tests of the main window, its controls and the style.
find_package(Qt6 REQUIRED COMPONENTS Test)

pelmora_add_test(main_window_tests
  SOURCES main_window_inventory_tests.cpp main_window_keys_tests.cpp main_window_controls_tests.cpp
          main_window_test_support.h
  LIBRARIES pelmora_ui Qt6::Test
  ENVIRONMENT QT_QPA_PLATFORM=offscreen
  LABELS ui)
target_include_directories(main_window_tests PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}")
