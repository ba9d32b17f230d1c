# Tests of the serial port object and port naming.
if(NOT WIN32)
  pelmora_add_test(pelmora_serial_tests
    SOURCES serial_port_test.cpp port_names_test.cpp
    LIBRARIES pelmora_link util
    LABELS link)
endif()
