#!/usr/bin/env bash
# Installs the Debian 12 packages the tool needs and that are missing.
#   install-deps.sh          what building and running the program needs
#   install-deps.sh --test   also what the tests, fuzzing, screenshots and the
#                            .deb need
#   install-deps.sh --windows  what the Windows cross-build and its tests need
# When everything is there already, nothing is installed and no root is needed.
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config)
case "${1:-}" in
--windows)
    packages+=(g++-mingw-w64-x86-64-posix googletest wine wine64)
    ;;
*)
    packages+=(qt6-base-dev qt6-tools-dev qt6-image-formats-plugins libqt6svg6 libgl-dev)
    ;;
esac
if [ "${1:-}" = "--test" ]; then
    packages+=(libgtest-dev libgmock-dev clang libclang-rt-14-dev imagemagick xvfb xauth dpkg-dev file)
    # The .deb: its manual pages, the check of the package and of the completion.
    packages+=(help2man lintian bash-completion)
fi

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install-deps.sh: missing packages (${missing[*]}); run as root or install sudo" >&2; exit 1; }
    SUDO="sudo"
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
