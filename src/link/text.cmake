# GBK text, the page command and the frame parser.
target_sources(pelmora_link PRIVATE
  gbk_text.cpp
  page_command.cpp
  frame_parser.cpp)
if(WIN32)
  target_sources(pelmora_link PRIVATE gbk_text_win.cpp)
else()
  target_sources(pelmora_link PRIVATE gbk_text_posix.cpp)
endif()
