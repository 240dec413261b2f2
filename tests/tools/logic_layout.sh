#!/usr/bin/env bash
# A layout written as JSON, built with "kvqtool layout build", whose LuaLogic component calls Lua when
# the layout's load cascade runs — checked from a script through "kvqtool lua".
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
echo "ok"
