# Tests of the About window and the hyperlink control.
