# What `cmake --install` puts in place, validated as a desktop would read it, and the
# installed program started; also where no display can be reached.
quorvane_add_test(tst_install SOURCES ${TEST_DIR}/tst_install.cpp LIBS Qt6::Gui LABELS app e2e)
add_dependencies(tst_install quorvane quorvane_theme_icons)
