# Tests of GBK text, the page command and the frame parser.
