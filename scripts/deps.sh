# Sourced by scripts/run and scripts/test: installs the Debian packages that are missing.
quorvane_packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libpulse-dev libglib2.0-dev
  pulseaudio pulseaudio-utils xvfb xauth xdotool x11-utils imagemagick
  fonts-wine espeak-ng sox clang libclang-rt-14-dev
)

install_missing_packages() {
  local missing=()
  for p in "${quorvane_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build_quorvane() {
  local dir=$1
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$dir" --parallel "$(nproc)"
}
