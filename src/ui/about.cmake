# The About window and the hyperlink control.
