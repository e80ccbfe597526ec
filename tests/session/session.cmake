# The real program on the test display, reached over the session bus as launches and the
# desktop reach it, heard on the speakers' monitor.
quorvane_add_test(tst_applicationservice SOURCES ${TEST_DIR}/tst_applicationservice.cpp
  LIBS quorvane_sounds PkgConfig::XCB PkgConfig::GIO LABELS session sound e2e TIMEOUT 300)
add_dependencies(tst_applicationservice quorvane)
