#!/usr/bin/env bash
# Builds the Release configuration with a multi-config generator in DIR
# (default build-pkg), runs the tests there, installs into a staging folder,
# makes the .deb with cpack, checks it with lintian, installs it and starts
# both programs from it.
# Needs root for the last step (dpkg -i).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-pkg}
bash scripts/install-deps.sh --test
cmake -S . -B "$dir" -G "Ninja Multi-Config" -DEIT_BUILD_BENCH=OFF -DEIT_WERROR="${EIT_WERROR:-OFF}" >/dev/null
cmake --build "$dir" --config Release --parallel 2
(cd "$dir" && QT_QPA_PLATFORM=offscreen ctest -C Release --output-on-failure --parallel 2 >ctest.log \
    || { cat ctest.log; exit 1; }; grep -E 'tests passed' ctest.log)

stage="$PWD/$dir/stage"
rm -rf "$stage"
cmake --install "$dir" --config Release --prefix "$stage" >/dev/null
for file in bin/extract-insert-tool bin/extract-insert-batch share/applications/extract-insert-tool.desktop \
        share/icons/hicolor/128x128/apps/extract-insert-tool.png share/man/man1/extract-insert-tool.1.gz \
        share/man/man1/extract-insert-batch.1.gz share/bash-completion/completions/extract-insert-batch \
        share/doc/extract-insert-tool/copyright share/doc/extract-insert-tool/changelog.Debian.gz; do
    [ -e "$stage/$file" ] || { echo "package.sh: cmake --install did not install $file" >&2; exit 1; }
done
ls "$stage"/lib/*/qt6/plugins/designer/*.so >/dev/null

(cd "$dir" && cpack -G DEB -C Release >/dev/null)
deb=$(ls "$dir"/extract-insert-tool_*.deb)
echo "== $deb"
# Errors fail the build; warnings are shown.
lintian --fail-on error "$deb"
dpkg -i "$deb" >/dev/null
extract-insert-batch --version
extract-insert-tool --version
# The window starts and keeps running until the timeout ends it (status 124).
status=0
timeout 5 xvfb-run -a extract-insert-tool || status=$?
[ "$status" -eq 124 ] || { echo "package.sh: extract-insert-tool exited with $status under xvfb" >&2; exit 1; }
echo "== the installed window ran under xvfb"
