#!/usr/bin/env bash
# The shape of the source, counted from it: which files reach the toolkit,
# name the window's record, print, open archives, and how much repeats.
# Usage: bench/core_measures.sh [CHECKOUT]   (default: this checkout)
set -euo pipefail
root=$(cd "${1:-$(dirname "$0")/..}" && pwd)
cd "$root"
flags="-std=c++17 -Isrc $(pkg-config --cflags gtk+-2.0 minizip libdeflate nettle libjpeg)"
window='^src/(main|placer|func)/'
code=$(git ls-files 'src/*.cc' 'src/*.h' | grep -v -E '_test|test_')

reach=0 window_out=0 printers=0 openers=0
for f in $code; do
    # What a file reaches through its includes, as the compiler sees it.
    if g++ $flags -x c++ -M "$f" 2>/dev/null | grep -q 'gtk/gtk\.h'; then
        grep -q -E '\bgtk_|\bGTK_|\bGtk[A-Z]|\bg_signal' "$f" || { reach=$((reach + 1)); echo "  reaches the toolkit without calling it: $f"; }
    fi
    if ! [[ $f =~ $window ]] && grep -q 'form_record' "$f"; then
        window_out=$((window_out + 1)); echo "  names form_record outside the window: $f"
    fi
    if grep -q -E '\b(f?printf|puts|fputs|fwrite|putchar|perror)\s*\(|std::(cout|cerr|clog)|gtk_message_dialog_new' "$f"; then
        printers=$((printers + 1)); echo "  prints or shows: $f"
    fi
    if grep -q -E '\bunzOpen[A-Za-z0-9_]*\s*\(|\bopen_package\s*\(' "$f" && [[ $f == *.cc ]]; then
        openers=$((openers + 1)); echo "  opens archives: $f"
    fi
done
pairs=$(cd src && duplicates --min-lines 3 --most 1 | grep -o -E '^[0-9]+ pairs' | grep -o -E '[0-9]+' || echo 0)
printf '%-62s %s\n' \
    "non-test files reaching <gtk/gtk.h> without calling it (0)" "$reach" \
    "files outside the window naming form_record (0)" "$window_out" \
    "non-test files that print or show anything (at most 5)" "$printers" \
    "non-test files that open archives for reading (1)" "$openers" \
    "pairs in src/ sharing runs of 3 or more lines (at most 20)" "$pairs"
