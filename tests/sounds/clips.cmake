quorvane_add_test(tst_cliptable SOURCES ${TEST_DIR}/tst_cliptable.cpp LIBS quorvane_sounds
                  LABELS sounds)
quorvane_add_test(tst_pictures SOURCES ${TEST_DIR}/tst_pictures.cpp LIBS quorvane_sounds
                  LABELS sounds)
