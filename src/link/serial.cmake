# Serial port object and port naming.
target_sources(pelmora_link PRIVATE serial_port.cpp)
if(WIN32)
  target_sources(pelmora_link PRIVATE serial_port_win.cpp port_names_win.cpp)
else()
  target_sources(pelmora_link PRIVATE serial_port_posix.cpp port_names_posix.cpp)
endif()
