#!/usr/bin/env bash
# A layout written as JSON, built with "kvqtool layout build", whose LuaLogic component calls Lua when
# the layout's load cascade runs — checked from a script through "kvqtool lua"; and the behaviour
# components, whose layout JSON builds and dumps back to the same bytes.
# Usage: logic_layout.sh KVQTOOL KVQGAME SOURCE_DIR SCRATCH_DIR
set -u
TOOL=$1
SCRATCH=$4
rm -rf "$SCRATCH"
mkdir -p "$SCRATCH"
cd "$SCRATCH" || exit 1

cat > layout.json <<'JSON'
{
 "window": {
  "version": 2,
  "name": "root",
  "className": "b",
  "Status": 1,
  "curState": 0,
  "oldState": 255,
  "ClipOffset.left": 0,
  "ClipOffset.right": 0,
  "ClipOffset.top": 0,
  "ClipOffset.bottom": 0,
  "addData": 4294967295,
  "RenderLst": [
   {
    "class": "LuaLogic",
    "object": {
     "IsVisible": 1,
     "BlendMode": 0,
     "Name": "logic",
     "LayoutRect.LeftSide": 0,
     "LayoutRect.TopSide": 0,
     "LayoutRect.RightSide": 1,
     "LayoutRect.BottomSide": 1,
     "LayoutRect.Left": 0,
     "LayoutRect.Right": 0,
     "LayoutRect.Top": 0,
     "LayoutRect.Bottom": 0,
     "Layer": 0,
     "entries": [
      {
       "Msg": "OnLoad",
       "LuaFunc": "OnRootLoad",
       "ListenGlobal": false,
       "LuaScript": "function OnRootLoad(w, name, m, s) loaded = w:GetName() .. ':' .. name end"
      }
     ],
     "strLuaFile": ""
    }
   }
  ],
  "LayoutRect.LeftSide": 0,
  "LayoutRect.TopSide": 0,
  "LayoutRect.RightSide": 0,
  "LayoutRect.BottomSide": 0,
  "LayoutRect.Left": 20,
  "LayoutRect.Right": 70,
  "LayoutRect.Top": 20,
  "LayoutRect.Bottom": 70,
  "nExtX": 0,
  "nExtY": 0,
  "children": [],
  "nExtW": 0,
  "nExtH": 0,
  "States": [],
  "nHotAlign": 2,
  "HotOffset.x": 0,
  "HotOffset.y": 0,
  "nLayer": 0,
  "nMaxLayer": 0
 }
}
JSON

cat > check.lua <<'LUA'
local mgr = CKVQWindowMgr.Instance()
assert(mgr:Load("layout.ui"), "the built layout loads")
local root = mgr:GetRoot()
assert(root ~= nil and root:GetName() == "root", "the root is the layout's window")
root:OnLoad()
assert(loaded == "root:OnLoad", "the LuaLogic entry called its function: " .. tostring(loaded))
LUA

"$TOOL" layout build layout.json layout.ui || { echo "FAIL: layout build" >&2; exit 1; }
"$TOOL" --root "$SCRATCH" lua check.lua || { echo "FAIL: the component did not call Lua" >&2; exit 1; }

# The six behaviour components in one layout, written in the brief form: built, dumped back as
# written and built again to the same bytes.
cat > behaviour.json <<'JSON'
{"window": {"name": "panel", "RenderLst": [
  {"class": "DraggingLogic", "object": {"nMinX": -5, "nMaxX": 40, "nMaxY": 9, "IsFixChildrens": false}},
  {"class": "TopmostLogic", "object": {"Name": "raise"}},
  {"class": "SelectKVQWindowLogic", "object": {"IsCanMultiSelected": true}},
  {"class": "ArrayKVQWindowLogic", "object": {"mode": 1, "FixHeight": 24, "Offset.x": 3, "Offset.y": -2}},
  {"class": "ExtraDataSet", "object": {"ExtraData[0].Name": "hp", "ExtraData[0].Value": "10",
    "ExtraData[4].TransMsg": "OnLevel"}},
  {"class": "Sound", "object": {"entries": [
    {"startmsg": "OnLClickDown", "stopmsg": "OnLClickUp", "strSoundFile": "sound/click.wav", "IsLoop": 1,
     "fVolume": 0.5, "fPitch": 2.0, "IsAutoRemoved": true},
    {"startmsg": "OnLoad"}]}}]}}
JSON
"$TOOL" layout build behaviour.json behaviour.ui 2> err.txt || { echo "FAIL: behaviour build: $(cat err.txt)" >&2; exit 1; }
"$TOOL" layout dump --brief behaviour.ui > behaviour.brief.json 2> err.txt ||
    { echo "FAIL: behaviour dump: $(cat err.txt)" >&2; exit 1; }
python3 -c 'import json, sys; sys.exit(json.load(open(sys.argv[1])) != json.load(open(sys.argv[2])))' behaviour.json \
    behaviour.brief.json || { echo "FAIL: the dump is not the layout written: $(cat behaviour.brief.json)" >&2; exit 1; }
"$TOOL" layout build behaviour.brief.json again.ui 2> err.txt || { echo "FAIL: rebuild: $(cat err.txt)" >&2; exit 1; }
cmp -s behaviour.ui again.ui || { echo "FAIL: build(dump(behaviour)) differs from the first build" >&2; exit 1; }
for entry in "DraggingLogic Dragging:IsFixChildrens" "ArrayKVQWindowLogic ArrayKVQWindow:Offset:x" \
    "ExtraDataSet ExtraDataSet:ExtraData[4]:TransMsg" "Sound Sound:Base:Name" "TopmostLogic TopmostLogic:Base:Layer" \
    "SelectKVQWindowLogic SelectKVQWindow:IsCanMultiSelected"; do
    set -- $entry
    "$TOOL" attrs "$1" 2> /dev/null | cut -f1 | grep -qxF "$2" || { echo "FAIL: kvqtool attrs $1 lacks $2" >&2; exit 1; }
done
echo "ok"
