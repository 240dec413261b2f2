#!/usr/bin/env bash
# kvqtool imageset dump / build: image set files as JSON and back, byte for byte, names in the
# game's code page included; edits in the JSON reach the file; clear failures.
# Usage: imageset.sh KVQTOOL KVQGAME SOURCE_DIR SCRATCH_DIR
set -u
TOOL=$1
SOURCE=$3
SCRATCH=$4
SEEDS=$SOURCE/fuzz/corpus/imageset_fuzz
rm -rf "$SCRATCH"
mkdir -p "$SCRATCH"
cd "$SCRATCH" || exit 1

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Sets as the engine writes them: dump, build, and the same bytes come back.
for name in ui_two_entries.set empty_set.set; do
    "$TOOL" imageset dump "$SEEDS/$name" > "$name.json" 2> err.txt || fail "dump $name exited $?: $(cat err.txt)"
    "$TOOL" imageset build "$name.json" "$name.bin" 2> err.txt || fail "build $name exited $?: $(cat err.txt)"
    cmp -s "$SEEDS/$name" "$name.bin" || fail "$name does not come back byte for byte"
done

json=ui_two_entries.set.json
grep -q '"image": "ui.png"' $json || fail "image name not dumped"
grep -q '"name": "按钮"' $json || fail "a code-page name is not shown as text"
grep -q '"right": 2147483647' $json || fail "the largest int32 is not kept"
grep -q '"names"' $json && fail "the derived names text is dumped"

# Edits reach the binary; the names text follows the entries.
sed 's/"name": "ok"/"name": "okay"/; s/"left": 0/"left": -7/' $json > edited.json
"$TOOL" imageset build edited.json edited.set || fail "build of the edited JSON exited $?"
"$TOOL" imageset dump edited.set > edited.back.json || fail "dump of the edited set exited $?"
grep -q '"name": "okay"' edited.back.json || fail "edited name not read back"
grep -q '"left": -7' edited.back.json || fail "edited number not read back"
grep -q '|okay|' edited.set || fail "names text not rebuilt as |okay|...|"

# Strings stored without storage (a single zero count) read as empty text.
"$TOOL" imageset dump "$SEEDS/bare_strings.set" > bare.json || fail "bare strings: dump exited $?"
grep -q '"image": ""' bare.json || fail "a bare string is not the empty text"

# A set with duplicate names loads (the first answers lookups) and keeps every entry.
"$TOOL" imageset dump "$SEEDS/duplicate_names.set" > dup.json || fail "duplicate names: dump exited $?"
[ "$(grep -c '"name": "x"' dup.json)" = 2 ] || fail "duplicate entries not all dumped"

# Failures exit 1 and say where.
expect_error() {
    local what=$1 pattern=$2
    shift 2
    "$TOOL" "$@" > /dev/null 2> err.txt
    local rc=$?
    [ $rc -eq 1 ] || fail "$what: exit $rc, expected 1"
    grep -q -- "$pattern" err.txt || fail "$what: message '$(cat err.txt)' does not mention $pattern"
}
for name in truncated.set hostile_count.set negative_count.set long_name.set second_length_larger.set; do
    expect_error "damaged $name" "$name: damaged" imageset dump "$SEEDS/$name"
done
expect_error "missing input" "absent.set: cannot be read" imageset dump absent.set
printf '{"image": "x.png",' > broken.json
expect_error "broken JSON" "broken.json: not JSON" imageset build broken.json out.set
printf '[1, 2]' > array.json
expect_error "JSON of another shape" "array.json: /: expected an object" imageset build array.json out.set
printf '{"entries": []}' > noimage.json
expect_error "missing image" "/image: missing" imageset build noimage.json out.set
sed 's/"right": 2147483647/"right": 2147483648/' $json > range.json
expect_error "out-of-range number" "range.json: /entries/1/right: expected a 32-bit integer" imageset build range.json out.set
sed 's/"top": 3/"top": 3.5/' $json > fraction.json
expect_error "fraction" "/entries/1/top: expected a 32-bit integer" imageset build fraction.json out.set
sed '0,/"bottom": 8/s//"bottm": 8/' $json > missing.json
expect_error "missing field" "/entries/0/bottom: missing" imageset build missing.json out.set
printf '{"image": "x.png", "entries": [{"name": "a", "left": 0, "right": 0, "top": 0, "bottom": 0}, {"name": "a", "left": 1, "right": 1, "top": 1, "bottom": 1}]}' > twice.json
expect_error "repeated name" "/entries/1/name" imageset build twice.json out.set
printf '{"image": {"hex": "zz"}, "entries": []}' > hex.json
expect_error "bad hex" "/image: expected text" imageset build hex.json out.set
[ -e out.set ] && fail "a failed build wrote its output"
expect_error "no arguments" "usage" imageset
"$TOOL" imageset build $json "$SCRATCH/no/such/folder/x.set" 2> err.txt && fail "writing into a missing folder succeeded"
grep -q "x.set: cannot be written" err.txt || fail "unwritable output not named: $(cat err.txt)"

[ $failures -eq 0 ] || exit 1
echo "imageset: all checks passed"
