# clsVolume on the in-memory mixer and recording device, and on the real sound server.
quorvane_add_test(tst_clsvolume SOURCES ${TEST_DIR}/tst_clsvolume.cpp
  LIBS quorvane_mixer LABELS mixer)
quorvane_add_test(tst_clsvolumeserver SOURCES ${TEST_DIR}/tst_clsvolumeserver.cpp
  LIBS quorvane_mixer quorvane_sounds LABELS mixer sound TIMEOUT 180)
# Begins with no reachable server, then starts, kills and restarts one of its own.
quorvane_add_test(tst_clsvolumerecovery SOURCES ${TEST_DIR}/tst_clsvolumerecovery.cpp
  LIBS quorvane_mixer quorvane_forms LABELS mixer sound ENV PULSE_SERVER=unix:/nonexistent)
quorvane_add_test(tst_clsvolumemeters SOURCES ${TEST_DIR}/tst_clsvolumemeters.cpp
  LIBS quorvane_mixer quorvane_forms LABELS mixer)
quorvane_add_test(tst_clsvolumemetersserver SOURCES ${TEST_DIR}/tst_clsvolumemetersserver.cpp
  LIBS quorvane_mixer LABELS mixer sound TIMEOUT 180)
