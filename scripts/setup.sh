#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
set -euo pipefail
PKGS=(g++ cmake ninja-build nlohmann-json3-dev spirv-headers libgtest-dev googletest
      spirv-tools glslang-tools glslang-dev libbenchmark-dev clang
      python3 libvulkan-dev mesa-vulkan-drivers vulkan-tools make)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y "${missing[@]}"
fi
