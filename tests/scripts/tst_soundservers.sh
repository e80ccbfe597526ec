#!/usr/bin/env bash
# The scripts' choice of private sound servers on the three kinds of machine, with dpkg-query
# and apt-get answered by stand-ins: each machine's installed packages are given, and what
# apt-get is asked to install is compared with what that machine may get.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
stand_ins=$(mktemp -d)
trap 'rm -rf "$stand_ins"' EXIT

# dpkg-query -W -f=FORMAT PACKAGE: installed when named in INSTALLED.
cat >"$stand_ins/dpkg-query" <<'EOF'
#!/bin/sh
for p in $INSTALLED; do [ "$p" = "$3" ] && { printf 'install ok installed'; exit 0; }; done
echo "dpkg-query: no packages found matching $3" >&2
exit 1
EOF
# apt-get install ... PACKAGES: the packages asked for go to the log, one line a call.
cat >"$stand_ins/apt-get" <<'EOF'
#!/bin/sh
[ "$1" = install ] || exit 0
shift
for a in "$@"; do case $a in -*) ;; *) printf '%s ' "$a" ;; esac; done >>"$APT_LOG"
echo >>"$APT_LOG"
EOF
printf '#!/bin/sh\nexec "$@"\n' >"$stand_ins/sudo"
chmod +x "$stand_ins"/*

failures=0
# check MACHINE INSTALLED EXPECTED_SERVERS EXPECTED_INSTALL
check() {
  local machine=$1 installed=$2 servers=$3 install=$4 said asked
  : >"$stand_ins/apt.log"
  said=$(INSTALLED=$installed APT_LOG=$stand_ins/apt.log PATH=$stand_ins:$PATH bash -c \
    'source "$1/scripts/common.sh"; install_sound_servers >/dev/null; echo "${sound_servers[*]}"' \
    _ "$root")
  asked=$(sed 's/ $//' "$stand_ins/apt.log")
  if [ "$said" = "$servers" ] && [ "$asked" = "$install" ]; then
    echo "PASS $machine: servers '$said', installs '$asked'"
  else
    echo "FAIL $machine: servers '$said' (expected '$servers'), installs '$asked' (expected '$install')"
    failures=$((failures + 1))
  fi
}

check "PulseAudio desktop" "pulseaudio pulseaudio-utils" pulseaudio ""
check "PipeWire desktop" "pipewire pipewire-pulse wireplumber pipewire-audio" pipewire \
  "pulseaudio-utils dbus-daemon"
check "bare machine" "" "pipewire pulseaudio" \
  "pulseaudio-utils pipewire pipewire-pulse wireplumber dbus-daemon pulseaudio"
check "machine with both" "pulseaudio pipewire-pulse" "pipewire pulseaudio" \
  "pulseaudio-utils pipewire wireplumber dbus-daemon"
exit $((failures > 0))
