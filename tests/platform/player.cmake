# The RIFF reader and the sound player behind PlaySoundA and sndPlaySoundA.
quorvane_add_test(tst_riffreader SOURCES ${TEST_DIR}/tst_riffreader.cpp
  LIBS quorvane_platform LABELS platform)
quorvane_add_test(tst_soundplayer SOURCES ${TEST_DIR}/tst_soundplayer.cpp
  LIBS quorvane_platform LABELS platform sound TIMEOUT 180)
# Begins with no reachable server, then starts, kills and restarts one of its own.
quorvane_add_test(tst_soundplayerrecovery SOURCES ${TEST_DIR}/tst_soundplayerrecovery.cpp
  LIBS quorvane_platform LABELS platform sound ENV PULSE_SERVER=unix:/nonexistent)
# The program's four clips played through the player and compared on the monitor.
quorvane_add_test(tst_clipplayback SOURCES ${TEST_DIR}/tst_clipplayback.cpp
  LIBS quorvane_sounds LABELS platform sound TIMEOUT 180)
# Play into calls turned on and off faster than the server answers.
quorvane_add_test(tst_callrouting SOURCES ${TEST_DIR}/tst_callrouting.cpp
  LIBS quorvane_platform LABELS platform sound)
