quorvane_add_test(tst_form SOURCES ${TEST_DIR}/tst_form.cpp LIBS quorvane_forms LABELS forms)
quorvane_add_test(tst_controls SOURCES ${TEST_DIR}/tst_controls.cpp LIBS quorvane_forms LABELS forms)
quorvane_add_test(tst_fonts SOURCES ${TEST_DIR}/tst_fonts.cpp LIBS quorvane_forms LABELS forms)
quorvane_add_test(tst_fatalerror SOURCES ${TEST_DIR}/tst_fatalerror.cpp LIBS quorvane_forms LABELS forms)
quorvane_add_test(tst_formexpose SOURCES ${TEST_DIR}/tst_formexpose.cpp LIBS quorvane_forms
  LABELS forms e2e)
