quorvane_add_test(tst_picturebox SOURCES ${TEST_DIR}/tst_picturebox.cpp LIBS quorvane_forms LABELS forms)
