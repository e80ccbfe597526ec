quorvane_add_test(tst_form1 SOURCES ${TEST_DIR}/tst_form1.cpp LIBS quorvane_app quorvane_sounds
  LABELS app)
# The same window on a screen of twice the density: same layout, texts drawn at the scale.
add_test(NAME tst_form1_hidpi COMMAND tst_form1)
set_tests_properties(tst_form1_hidpi PROPERTIES TIMEOUT 120 LABELS app
                     ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=2")
# The real program on the test display, driven by xdotool and heard on the speakers' monitor.
quorvane_add_test(tst_program SOURCES ${TEST_DIR}/tst_program.cpp
  LIBS quorvane_sounds PkgConfig::XCB LABELS app sound e2e TIMEOUT 240)
add_dependencies(tst_program quorvane)
quorvane_add_test(tst_volumepanel SOURCES ${TEST_DIR}/tst_volumepanel.cpp
  LIBS quorvane_app quorvane_knob LABELS app)
quorvane_add_test(tst_volumepanelprogram SOURCES ${TEST_DIR}/tst_volumepanelprogram.cpp
  LIBS quorvane_app quorvane_knob LABELS app sound e2e TIMEOUT 240)
add_dependencies(tst_volumepanelprogram quorvane)
quorvane_add_test(tst_callsmenuprogram SOURCES ${TEST_DIR}/tst_callsmenuprogram.cpp LIBS Qt6::Widgets
  LABELS app sound e2e TIMEOUT 240)
add_dependencies(tst_callsmenuprogram quorvane)
