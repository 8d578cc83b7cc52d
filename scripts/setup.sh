#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Idempotent: packages already present are left as they are.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libomniorb4-dev omniidl omniorb-idl omniorb-nameserver omniorb libomnithread4-dev
  libcgal-dev libgmp-dev libmpfr-dev libboost-dev
  libopencv-dev
  libcli11-dev nlohmann-json3-dev libfmt-dev libtbb-dev
  clang-14 libfuzzer-14-dev libclang-rt-14-dev clang-format-14
  xvfb xauth
  libcpp-httplib-dev chromium
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages present"
  exit 0
fi

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
echo "setup: installing ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
