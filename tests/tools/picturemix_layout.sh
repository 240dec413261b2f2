#!/usr/bin/env bash
# kvqtool and the painted picture: a hand-written layout in the brief form builds, dumps back in
# the brief form and builds again to the same bytes; the attribute list names its operations.
# Usage: picturemix_layout.sh KVQTOOL KVQGAME SOURCE_DIR SCRATCH_DIR
set -u
TOOL=$1
SCRATCH=$4
rm -rf "$SCRATCH"
mkdir -p "$SCRATCH"
cd "$SCRATCH" || exit 1

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

cat > paint.json <<'EOF'
{"window": {"name": "canvas", "RenderLst": [
  {"class": "PictureMix", "object": {"Name": "paint", "Sprite": {"file": "canvas.png", "clone": "canvas-copy"},
   "mask": {"file": "mask.png"}, "brush": {"file": "brush.png", "fScaleX": 2.0},
   "BrushHotPos.x": 4, "BrushHotPos.y": -3, "nBlendMode": "XorDest",
   "color.red": 60, "color.alpha": 255, "IsClip": false}}]}}
EOF
"$TOOL" layout build paint.json paint.ui 2> err.txt || fail "the brief painted picture does not build: $(cat err.txt)"
"$TOOL" layout dump --brief paint.ui > paint.brief.json 2> err.txt || fail "dump --brief: $(cat err.txt)"
for field in '"nBlendMode": 8' '"BrushHotPos.y": -3' '"clone": "canvas-copy"' '"fScaleX": 2.0'; do
    grep -q -- "$field" paint.brief.json || fail "the brief dump lacks $field: $(cat paint.brief.json)"
done
"$TOOL" layout build paint.brief.json again.ui 2> err.txt || fail "the dump does not build: $(cat err.txt)"
cmp -s paint.ui again.ui || fail "build(dump --brief(paint.ui)) differs from paint.ui"

"$TOOL" attrs PictureMix > attrs.txt 2> /dev/null || fail "attrs PictureMix exited $?"
grep -q '^Picture:nBlendMode	int32	Replace|Blend|RGBOnly|AlphaOnly|Transparent|And|Not|Xor|XorDest|Additive|' attrs.txt ||
    fail "attrs lacks nBlendMode with its operations"

[ $failures -eq 0 ] || exit 1
echo "picturemix layout: ok"
