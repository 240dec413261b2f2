#!/usr/bin/env bash
# The bundled demo in a real window: an X server in memory (Xvfb) and OpenGL through GLX, input fed
# by a replay through the same window procedure as the desktop's events. Checks the script's
# reactions, that minimising and restoring keep the game drawing, and that the run ends by itself.
# Usage: bash windowed.sh KVQTOOL KVQGAME SOURCE_DIR SCRATCH_DIR
set -u
game="$2"; source="$3"; scratch="$4"
rm -rf "$scratch"; mkdir -p "$scratch"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! command -v xvfb-run >/dev/null 2>&1; then
    echo "FAIL: xvfb-run is missing (scripts/setup.sh installs xvfb)"
    exit 1
fi
# The desktop bus library that SDL loads for a real display keeps a buffer it never frees.
export LSAN_OPTIONS="suppressions=$source/tests/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
built="$(dirname "$game")/../games/demo"
cp -R "$built" "$scratch/game"
cat > "$scratch/replay.txt" <<'REPLAY'
1 move 400 392
10 ldown 400 392
12 lup 400 392
14 minimize
16 restore
20 move 330 290
REPLAY

unset WAYLAND_DISPLAY
timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" "$game" --root "$scratch/game" --ticks 40 \
    --replay "$scratch/replay.txt" --screenshot "$scratch/shot.png" >"$scratch/out.txt" 2>"$scratch/err.txt"
rc=$?
[ $rc -eq 0 ] || fail "windowed run exits $rc: $(tail -5 "$scratch/err.txt")"
for line in "demo: hover play" "demo: clicked play (1)" "demo: leave play"; do
    grep -qxF "$line" "$scratch/out.txt" || fail "missing '$line' in: $(cat "$scratch/out.txt")"
done
[ -s "$scratch/shot.png" ] || fail "no screenshot written"

if [ $failures -ne 0 ]; then echo "$failures failure(s)"; exit 1; fi
echo "windowed: all checks passed"
