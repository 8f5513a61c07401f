#!/bin/sh
# Answers help2man's --help and --version for the window program named by
# EIT_WINDOW_PROGRAM: with the program's own text when it gives one without
# a display, otherwise with the text below.
ulimit -c 0 # a program that cannot start leaves no core file behind
if timeout 10 env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_SESSION_TYPE \
        "$EIT_WINDOW_PROGRAM" "$1" 2>/dev/null; then
    exit 0
fi
[ "$1" = "--help" ] || exit 1
cat <<'TEXT'
Usage: extract-insert-tool [FILE|FOLDER]...
Opens the Extract\Insert Tool window. The FILEs and FOLDERs named are added
to its input list as if dropped on it.

      --version    show the program's version

The same batch runs without a window as extract-insert-batch.
TEXT
