# Tests of GBK text, the page command and the frame parser.
pelmora_add_test(pelmora_text_tests
  SOURCES gbk_text_test.cpp page_command_test.cpp frame_parser_test.cpp
  LIBRARIES pelmora_link
  LABELS link)
