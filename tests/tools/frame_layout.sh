#!/usr/bin/env bash
# Frames written by hand in the brief JSON form build, dump back as written and build again to the
# same bytes; kvqtool attrs names their pieces.
# Usage: frame_layout.sh KVQTOOL KVQGAME SOURCE_DIR SCRATCH_DIR
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

cat > frames.json <<'JSON'
{"window": {"name": "panel", "RenderLst": [
  {"class": "Frame", "object": {"Name": "box", "LayoutRect.RightSide": 1, "LayoutRect.BottomSide": 1,
    "TopLeft": {"file": "png/box.png", "ImageName": "tl"}, "Center": {"file": "png/box.png", "Offset.x": 1},
    "IsClipByParent": true}},
  {"class": "FrameHorz", "object": {"Left": {"file": "bar.png"}, "Center": {"fScaleX": 2.0}}},
  {"class": "FrameVert", "object": {"Bottom": {"nAlign": 2}, "Clip.left": 3}}]}}
JSON
"$TOOL" layout build frames.json frames.ui 2> err.txt || fail "the frames do not build: $(cat err.txt)"
"$TOOL" layout dump --brief frames.ui > frames.brief.json 2> err.txt || fail "dump --brief exited $?: $(cat err.txt)"
python3 -c 'import json, sys; sys.exit(json.load(open(sys.argv[1])) != json.load(open(sys.argv[2])))' frames.json \
    frames.brief.json || fail "the brief dump is not the layout written: $(cat frames.brief.json)"
"$TOOL" layout build frames.brief.json again.ui 2> err.txt || fail "the brief dump does not build: $(cat err.txt)"
cmp -s frames.ui again.ui || fail "build(dump --brief(frames)) differs from the first build"

for entry in "Frame Picture:BottomCenter:Rect:left" "FrameHorz Picture:Right:fRadia" "FrameVert Picture:Clip:bottom"; do
    set -- $entry
    "$TOOL" attrs "$1" 2> /dev/null | grep -q "^$2	" || fail "kvqtool attrs $1 does not list $2"
done

[ "$failures" -eq 0 ] || exit 1
echo "frame_layout: all checks passed"
