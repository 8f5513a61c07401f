#!/usr/bin/env bash
# Installs what building, running and testing the tool needs (Debian 12).
set -euo pipefail
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
    g++ cmake ninja-build pkg-config \
    qt6-base-dev qt6-tools-dev qt6-image-formats-plugins libqt6svg6 libgl-dev \
    libgtest-dev libgmock-dev \
    clang libclang-rt-14-dev \
    imagemagick >/dev/null
