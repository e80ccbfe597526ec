# Sourced by scripts/test and scripts/bench: a private PulseAudio server with a null sink
# "speakers" and a null source "mic", in a runtime folder of its own.

# Starts the server; sets XDG_RUNTIME_DIR and HOME to the folder sound_runtime.
start_private_sound_server() {
  sound_runtime=$(mktemp -d /tmp/quorvane-sound.XXXXXX)
  export XDG_RUNTIME_DIR=$sound_runtime HOME=$sound_runtime
  unset PULSE_SERVER
  pulseaudio -D --exit-idle-time=-1 -n \
    --load="module-null-sink sink_name=speakers" \
    --load=module-native-protocol-unix \
    --load="module-null-source source_name=mic" 2>/dev/null
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && return 0; sleep 0.1; done
  pactl info >/dev/null
}

stop_private_sound_server() {
  [ -n "${sound_runtime:-}" ] || return 0
  HOME=$sound_runtime XDG_RUNTIME_DIR=$sound_runtime pulseaudio --kill 2>/dev/null || true
  rm -rf "$sound_runtime"
}
