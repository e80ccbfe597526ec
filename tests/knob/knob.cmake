quorvane_add_test(tst_clsknob SOURCES ${TEST_DIR}/tst_clsknob.cpp LIBS quorvane_knob quorvane_forms LABELS knob)
quorvane_add_test(tst_knobface SOURCES ${TEST_DIR}/tst_knobface.cpp LIBS quorvane_knob quorvane_forms LABELS knob)
add_test(NAME tst_knobface_hidpi COMMAND tst_knobface)
set_tests_properties(tst_knobface_hidpi PROPERTIES TIMEOUT 120 LABELS knob
                     ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=2")
quorvane_add_test(tst_knob SOURCES ${TEST_DIR}/tst_knob.cpp LIBS quorvane_knob quorvane_forms LABELS knob)
