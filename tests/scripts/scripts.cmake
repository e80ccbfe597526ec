# The scripts' choice of private sound servers, with apt-get and dpkg-query answered by
# stand-ins.
add_test(NAME tst_soundservers COMMAND bash ${TEST_DIR}/tst_soundservers.sh)
set_tests_properties(tst_soundservers PROPERTIES LABELS scripts TIMEOUT 60)
