# The About window and the hyperlink control.
target_sources(pelmora_ui PRIVATE
  about_window.h about_window.cpp
  hyperlink.h hyperlink.cpp
  url_opener.h url_opener.cpp)
if(WIN32)
  target_sources(pelmora_ui PRIVATE url_opener_win.cpp)
  target_link_libraries(pelmora_ui PRIVATE advapi32)
else()
  target_sources(pelmora_ui PRIVATE url_opener_posix.cpp)
endif()
