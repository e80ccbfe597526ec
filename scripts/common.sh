# Sourced by every script: the project's folders, the packages each script needs, the build,
# the private display and sound servers, and one exit trap that stops whatever was started.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${QUORVANE_BUILD_DIR:-$root/build}

build_packages=(cmake ninja-build g++ pkg-config qt6-base-dev libpulse-dev libglib2.0-dev libxcb1-dev
  fonts-wine)
display_packages=(xvfb xauth xdotool x11-utils imagemagick)
# What scripts/package builds and checks the package with.
package_packages=(dpkg-dev file lintian)
# What the tests of the installed tree validate it with.
install_check_packages=(desktop-file-utils appstream)
# The private sound servers' packages, by kind; pactl (pulseaudio-utils) talks to both.
# PipeWire's pieces install beside PulseAudio; pipewire-audio, which conflicts with it, is
# never asked for.
pipewire_packages=(pipewire pipewire-pulse wireplumber dbus-daemon)
pulseaudio_packages=(pulseaudio)
# A private session bus for the programs under test, and gdbus to call them as the desktop does.
session_packages=(dbus-daemon libglib2.0-bin)

# Actions run when the script ends, last registered first.
exit_actions=()
on_exit() { exit_actions+=("$*"); }
run_exit_actions() {
  local i
  for ((i = ${#exit_actions[@]} - 1; i >= 0; i--)); do eval "${exit_actions[i]}" || true; done
}
trap run_exit_actions EXIT

is_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing_packages() {
  local p
  for p in "$@"; do is_installed "$p" || echo "$p"; done
}

# Installs the named packages that are missing. apt-get never removes a package for them: an
# install that would is refused, and the function fails.
install_packages() {
  local missing
  missing=$(missing_packages "$@")
  [ -z "$missing" ] && return 0
  echo "Installing:" $missing
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  if [ -z "${apt_updated:-}" ]; then
    $sudo apt-get update -qq
    apt_updated=1
  fi
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends --no-remove $missing
}

# Builds the named targets, or everything (the tests and benchmarks too) when none is named.
build_quorvane() {
  cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build_dir" --parallel "$(nproc)" ${1:+--target "$@"}
}

# Starts Xvfb on a free display number and sets DISPLAY; stopped when the script ends.
start_private_display() {
  local number log
  log=$(mktemp /tmp/quorvane-xvfb.XXXXXX)
  on_exit "rm -f '$log'"
  for number in $(seq 140 240); do
    [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] && continue
    Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$log" 2>&1 &
    xvfb_pid=$!
    on_exit "kill $xvfb_pid 2>/dev/null"
    export DISPLAY=":$number"
    for _ in $(seq 50); do
      xdpyinfo >/dev/null 2>&1 && return 0
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$xvfb_pid" 2>/dev/null || true
  done
  echo "Could not start an Xvfb display; it said:" >&2
  cat "$log" >&2
  return 1
}

# Starts a private sound server of the given kind (pipewire or pulseaudio) and points this
# script's environment at it; stopped when the script ends or by stop_sound_server.
start_sound_server() {
  sound_dir=$(mktemp -d /tmp/quorvane-sound.XXXXXX)
  on_exit "'$root/scripts/sound-server' stop '$sound_dir/server'; rm -rf '$sound_dir'"
  "$root/scripts/sound-server" start "$1" "$sound_dir/server" || return 1
  export PULSE_SERVER=unix:$sound_dir/server/run/pulse/native
  export PIPEWIRE_REMOTE=$sound_dir/server/run/pipewire-0
  export QUORVANE_SOUND_SERVER=$1 QUORVANE_SOUND_SERVER_PID=$(cat "$sound_dir/server/pid")
  # The programs under test keep their runtime files and settings here too.
  mkdir -p "$sound_dir/runtime" "$sound_dir/home"
  chmod 700 "$sound_dir/runtime"
  export XDG_RUNTIME_DIR=$sound_dir/runtime HOME=$sound_dir/home
  start_private_session_bus "$sound_dir/runtime"
}

# Starts a session bus of its own in the given folder and points this script's environment
# at it, never at the user's; stopped when the script ends or by stop_sound_server.
start_private_session_bus() {
  local socket=$1/bus
  dbus-daemon --session --address="unix:path=$socket" --nofork --nopidfile --nosyslog \
    >/dev/null 2>&1 &
  session_bus_pid=$!
  on_exit "kill $session_bus_pid 2>/dev/null"
  for _ in $(seq 50); do
    [ -S "$socket" ] && break
    sleep 0.1
  done
  export DBUS_SESSION_BUS_ADDRESS=unix:path=$socket
}

stop_sound_server() {
  [ -n "${sound_dir:-}" ] || return 0
  kill "$session_bus_pid" 2>/dev/null || true
  "$root/scripts/sound-server" stop "$sound_dir/server"
  rm -rf "$sound_dir"
  unset DBUS_SESSION_BUS_ADDRESS session_bus_pid
  unset PULSE_SERVER PIPEWIRE_REMOTE QUORVANE_SOUND_SERVER QUORVANE_SOUND_SERVER_PID sound_dir
}

# Sets sound_servers (pipewire, pulseaudio or both) and sound_servers_reason: the kinds of
# private server the tests and benchmarks run on. Installing pipewire-pulse or pulseaudio
# enables its user units for every user (Debian's postinst), which switches a desktop to that
# server at the next login, so a desktop's own server decides: a machine with only PulseAudio's
# daemon runs on PulseAudio, one with only PipeWire's pulse server on PipeWire, and one with
# both or neither (a build or CI machine) on both.
choose_sound_servers() {
  local pulseaudio=0 pipewire=0
  is_installed pulseaudio && pulseaudio=1
  is_installed pipewire-pulse && pipewire=1
  case $pulseaudio$pipewire in
    10)
      sound_servers=(pulseaudio)
      sound_servers_reason="only PulseAudio's daemon is installed, the desktop's own; PipeWire's pulse server would take its place" ;;
    01)
      sound_servers=(pipewire)
      sound_servers_reason="only PipeWire's pulse server is installed, the desktop's own; PulseAudio's daemon would take its place" ;;
    11)
      sound_servers=(pipewire pulseaudio)
      sound_servers_reason="both PipeWire's pulse server and PulseAudio's daemon are installed" ;;
    00)
      sound_servers=(pipewire pulseaudio)
      sound_servers_reason="neither PipeWire's pulse server nor PulseAudio's daemon is installed, as on a build machine: both are installed" ;;
  esac
}

# The packages of the chosen sound servers, one a line.
sound_server_packages() {
  local kind
  printf '%s\n' pulseaudio-utils
  for kind in "${sound_servers[@]}"; do
    case $kind in
      pipewire) printf '%s\n' "${pipewire_packages[@]}" ;;
      pulseaudio) printf '%s\n' "${pulseaudio_packages[@]}" ;;
    esac
  done
}

# Chooses the sound servers, says which and why, and installs what they need.
install_sound_servers() {
  choose_sound_servers
  echo "Sound servers: ${sound_servers[*]} ($sound_servers_reason)."
  # shellcheck disable=SC2046
  install_packages $(sound_server_packages)
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
