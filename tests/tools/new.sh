#!/usr/bin/env bash
# kvqtool new: the game it writes runs headless with nothing on standard error; a replayed hover
# changes the frame (the lighter face) and a click prints its line and changes the frame again; the
# layout and image set rebuild from their JSON into the same bytes; packed and named by "Packet"
# the game runs from its package; a file or a non-empty folder is refused and left as it was.
# Usage: bash new.sh KVQTOOL KVQGAME SOURCE_DIR SCRATCH_DIR
set -u
tool="$1"; game="$2"; scratch="$4"
rm -rf "$scratch"; mkdir -p "$scratch"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# Standard error without the archive's byte-order line (developer output, shown only when verbose).
said() { grep -v -e '^$' "$1"; }

dir="$scratch/hello"
"$tool" new "$dir" >"$scratch/new.out" 2>"$scratch/new.err" || fail "kvqtool new exits $?: $(cat "$scratch/new.err")"
said "$scratch/new.err" >/dev/null && fail "kvqtool new wrote to standard error: $(said "$scratch/new.err" | head -3)"
for f in default.cfg ui/main.json ui/main.ui lua/main.lua png/button.png sets/button.png.json \
         png.set/button.png.set fonts/text.json fonts/text.fnt; do
    [ -s "$dir/$f" ] || fail "kvqtool new did not write $f"
    grep -qx "$dir/$f" "$scratch/new.out" || fail "kvqtool new did not list $f"
done

# run NAME ROOT [OPTION...]: 20 headless ticks of the game in ROOT, the last frame in NAME.png.
run() {
    local name=$1 root=$2; shift 2
    "$game" --headless --ticks 20 --root "$root" --screenshot "$scratch/$name.png" "$@" \
        >"$scratch/$name.out" 2>"$scratch/$name.err"
    local rc=$?
    [ $rc -eq 0 ] || fail "$name: kvqgame exits $rc: $(tail -3 "$scratch/$name.err")"
    said "$scratch/$name.err" >/dev/null && fail "$name: standard error is not empty: $(said "$scratch/$name.err" | head -3)"
    [ -s "$scratch/$name.png" ] || fail "$name: no screenshot"
    [ -e "$root/file_no_exist.txt" ] && fail "$name: files were missing: $(head -3 "$root/file_no_exist.txt")"
    grep -qx "game: ready" "$scratch/$name.out" || fail "$name: the script did not start: $(head -3 "$scratch/$name.out")"
}
clicks() { grep -c '^game: clicked' "$scratch/$1.out"; }

# The button spans (160, 216)-(320, 264) of the 480 x 320 layout.
printf '1 move 240 240\n' >"$scratch/hover.txt"
printf '1 move 240 240\n5 ldown 240 240\n7 lup 240 240\n' >"$scratch/click.txt"

run opengl "$dir"
run still "$dir" --device software
run hover "$dir" --device software --replay "$scratch/hover.txt"
run click "$dir" --device software --replay "$scratch/click.txt"
[ "$(clicks hover)" = 0 ] || fail "hovering printed a click"
[ "$(grep '^game: clicked' "$scratch/click.out")" = "game: clicked (1)" ] ||
    fail "one click printed: $(grep '^game:' "$scratch/click.out")"
cmp -s "$scratch/still.png" "$scratch/hover.png" && fail "hovering the button does not change the frame"
cmp -s "$scratch/hover.png" "$scratch/click.png" && fail "clicking the button does not change the frame"

# What a developer runs after editing the JSON gives the files kvqtool new built.
"$tool" layout build "$dir/ui/main.json" "$scratch/main.ui" 2>"$scratch/rebuild.err" && cmp -s "$scratch/main.ui" "$dir/ui/main.ui" ||
    fail "ui/main.json does not rebuild into ui/main.ui"
"$tool" imageset build "$dir/sets/button.png.json" "$scratch/button.png.set" 2>>"$scratch/rebuild.err" &&
    cmp -s "$scratch/button.png.set" "$dir/png.set/button.png.set" ||
    fail "sets/button.png.json does not rebuild into png.set/button.png.set"
"$tool" font build "$dir/fonts/text.json" "$scratch/text.fnt" 2>>"$scratch/rebuild.err" &&
    cmp -s "$scratch/text.fnt" "$dir/fonts/text.fnt" || fail "fonts/text.json does not rebuild into fonts/text.fnt"

# Shipped as a package beside its default.cfg, named by "Packet", the game runs and draws the same.
ship="$scratch/ship"
mkdir -p "$ship"
"$tool" pack "$ship/hello.KVQ" -C "$dir" ui/main.ui lua/main.lua png/button.png png.set/button.png.set fonts/text.fnt \
    >"$scratch/pack.out" 2>&1 || fail "packing the game failed: $(cat "$scratch/pack.out")"
sed 's/^Packet=.*/Packet=hello/' "$dir/default.cfg" >"$ship/default.cfg"
run shipped "$ship" --device software --replay "$scratch/click.txt"
cmp -s "$scratch/click.png" "$scratch/shipped.png" || fail "the packaged game draws differently"
[ "$(clicks shipped)" = 1 ] || fail "the packaged game printed $(clicks shipped) click lines"

# Only a new or empty folder is written; anything else is refused and left alone.
while read -r kind status; do
    target="$scratch/target-$kind"
    case $kind in
        empty) mkdir "$target" ;;
        full) mkdir "$target" && echo keep >"$target/notes.txt" ;;
        file) echo keep >"$target" ;;
    esac
    before="$(ls -lR "$target")"
    "$tool" new "$target" >"$scratch/$kind.out" 2>"$scratch/$kind.err"
    rc=$?
    [ $rc -eq "$status" ] || fail "new on a $kind target exits $rc, expected $status"
    if [ "$status" -ne 0 ]; then
        [ -s "$scratch/$kind.out" ] && fail "a refused new on a $kind target printed a result"
        grep -q "$target" "$scratch/$kind.err" || fail "the refusal does not name $target: $(cat "$scratch/$kind.err")"
        [ "$(ls -lR "$target")" = "$before" ] || fail "a refused new changed the $kind target"
    fi
done <<'CASES'
empty 0
full 1
file 1
CASES

if [ $failures -ne 0 ]; then echo "$failures failure(s)"; exit 1; fi
echo "new: all checks passed"
