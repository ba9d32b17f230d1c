target_sources(pelmora_ui PRIVATE
  colour.h
  address_edit.h address_edit.cpp
  drop_down_list.h drop_down_list.cpp
  main_window.h main_window.cpp
  named_control.h
  outer_size.h outer_size.cpp
  status_lamp.h status_lamp.cpp
  xp_style.h xp_style.cpp)
