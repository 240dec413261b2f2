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

# Bad options.
"$game" --no-such-option >/dev/null 2>&1; rc=$?
[ $rc -eq 1 ] || fail "unknown option exits $rc"
"$game" --root "$scratch/no-such-folder" >/dev/null 2>&1; rc=$?
[ $rc -eq 1 ] || fail "a missing application folder exits $rc"
"$game" --help | grep -q -- "--root DIR" || fail "--help does not describe --root"

if [ $failures -ne 0 ]; then echo "$failures failure(s)"; exit 1; fi
echo "game: all checks passed"
