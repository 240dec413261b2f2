#!/usr/bin/env bash
# kvqgame --headless end to end: a tiny game (a layout built from JSON with Rectangle objects and a
# LuaLogic that moves a block every tick and recolours a button when clicked) run for a fixed
# number of ticks with recorded input, on both drawing devices.
# Usage: bash headless.sh KVQTOOL KVQGAME SOURCE_DIR SCRATCH_DIR
set -u
tool="$1"; game="$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"; source="$3"; scratch="$4"
data="$source/tests/tools/headless"
rm -rf "$scratch"; mkdir -p "$scratch/game/ui"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cp "$data/default.cfg" "$scratch/game/default.cfg"
"$tool" layout build "$data/main.json" "$scratch/game/ui/main.ui" >/dev/null 2>&1 || fail "kvqtool layout build failed"

# run NAME ARGS...: kvqgame headless on the game; output in NAME.out / NAME.err, status in rc.
run() {
  local name="$1"; shift
  timeout 120 "$game" --root "$scratch/game" --headless "$@" >"$scratch/$name.out" 2>"$scratch/$name.err"
  rc=$?
}
is_png() { [ -s "$1" ] && [ "$(od -An -tx1 -N8 "$1" | tr -d ' \n')" = "89504e470d0a1a0a" ]; }

# Two runs with the same input give the same frame, to the byte.
for n in 1 2; do
  run soft$n --device software --ticks 8 --replay "$data/click.replay" --screenshot "$scratch/soft$n.png"
  [ $rc -eq 0 ] || fail "software run $n exits $rc: $(cat "$scratch/soft$n.err")"
  grep -qxF "screenshot: $scratch/soft$n.png" "$scratch/soft$n.out" || fail "software run $n does not print its screenshot path"
  is_png "$scratch/soft$n.png" || fail "software run $n wrote no PNG"
done
cmp -s "$scratch/soft1.png" "$scratch/soft2.png" || fail "two software runs with the same replay differ"

# The replay's click and the tick count both show in the frame.
run noclick --device software --ticks 8 --screenshot "$scratch/noclick.png"
[ $rc -eq 0 ] || fail "run without replay exits $rc"
cmp -s "$scratch/soft1.png" "$scratch/noclick.png" && fail "the replayed click changed nothing"
run longer --device software --ticks 9 --replay "$data/click.replay" --screenshot "$scratch/longer.png"
cmp -s "$scratch/soft1.png" "$scratch/longer.png" && fail "one more tick changed nothing"

# A relative screenshot path is the caller's, not the game folder's.
(cd "$scratch" && timeout 120 "$game" --root game --headless --device software --ticks 2 --screenshot rel.png >/dev/null 2>&1)
is_png "$scratch/rel.png" || fail "a relative screenshot path was not written relative to the caller"

# The OpenGL device runs the same game.
for n in 1 2; do
  run gl$n --device opengl --ticks 8 --replay "$data/click.replay" --screenshot "$scratch/gl$n.png"
  [ $rc -eq 0 ] || fail "OpenGL run $n exits $rc: $(cat "$scratch/gl$n.err")"
  is_png "$scratch/gl$n.png" || fail "OpenGL run $n wrote no PNG"
done
cmp -s "$scratch/gl1.png" "$scratch/gl2.png" || fail "two OpenGL runs with the same replay differ"

# A run that ends minimised (paused, the device's buffers and textures handed back) still gives
# the full frame of its last tick, on both devices: the same picture as a run stopped there.
for device in software opengl; do
  run min-$device --device $device --ticks 8 --replay "$data/minimize.replay" --screenshot "$scratch/min-$device.png"
  [ $rc -eq 0 ] || fail "minimised $device run exits $rc: $(cat "$scratch/min-$device.err")"
  run five-$device --device $device --ticks 5 --replay "$data/click.replay" --screenshot "$scratch/five-$device.png"
  [ $rc -eq 0 ] || fail "five-tick $device run exits $rc: $(cat "$scratch/five-$device.err")"
  is_png "$scratch/min-$device.png" || fail "minimised $device run wrote no PNG"
  cmp -s "$scratch/min-$device.png" "$scratch/five-$device.png" ||
    fail "the $device screenshot of a run ending minimised is not its last frame"
done

# A bad replay line stops the run before it starts, naming the file and the line.
run bad --device software --ticks 8 --replay "$data/bad.replay" --screenshot "$scratch/bad.png"
[ $rc -eq 1 ] || fail "a bad replay exits $rc"
grep -qF "bad.replay:3: unknown event 'click'" "$scratch/bad.err" || fail "bad replay message: $(cat "$scratch/bad.err")"
[ -e "$scratch/bad.png" ] && fail "a bad replay still ran the game"

# Devices and options that cannot run fail cleanly.
run d3d --device d3d8 --ticks 1
[ $rc -eq 1 ] || fail "the Direct3D 8 device kind exits $rc"
grep -qF "D3D8X" "$scratch/d3d.err" || fail "the Direct3D 8 failure does not name the device"
run ticks --ticks many
[ $rc -eq 1 ] || fail "--ticks many exits $rc"
run nodevice --device vulkan
[ $rc -eq 1 ] || fail "an unknown device exits $rc"

# The real clock ticks on wall time: 15 ticks take about half a second, and give the frame the
# virtual clock gives after 15 ticks.
start=$(date +%s%N)
run real --device software --clock real --ticks 15 --screenshot "$scratch/real.png"
elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
[ $rc -eq 0 ] || fail "--clock real exits $rc: $(cat "$scratch/real.err")"
[ $elapsed -ge 450 ] || fail "15 ticks on the real clock took only $elapsed ms"
run virtual15 --device software --ticks 15 --screenshot "$scratch/virtual15.png"
cmp -s "$scratch/real.png" "$scratch/virtual15.png" || fail "the real clock's 15th tick draws another frame"
run badclock --clock wall
[ $rc -eq 1 ] || fail "an unknown clock exits $rc"

# Without a display a windowed run says so and points at --headless; --report still only reports.
env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 "$game" --root "$scratch/game" >"$scratch/window.out" 2>"$scratch/window.err"
[ $? -eq 1 ] || fail "a windowed run without a display does not exit 1"
grep -qF -- "--headless" "$scratch/window.err" || fail "the no-display message does not suggest --headless"
timeout 60 "$game" --root "$scratch/game" --report >"$scratch/report.out" 2>/dev/null || fail "--report fails"
grep -qxF "screen: 160x120" "$scratch/report.out" || fail "--report does not show the configured screen"

if [ $failures -ne 0 ]; then echo "$failures failure(s)"; exit 1; fi
echo "headless: all checks passed"
