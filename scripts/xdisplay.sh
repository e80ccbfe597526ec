# Sourced by scripts/run, scripts/screenshot, scripts/test and scripts/bench: a private Xvfb
# display and the main window on it.

# Starts Xvfb on a free display number; sets DISPLAY and xvfb_pid.
start_private_display() {
  local number
  for number in $(seq 140 240); do
    [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] && continue
    Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$number"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
    stop_private_display
  done
  echo "Could not start an Xvfb display." >&2
  return 1
}

stop_private_display() {
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
}

# Waits (at most ten seconds) for the main window of the program and prints its window id.
wait_for_main_window() {
  local id
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name '^Quorvane  \(version' 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# Saves what the window shows once it has painted.
save_window_picture() {
  local id=$1 file=$2
  sleep 0.5
  import -window "$id" "$file"
}
