target_sources(pelmora_ui PRIVATE placeholder.cpp)
