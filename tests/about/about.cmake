# The link launcher against a desktop of its own whose browser is a recording script; the
# same tests once more on a desktop that associates nothing with web pages.
quorvane_add_test(tst_mopenurl SOURCES ${TEST_DIR}/tst_mopenurl.cpp LIBS quorvane_about
  LABELS about)
add_test(NAME tst_mopenurl_unassociated COMMAND tst_mopenurl noBrowserStartsNothing)
set_tests_properties(tst_mopenurl_unassociated PROPERTIES TIMEOUT 60 LABELS about
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QUORVANE_DESKTOP_WITHOUT_BROWSER=1")
# The about window on the offscreen platform; its links reach recording handlers.
# It compares the window's pictures with the folder's own, which only the folder sees.
quorvane_add_test(tst_frmabout SOURCES ${TEST_DIR}/tst_frmabout.cpp
  LIBS quorvane_about quorvane_forms quorvane_sounds LABELS about)
target_include_directories(tst_frmabout PRIVATE ${CMAKE_SOURCE_DIR}/about)
# The real program on the test display, driven by xdotool.
quorvane_add_test(tst_aboutprogram SOURCES ${TEST_DIR}/tst_aboutprogram.cpp LABELS about e2e
  TIMEOUT 180)
add_dependencies(tst_aboutprogram quorvane)
