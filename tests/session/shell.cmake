# The shell stand-ins: temporary directory, program lookup, handler start, URI handler.
quorvane_add_test(tst_shell SOURCES ${TEST_DIR}/tst_shell.cpp LIBS quorvane_session
  LABELS session shell)
