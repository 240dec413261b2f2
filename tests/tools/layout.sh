#!/usr/bin/env bash
# kvqtool layout dump / build: layouts and window lists as JSON and back, byte for byte, render
# objects of unknown classes included, in the full and the brief form; fields left out take the
# values of new objects; edits in the JSON reach the binary; clear failures.
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
    "$TOOL" layout dump --brief "$SEEDS/$name" > "$name.brief.json" 2> err.txt || fail "dump --brief $name exited $?"
    grep -q "note:" err.txt && fail "dump --brief $name: $(cat err.txt)"
    "$TOOL" layout build "$name.brief.json" "$name.brief.bin" 2> err.txt || fail "build brief $name: $(cat err.txt)"
    cmp -s "$SEEDS/$name" "$name.brief.bin" || fail "build(dump --brief($name)) differs from $name"
done

# The dump on standard output is JSON and nothing else.
python3 -c 'import json, sys; json.load(open(sys.argv[1]))' layout_dialog.ui.json ||
    fail "standard output of dump is not clean JSON"
[ "$(wc -c < layout_named_a.ui.brief.json)" -lt "$(wc -c < layout_named_a.ui.json)" ] ||
    fail "the brief dump is not shorter than the full one"

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
# A field left out takes the value a new object has, taken from the engine (a new Line is white
# and one pixel wide; a new Rectangle covers its window), so a button is a few lines.
sed '0,/"nLayer": [0-9]*,/s///' list_three.wnd.json > missing.json
"$TOOL" layout build missing.json missing.bin || fail "a window without nLayer does not build"
cmp -s missing.bin list_three.wnd.bin || fail "a window without nLayer differs from one with the new window's value"
cat > button.json <<'EOF'
{"window": {"name": "button", "RenderLst": [
  {"class": "Picture", "object": {"Name": "face", "Sprite": {"file": "button.png"}}},
  {"class": "Line"}, {"class": "Rectangle", "object": {}}]}}
EOF
"$TOOL" layout build button.json button.ui || fail "the brief button does not build"
"$TOOL" layout dump button.ui > button.full.json
for field in '"LineColor.red": 255' '"nLineWidth": 1' '"LayoutRect.RightSide": 1' '"file": "button.png"' '"version": 2'; do
    grep -q "$field" button.full.json || fail "the button's full dump lacks $field"
done
"$TOOL" layout dump --brief button.ui > button.brief.json
[ "$(grep -c . button.brief.json)" -le 24 ] || fail "the brief dump of the button has $(grep -c . button.brief.json) lines"

# Items of lists (a logic's entries, its variables, a window's states) leave fields out too, and a
# layout written in the brief form dumps back as itself.
cat > items.json <<'EOF'
{"window": {"RenderLst": [
  {"class": "MiniLogic", "object": {"logics": [{"msg": "OnShow", "varLst": [{"value": "1"}]}]}},
  {"class": "LuaLogic", "object": {"entries": [{"Msg": "OnLClickUp", "LuaFunc": "f"}]}}],
 "States": [{"name": "Pressed"}], "children": [{"name": "child"}]}}
EOF
"$TOOL" layout build items.json items.ui || fail "list items without all their fields do not build"
"$TOOL" layout dump --brief items.ui > items.brief.json
python3 -c 'import json, sys; sys.exit(json.load(open(sys.argv[1])) != json.load(open(sys.argv[2])))' items.json \
    items.brief.json || fail "the brief dump of a brief layout is not that layout: $(cat items.brief.json)"

