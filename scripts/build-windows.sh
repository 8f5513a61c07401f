#!/usr/bin/env bash
# Cross-builds the console program, the window (extract-insert-tool.exe, on
# the Win32 API) and their tests for 64-bit Windows with mingw-w64, runs the
# tests under wine and packs both programs as a zip.
#   scripts/build-windows.sh [DIR]      (DIR defaults to build-win)
# The zip lands in DIR: extract-insert-batch-<version>-win64.zip.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-win}

bash scripts/install-deps.sh --windows
cmake -S . -B "$dir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release \
    -DEIT_BUILD_GUI=OFF -DEIT_BUILD_BENCH=OFF \
    -DEIT_WERROR="${EIT_WERROR:-OFF}" >/dev/null
cmake --build "$dir" --parallel 2

# The programs may import only Windows' own DLLs: the compiler's runtime is
# linked in, so a plain Windows runs them as they are.
for exe in "$dir/app/extract-insert-batch.exe" "$dir/app/win32/extract-insert-tool.exe"; do
    foreign=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' \
        | grep -viE '^(advapi32|comctl32|comdlg32|gdi32|kernel32|msvcrt|ole32|shell32|user32)\.dll$' || true)
    if [ -n "$foreign" ]; then
        echo "$exe needs DLLs Windows does not bring: $foreign" >&2
        exit 1
    fi
done

# wine keeps its Windows installation (the "prefix") inside the build folder,
# so the user's own ~/.wine is left alone. Its server is kept running for
# the whole test run: starting it for each test program would take seconds.
export WINEPREFIX
WINEPREFIX="$(cd "$dir" && pwd)/wine"
mkdir -p "$WINEPREFIX"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # no offer to install .NET or a browser engine
trap 'wineserver -k 2>/dev/null || true' EXIT
wineserver -p
wineboot --init >/dev/null 2>&1
# The window's tests create real windows: wine's null display driver gives
# them one without an X display, the same with or without one.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1

(cd "$dir" && ctest --output-on-failure --parallel 2)
(cd "$dir" && cpack -G ZIP >/dev/null)

# The zip's programs carry no debug information, and its README keeps
# Windows' line ends.
rm -rf "$dir/zip-check" && mkdir "$dir/zip-check"
(cd "$dir/zip-check" && cmake -E tar xf ../extract-insert-batch-*-win64.zip)
for exe in "$dir"/zip-check/*/*.exe; do
    if x86_64-w64-mingw32-objdump -h "$exe" | grep -q '\.debug_'; then
        echo "build-windows.sh: ${exe##*/} in the zip is not stripped" >&2
        exit 1
    fi
done
if grep -qv $'\r$' "$dir"/zip-check/*/README.txt; then
    echo "build-windows.sh: README.txt in the zip has lines without CR LF" >&2
    exit 1
fi
echo "Windows package: $dir/$(cd "$dir" && ls extract-insert-batch-*-win64.zip)"
