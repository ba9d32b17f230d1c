# Serial port object and port naming.
target_sources(pelmora_link PRIVATE placeholder.cpp)
