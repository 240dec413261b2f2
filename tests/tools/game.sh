#!/usr/bin/env bash
# kvqgame --report: reads the command line and default.cfg and reports what the game would start with.
# Usage: bash game.sh KVQTOOL KVQGAME SOURCE_DIR SCRATCH_DIR
set -u
tool="$1"; game="$2"; source="$3"; scratch="$4"
rm -rf "$scratch"; mkdir -p "$scratch"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# expect OUTPUT LINE: the report holds exactly that line
expect() { grep -qxF -- "$2" <<<"$1" || fail "missing line '$2' in:
$1"; }

# The bundled demo game, copied so that the run writes nothing into the source tree.
cp -R "$source/games/demo" "$scratch/demo"
out="$("$game" --report --root "$scratch/demo" 2>/dev/null)"; rc=$?
[ $rc -eq 0 ] || fail "demo run exits $rc"
expect "$out" "default.cfg: found"
expect "$out" "screen: 800x600"
expect "$out" "debug: on"
expect "$out" "auto scale: on"
expect "$out" "code page: GB2312"
expect "$out" "start layout: ui/main.ui (default.cfg, not found)"
expect "$out" "log Debug: log/debug.log"

# A folder without default.cfg: defaults, and the debug switch is on.
mkdir -p "$scratch/empty"
out="$("$game" --report --root "$scratch/empty" 2>/dev/null)"; rc=$?
[ $rc -eq 0 ] || fail "empty folder exits $rc"
expect "$out" "default.cfg: not found (defaults apply)"
expect "$out" "debug: on"
expect "$out" "screen: 0x0"
expect "$out" "start layout: none (default.cfg)"
expect "$out" "log Debug: off"

# A layout on the command line: package "NULL", the size swapped, the layout found loose.
mkdir -p "$scratch/game/ui"
printf '[Game]\nDebug=false\nAutoScale=True\nPacket=data\nMainUI=ui/packed.ui\n' > "$scratch/game/default.cfg"
printf 'layout' > "$scratch/game/ui/a.ui"
out="$("$game" --report --root "$scratch/game" ui/a.ui 1024x768 1)"; rc=$?
[ $rc -eq 0 ] || fail "command-line layout run exits $rc"
expect "$out" "screen: 768x1024"
expect "$out" "debug: off"
expect "$out" "auto scale: off"
expect "$out" 'package: "NULL" (NULL.KVQ not opened)'
expect "$out" "start layout: ui/a.ui (command line, found)"

# A width in default.cfg wins over the command line's size.
mkdir -p "$scratch/sized"; printf '[Game]\nwidth=640\nheight=480\n' > "$scratch/sized/default.cfg"
out="$("$game" --report --root "$scratch/sized" ui/a.ui 1024x768 0 2>/dev/null)"
expect "$out" "screen: 640x480"

# The configured package: its entries are counted and the start layout is found inside it.
mkdir -p "$scratch/src/ui"
printf 'packed layout' > "$scratch/src/ui/packed.ui"
if "$tool" pack "$scratch/game/data.KVQ" -C "$scratch/src" ui/packed.ui >/dev/null 2>&1; then
  out="$("$game" --report --root "$scratch/game")"
  expect "$out" 'package: "data" (data.KVQ opened, 1 entries)'
  expect "$out" "start layout: ui/packed.ui (default.cfg, found)"
else
  fail "kvqtool pack could not build the test package"
fi

# kvqgame DIR: a folder as the only argument is the game to run, as --root names it; a layout
# file there is still the classic command line.
out="$("$game" --report "$scratch/sized" 2>/dev/null)"; rc=$?
[ $rc -eq 0 ] || fail "kvqgame DIR exits $rc"
expect "$out" "application folder: $scratch/sized/"
expect "$out" "screen: 640x480"
out="$(cd "$scratch/game" && "$game" --report --root . ui/a.ui 2>/dev/null)"
expect "$out" "start layout: ui/a.ui (command line, found)"

# Quiet by default: the assembled demo, run headless, writes only its result lines; --verbose
# (or KVQ_VERBOSE=1) adds the developer output on standard error.
built="$(dirname "$game")/../games/demo"
if [ -f "$built/ui/main.ui" ]; then
  cp -R "$built" "$scratch/built-demo"
  "$game" --headless --device software --ticks 20 --screenshot "$scratch/demo.png" "$scratch/built-demo" \
    >"$scratch/demo.out" 2>"$scratch/demo.err"; rc=$?
  [ $rc -eq 0 ] || fail "kvqgame --headless DIR on the demo exits $rc: $(head -3 "$scratch/demo.err")"
  [ -s "$scratch/demo.err" ] && fail "the demo's headless run wrote to standard error: $(head -5 "$scratch/demo.err")"
  grep -vE '^(demo: .*|screenshot: .*)$' "$scratch/demo.out" && fail "the demo's headless run printed more than its results"
  "$game" --headless --device software --ticks 2 --verbose "$scratch/built-demo" >/dev/null 2>"$scratch/verbose.err"
  grep -qF "RegisterClass Success!" "$scratch/verbose.err" || fail "--verbose shows no developer output"
  grep -qF "LitteEndian=0" "$scratch/verbose.err" || fail "--verbose does not show the archive's byte order"
  KVQ_VERBOSE=1 "$game" --headless --device software --ticks 2 "$scratch/built-demo" >/dev/null 2>"$scratch/env.err"
  grep -qF "RegisterClass Success!" "$scratch/env.err" || fail "KVQ_VERBOSE=1 shows no developer output"
  "$tool" layout dump "$built/ui/main.ui" >"$scratch/dump.json" 2>"$scratch/dump.err" || fail "layout dump of the demo fails"
  [ -s "$scratch/dump.err" ] && fail "kvqtool layout dump wrote to standard error: $(head -3 "$scratch/dump.err")"
  head -c 1 "$scratch/dump.json" | grep -q '{' || fail "kvqtool layout dump does not begin with the JSON"
  "$tool" --verbose layout dump "$built/ui/main.ui" 2>&1 >/dev/null | grep -qF "LitteEndian=0" ||
    fail "kvqtool --verbose shows no developer output"
else
  fail "the assembled demo is missing at $built"
fi

# Bad options.
"$game" --no-such-option >/dev/null 2>&1; rc=$?
[ $rc -eq 1 ] || fail "unknown option exits $rc"
"$game" --root "$scratch/no-such-folder" >/dev/null 2>&1; rc=$?
[ $rc -eq 1 ] || fail "a missing application folder exits $rc"
"$game" --help | grep -q -- "--root DIR" || fail "--help does not describe --root"

if [ $failures -ne 0 ]; then echo "$failures failure(s)"; exit 1; fi
echo "game: all checks passed"
