#!/usr/bin/env bash
# kvqtool font dump / build / new: font files as JSON and back, byte for byte; edits reach the
# file; damaged files and bad JSON fail with exit 1 and say where.
# Usage: font.sh KVQTOOL KVQGAME SOURCE_DIR SCRATCH_DIR
set -u
TOOL=$1
SOURCE=$3
SCRATCH=$4
SEEDS=$SOURCE/fuzz/corpus/fnt_fuzz
rm -rf "$SCRATCH"
mkdir -p "$SCRATCH"
cd "$SCRATCH" || exit 1

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

for name in empty.fnt glyphs_page.fnt outline_page.fnt bitmap.fnt regenerate_gbk_face.fnt deep_chain.fnt; do
    "$TOOL" font dump "$SEEDS/$name" > "$name.json" 2> err.txt || fail "dump $name exited $?: $(cat err.txt)"
    "$TOOL" font build "$name.json" "$name.bin" 2> err.txt || fail "build $name exited $?: $(cat err.txt)"
    cmp -s "$SEEDS/$name" "$name.bin" || fail "$name does not come back byte for byte"
done
grep -q '"face": "宋体"' regenerate_gbk_face.fnt.json || fail "a code-page face name is not shown as text"
grep -q '"regenerate": true' regenerate_gbk_face.fnt.json || fail "regenerate flag not dumped"
grep -q '"image": "digits.png"' bitmap.fnt.json || fail "bitmap image not dumped"
grep -q '"width": 8' glyphs_page.fnt.json || fail "page size not dumped"

# An edit reaches the file.
sed 's/"lineHeight": 4/"lineHeight": 9/' glyphs_page.fnt.json > edited.json
"$TOOL" font build edited.json edited.fnt || fail "build of the edited JSON exited $?"
"$TOOL" font dump edited.fnt | grep -q '"lineHeight": 9' || fail "edited line height not read back"

expect_error() {
    local what=$1 pattern=$2
    shift 2
    "$TOOL" "$@" > /dev/null 2> err.txt
    local rc=$?
    [ $rc -eq 1 ] || fail "$what: exit $rc, expected 1"
    grep -q -- "$pattern" err.txt || fail "$what: message '$(cat err.txt)' does not mention $pattern"
}
expect_error "truncated" "truncated.fnt: damaged font file: not one font record" font dump "$SEEDS/truncated.fnt"
expect_error "bad marker" "bad_marker.fnt: damaged font file: bucket 0: node marker 2" font dump "$SEEDS/bad_marker.fnt"
expect_error "wrong bucket" "belongs in bucket 1" font dump "$SEEDS/wrong_bucket.fnt"
expect_error "hostile page count" "pages, more than the record holds" font dump "$SEEDS/hostile_page_count.fnt"
expect_error "huge page" "page 0: size 20000 x 20000" font dump "$SEEDS/huge_page.fnt"
expect_error "trailing bytes" "3 bytes after the font record" font dump "$SEEDS/trailing_bytes.fnt"
expect_error "missing input" "absent.fnt: cannot be read" font dump absent.fnt
printf '{"requestedSize": 1' > broken.json
expect_error "broken JSON" "broken.json: not JSON" font build broken.json out.fnt
sed 's/"rowHeight": 4/"rowHeigth": 4/' glyphs_page.fnt.json > typo.json
expect_error "misspelt field" "/atlas/rowHeight: missing" font build typo.json out.fnt
sed 's/"rgba": "/"rgba": "AAAA/' glyphs_page.fnt.json > pixels.json
expect_error "wrong pixel count" "/atlas/pages/0/rgba: 259 bytes, 256 expected" font build pixels.json out.fnt
sed '0,/"code": 65/s//"code": 65536/' glyphs_page.fnt.json > code.json
expect_error "code out of range" "/atlas/glyphs/.*/code: expected an integer from 0 to 65535" font build code.json out.fnt
[ -e out.fnt ] && fail "a failed build wrote its output"
expect_error "no arguments" "usage" font
expect_error "new without a size" "usage" font new --face Sans out.fnt
expect_error "new with a bad size" "--size 0: expected pixels" font new --face Sans --size 0 out.fnt

# A new font regenerates from its face: no pages, the size asked for. Where no face can be matched
# at all, it says so.
if "$TOOL" font new --face "WenQuanYi Micro Hei" --size 16 --outline new.fnt 2> err.txt; then
    "$TOOL" font dump new.fnt > new.json || fail "dump of a new font exited $?"
    grep -q '"requestedSize": 16' new.json || fail "new font: size not stored"
    grep -q '"regenerate": true' new.json || fail "new font: regenerate not on"
    grep -q '"pages": \[\]' new.json || fail "new font: has pages"
else
    grep -q "no system face matches 'WenQuanYi Micro Hei'" err.txt || fail "new font failed: $(cat err.txt)"
fi

[ $failures -eq 0 ] || exit 1
echo "font: all checks passed"
