# Tests of the main window's handlers against real pseudo-terminals.
find_package(Qt6 REQUIRED COMPONENTS Test)
pelmora_add_test(handlers_tests
  SOURCES serial_toggle_tests.cpp send_page_tests.cpp about_modality_tests.cpp handlers_test_support.h
  LIBRARIES pelmora_app Qt6::Test util
  ENVIRONMENT QT_QPA_PLATFORM=offscreen
  LABELS app)
target_include_directories(handlers_tests PRIVATE "${PROJECT_SOURCE_DIR}/tests/link")
