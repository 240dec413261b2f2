#!/usr/bin/env bash
# kvqtool layout dump / build: layouts and window lists as JSON and back, byte for byte, render
# objects of unknown classes included; edits in the JSON reach the binary; clear failures.
# Usage: layout.sh KVQTOOL KVQGAME SOURCE_DIR SCRATCH_DIR
set -u
TOOL=$1
SOURCE=$3
SCRATCH=$4
SEEDS=$SOURCE/fuzz/corpus/layout_fuzz
rm -rf "$SCRATCH"
mkdir -p "$SCRATCH"
cd "$SCRATCH" || exit 1

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Files the engine wrote: layouts (with states, render objects, a window that keeps its children
# out of the record, a state name in the game's code page, a class this build does not know),
# window lists (empty and of three) and a chain of 601 nested windows.
for name in layout_dialog.ui layout_unknown_class.ui layout_named_a.ui list_three.wnd list_empty.wnd deep_chain.ui; do
    "$TOOL" layout dump "$SEEDS/$name" > "$name.json" 2> err.txt || fail "dump $name exited $?: $(cat err.txt)"
    grep -q "note:" err.txt && fail "dump $name: $(cat err.txt)"
    "$TOOL" layout build "$name.json" "$name.bin" 2> err.txt || fail "build $name exited $?: $(cat err.txt)"
    cmp -s "$SEEDS/$name" "$name.bin" || fail "build(dump($name)) differs from $name"
done

# What the dump shows: named fields, objects with their class, states, children; the unknown
# class as its bytes; the code-page text as UTF-8.
json=layout_unknown_class.ui.json
grep -q '"window": {' $json || fail "layout dump has no top-level window"
grep -q '"class": "Rectangle"' $json || fail "dump lacks the rectangle's class"
grep -q '"FillColor.red": 10' $json || fail "dump lacks the rectangle's fields"
grep -q '"class": "Unknown"' $json || fail "dump lacks the unknown class's name"
grep -q '"bytes": "01000000' $json || fail "dump lacks the unknown object's bytes"
grep -q '"name": "Pressed"' $json || fail "dump lacks the state name"
grep -q '"name": "你好"' $json || fail "dump lacks the code-page state name as UTF-8"
grep -q '"children": \[' $json || fail "dump lacks the children"
grep -q '"windows": \[' list_three.wnd.json || fail "window list dump has no windows array"
[ "$(tr -d ' \n' < list_empty.wnd.json)" = '{"windows":[]}' ] || fail "empty list dumps as $(cat list_empty.wnd.json)"

# An edit in the JSON reaches the binary: a longer name grows the 115-byte block by 5 bytes.
[ "$(stat -c %s layout_named_a.ui.bin)" = 115 ] || fail "the block of window a is not 115 bytes"
sed 's/"name": "a"/"name": "abcdef"/' layout_named_a.ui.json > renamed.json
"$TOOL" layout build renamed.json renamed.bin || fail "build of the edited JSON exited $?"
[ "$(stat -c %s renamed.bin)" = 120 ] || fail "edited layout is $(stat -c %s renamed.bin) bytes, expected 120"
[ "$(od -An -tx1 -N8 renamed.bin | tr -d ' \n')" = "7000000070000000" ] || fail "edited block lengths wrong"
"$TOOL" layout dump renamed.bin | grep -q '"name": "abcdef"' || fail "edited name not read back"

# Failures exit 1 and say where.
expect_error() {
    local what=$1 pattern=$2
    shift 2
    "$TOOL" "$@" > /dev/null 2> err.txt
    local rc=$?
    [ $rc -eq 1 ] || fail "$what: exit $rc, expected 1"
    grep -q -- "$pattern" err.txt || fail "$what: message '$(cat err.txt)' does not mention $pattern"
}
sed 's/"FillColor.red": 10/"FillColor.red": 300/' $json > range.json
expect_error "out-of-range field" "/window/RenderLst/0/object/FillColor.red" layout build range.json out.bin
sed '0,/"nLayer": [0-9]*,/s///' list_three.wnd.json > missing.json
expect_error "missing field" "/windows/0/children/0/nLayer: missing" layout build missing.json out.bin
printf '{"window": {"version": 2,' > broken.json
expect_error "broken JSON" "broken.json: not JSON" layout build broken.json out.bin
printf '[1, 2]' > array.json
expect_error "JSON of another shape" '"window"' layout build array.json out.bin
expect_error "missing input" "absent.ui" layout dump absent.ui
for name in truncated.ui hostile_render_count.ui hostile_block_length.ui list_hostile_count.wnd; do
    expect_error "damaged $name" "damaged" layout dump "$SEEDS/$name"
done
[ -e out.bin ] && fail "a failed build wrote its output"
expect_error "no arguments" "usage" layout

[ $failures -eq 0 ] || exit 1
echo "layout: all checks passed"
