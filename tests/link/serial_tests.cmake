# Tests of the serial port object and port naming.