# Booleans take true/false and 1/0 alike; an enumeration takes a label or its index; a number outside
# the labels is kept only when marked as such. Each pair builds to the same bytes.
build_same() {
    printf '%s' "$1" > one.json
    printf '%s' "$2" > two.json
    "$TOOL" layout build one.json one.bin 2> err.txt || fail "$1: $(cat err.txt)"
    "$TOOL" layout build two.json two.bin 2> err.txt || fail "$2: $(cat err.txt)"
    cmp -s one.bin two.bin || fail "$1 and $2 differ"
}
rect() { printf '{"window": {"RenderLst": [{"class": "%s", "object": {%s}}]}}' "$1" "$2"; }
build_same "$(rect Rectangle '"IsFill": true')" "$(rect Rectangle '"IsFill": 1')"
build_same "$(rect Picture '"IsClip": 0')" "$(rect Picture '"IsClip": false')"
build_same "$(rect Rectangle '"BlendMode": "XOR"')" "$(rect Rectangle '"BlendMode": 7')"
build_same '{"window": {"nHotAlign": "ALIGN_TOPLEFT"}}' '{"window": {"nHotAlign": 0}}'
rect Line '"nLineType": {"unlisted": 12}' > unlisted.json
"$TOOL" layout build unlisted.json unlisted.ui || fail "a marked number outside the labels does not build"
"$TOOL" layout dump --brief unlisted.ui | grep -q '"nLineType": {' || fail "the dump does not mark nLineType 12"
printf '{"window": {"version": 2,' > broken.json
expect_error "broken JSON" "broken.json: not JSON" layout build broken.json out.bin
printf '[1, 2]' > array.json
expect_error "JSON of another shape" '"window"' layout build array.json out.bin
expect_error "missing input" "absent.ui" layout dump absent.ui
# Hand-written mistakes: each names the file, the JSON path and what would be right.
while IFS='|' read -r what json pattern; do
    printf '%s' "$json" > mistake.json
    expect_error "$what" "mistake.json: $pattern" layout build mistake.json mistake.bin
done <<'EOF'
misspelt field|{"window": {"RenderLst": [{"class": "Rectangle", "object": {"FilColor.red": 3}}]}}|/window/RenderLst/0/object/FilColor.red: unknown field (did you mean FillColor.red?)
misspelt window field|{"window": {"children": [{"nam": "x"}]}}|/window/children/0/nam: unknown field (did you mean name?)
misspelt nested field|{"window": {"RenderLst": [{"class": "Picture", "object": {"Sprite": {"fiel": "a.png"}}}]}}|/window/RenderLst/0/object/Sprite/fiel: unknown field (did you mean file?)
misspelt top level|{"window": {}, "windos": []}|/windos: unknown field (did you mean window?)
unknown class|{"window": {"RenderLst": [{"class": "Pictur"}]}}|/window/RenderLst/0/class: unknown class 'Pictur' (did you mean Picture?); the known classes are Rectangle, Line, 
no class|{"window": {"RenderLst": [{"object": {}}]}}|/window/RenderLst/0/class: missing
label outside the enumeration|{"window": {"RenderLst": [{"class": "Line", "object": {"nLineType": "Diagonal"}}]}}|/window/RenderLst/0/object/nLineType: expected one of Ascend|Descend|Vertical|Horizon|
index outside the enumeration|{"window": {"RenderLst": [{"class": "Rectangle", "object": {"BlendMode": 10}}]}}|/window/RenderLst/0/object/BlendMode: expected one of Replace|Blend|
boolean out of range|{"window": {"RenderLst": [{"class": "Picture", "object": {"IsClip": 2}}]}}|/window/RenderLst/0/object/IsClip: expected true or false (or 1 or 0)
boolean as text|{"window": {"RenderLst": [{"class": "Rectangle", "object": {"IsVisible": "yes"}}]}}|/window/RenderLst/0/object/IsVisible: expected true or false
EOF
[ -e mistake.bin ] && fail "a failed build wrote its output"
for name in truncated.ui hostile_render_count.ui hostile_block_length.ui list_hostile_count.wnd; do
    expect_error "damaged $name" "damaged" layout dump "$SEEDS/$name"
done
[ -e out.bin ] && fail "a failed build wrote its output"
expect_error "no arguments" "usage" layout

[ $failures -eq 0 ] || exit 1
echo "layout: all checks passed"
