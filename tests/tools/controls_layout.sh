#!/usr/bin/env bash
# Scroll bars, progress controls and an edit box (with its two embedded bars) written by hand in the brief JSON form: they build, dump back
# as what was written, and round-trip byte for byte through both dump forms.
# Usage: controls_layout.sh KVQTOOL KVQGAME SOURCE_DIR SCRATCH_DIR
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

cat > controls.json <<'JSON'
{"window": {"name": "list", "RenderLst": [
  {"class": "VertScrollBar", "object": {"Name": "v", "Top": {"file": "up.png"}, "Bottom": {"file": "down.png"},
   "VerThumbFile": {"file": "thumb.png"}, "Max": 40, "TrackPos": 2, "Pos": 7}},
  {"class": "HorzScrollBar", "object": {"Thumb": {"file": "t.png"}, "Min": -5}},
  {"class": "ProgressControl", "object": {"mode": 1, "FixHeight": 12, "nCurrentProgress": 30,
   "IsBottomToTop": true, "Sprite": {"file": "bar.png"}}},
  {"class": "EditBox", "object": {"Name": "name", "FontFile": "ui/font.fnt", "Text": "hello\n", "readOnly": false,
   "Aligned": 4, "maxTextLen": 20, "forceVerScroll": true, "normalTextColour.red": 10, "fScale": 1.5,
   "VertScrollBar": {"Max": 40, "Top": {"file": "up.png"}}, "HorzScrollBar": {"IsVisible": 1, "Pos": 3}}}]}}
JSON
"$TOOL" layout build controls.json controls.ui 2> err.txt || fail "build exited $?: $(cat err.txt)"
"$TOOL" layout dump --brief controls.ui > brief.json || fail "dump --brief exited $?"
python3 -c 'import json, sys; sys.exit(json.load(open(sys.argv[1])) != json.load(open(sys.argv[2])))' \
    controls.json brief.json || fail "the brief dump is not the layout written: $(cat brief.json)"
"$TOOL" layout dump controls.ui > full.json || fail "dump exited $?"
for field in '"LayoutRect.Left": -15' '"LayoutRect.Top": -15' '"Page": 5' '"nTotalProgress": 100' '"FixWidth": 50'; do
    grep -q "$field" full.json || fail "the full dump lacks the new objects' $field"
done
for form in brief full; do
    "$TOOL" layout build $form.json $form.ui 2> err.txt || fail "build of the $form dump: $(cat err.txt)"
    cmp -s controls.ui $form.ui || fail "build(dump $form) differs from the layout"
done
# The mode takes its label as well as its index.
sed 's/"mode": 1/"mode": "FixHeightY"/' controls.json > labelled.json
"$TOOL" layout build labelled.json labelled.ui 2> err.txt || fail "the mode's label: $(cat err.txt)"
cmp -s controls.ui labelled.ui || fail "the mode's label builds other bytes than its index"
"$TOOL" attrs VertScrollBar | grep -q '^VertScrollBar:Top:file' || fail "attrs VertScrollBar lacks Top:file"
# A new edit box's horizontal bar starts hidden; its colours are stored alpha first.
grep -q '"selectColour.alpha": 255' full.json || fail "the full dump lacks the edit box's colours"
python3 - full.json <<'PY' || fail "the edit box's bars are not in the full dump as written"
import json, sys
objects = [e["object"] for e in json.load(open(sys.argv[1]))["window"]["RenderLst"] if e["class"] == "EditBox"]
box = objects[0]
sys.exit(not (box["VertScrollBar"]["Max"] == 40 and box["HorzScrollBar"]["IsVisible"] == 1
              and box["HorzScrollBar"]["Pos"] == 3 and box["forceHorzScroll"] is False))
PY
"$TOOL" attrs EditBox | grep -q '^EditBox:HorzScrollBar:ScrollInfo:Pos' || fail "attrs EditBox lacks its bars"
"$TOOL" attrs ProgressControl | grep -q '^ProgressControl:Offset:x' || fail "attrs ProgressControl lacks Offset:x"
exit $((failures > 0))
