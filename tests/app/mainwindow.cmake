quorvane_add_test(tst_form1 SOURCES ${TEST_DIR}/tst_form1.cpp LIBS quorvane_app LABELS app)
