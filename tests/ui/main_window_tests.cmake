# Tests of the main window, its controls and the style.
