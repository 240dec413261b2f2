#!/usr/bin/env bash
# What a person sees when a game or a tool meets bad input. Each row of the table below names a
# situation (a set-up function that spoils a copy of a small working game), a command run inside
# that game's folder, the exit status it must end with, and how many lines of its output (standard
# output and standard error together) must hold the fragment: said once, never once per frame.
#
# To add a case: write a function situation_NAME (it runs inside a fresh copy of the game, which
# has default.cfg, ui/main.ui and ui/main.json), then add a row. In the command column,
# `game ARGS` runs kvqgame headless on the folder with the software device, `tool ARGS` runs
# kvqtool; the column is shell text, so `game --ticks 30 >/dev/null 2>&1; cat file_no_exist.txt`
# checks a file instead of the output.
# Usage: bash failures.sh KVQTOOL KVQGAME SOURCE_DIR SCRATCH_DIR
set -u
kvqtool="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; kvqgame="$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"; source="$3"; scratch="$4"
data="$source/tests/tools/headless"
rm -rf "$scratch"; mkdir -p "$scratch/base/ui"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

game() { timeout 120 "$kvqgame" --headless --device software --root . "$@"; }
tool() { timeout 120 "$kvqtool" "$@"; }

# situation | command | status | times | fragment
table=$(cat <<'ROWS'
missing-layout      | game --ticks 3            | 1 | 1 | kvqgame: start layout 'ui/mian.ui' not found (looked in: 
missing-layout      | game --ticks 3            | 1 | 0 | screenshot
layout-json-only    | game --ticks 3            | 1 | 1 | main.json is there: build it with kvqtool layout build
json-layout         | game --ticks 3            | 1 | 1 | kvqgame: start layout 'ui/main.ui' is JSON, build it with kvqtool layout build
damaged-layout      | game --ticks 3            | 1 | 1 | kvqgame: start layout 'ui/main.ui' is damaged at byte 0 (cut short: 
empty-layout        | game --ticks 3            | 1 | 1 | kvqgame: start layout 'ui/main.ui' is empty
folder-layout       | game --ticks 3            | 1 | 1 | kvqgame: start layout 'ui/main.ui' is a folder, not a layout file
no-main-ui          | game --ticks 3            | 1 | 1 | kvqgame: no start layout: default.cfg names no "MainUI"
command-line-layout | game --ticks 3 ui/nope.ui | 1 | 1 | kvqgame: start layout 'ui/nope.ui' not found
no-window-size      | game --ticks 3            | 1 | 1 | kvqgame: no window size (-5x10)
missing-package     | game --ticks 3            | 0 | 1 | kvqgame: package 'data.KVQ' named by "Packet" in default.cfg cannot be opened
empty-package       | game --ticks 3            | 0 | 1 | kvqgame: package 'data.KVQ' named by "Packet" in default.cfg has no entries
damaged-package     | game --ticks 3            | 0 | 1 | kvqgame: package 'data.KVQ' is damaged: its directory lists 3 entries, but only 1 can be read
damaged-package     | tool list data.KVQ        | 1 | 1 | kvqtool list: data.KVQ: damaged: its directory lists 3 entries
cfg-stops-early     | game --ticks 3            | 1 | 1 | kvqgame: default.cfg:5: '# settings' has no '=', so the keys after it are not read
cfg-stops-early     | tool cfg default.cfg      | 0 | 1 | kvqtool cfg: default.cfg:5: '# settings' has no '=', so the keys after it are not read
missing-cfg         | game --ticks 3 ui/main.ui | 0 | 1 | kvqgame: default.cfg: not found in 
missing-image       | game --ticks 30 >/dev/null 2>&1; cat file_no_exist.txt | 0 | 1 | nothing.png
script-quits        | game --screenshot shot.png | 0 | 1 | screenshot: 
missing-image       | game --ticks 30           | 0 | 1 | kvqgame: missing image 'png/nothing.png' (looked in: 
script-error        | game --ticks 30           | 0 | 1 | kvqgame: script error: 
script-error        | game --ticks 30           | 0 | 1 | kvqgame: script error: LuaLogic 'logic' LuaScript of HeadlessUpdate:1: attempt to call global 'undefined_fn' (a nil value) (window 'root', message 'OnUpdate')
script-error        | game --ticks 30           | 0 | 1 | (window 'root', message 'OnUpdate')' repeated 28 more times
missing-function    | game --ticks 30           | 0 | 1 | kvqgame: script error: NoSuchUpdate Find lua global function no exist (window 'root', message 'OnUpdate')
missing-script-file | game --ticks 10           | 0 | 1 | kvqgame: missing script 'lua/nope.lua' (looked in: 
missing-sound       | game --ticks 30           | 0 | 1 | kvqgame: missing sound 'boom.wav' (looked in: 
missing-font        | game --ticks 30           | 0 | 1 | kvqgame: missing font 'fonts/none.fnt' (looked in: 
damaged-font        | game --ticks 30           | 0 | 1 | kvqgame: font 'fonts/bad.fnt': 
text-not-in-page    | tool layout build ui/main.json out.ui | 1 | 1 | Text: expected text the game's code page can hold ('·' has no form in it
ROWS
)

# ---------------------------------------------------------------------------------------------
# Situations. Each runs in its own copy of the base game.

set_cfg() { # KEY VALUE: replaces (or removes, with an empty VALUE) the key in default.cfg
  grep -v "^$1=" default.cfg > cfg.tmp
  [ -n "$2" ] && printf '%s=%s\n' "$1" "$2" >> cfg.tmp
  mv cfg.tmp default.cfg
}
# A package whose directory promises 3 entries but holds 1.
le32() { local v=$1 i; for i in 0 8 16 24; do printf "\\x$(printf %02x $(((v >> i) & 255)))"; done; }

situation_missing-layout() { set_cfg MainUI ui/mian.ui; }
situation_layout-json-only() { rm ui/main.ui; }
situation_json-layout() { cp ui/main.json ui/main.ui; }
situation_damaged-layout() { head -c "$(($(wc -c < ui/main.ui) / 2))" ui/main.ui > cut && mv cut ui/main.ui; }
situation_empty-layout() { : > ui/main.ui; }
situation_folder-layout() { rm ui/main.ui; mkdir ui/main.ui; }
situation_no-main-ui() { set_cfg MainUI ""; }
situation_command-line-layout() { :; }
situation_no-window-size() { set_cfg width -5; set_cfg height 10; }
situation_missing-package() { set_cfg Packet data; }
situation_empty-package() { set_cfg Packet data; { printf '.map\x01\x00'; le32 16; le32 0; printf '\x00\x00'; } > data.KVQ; }
situation_damaged-package() {
  set_cfg Packet data
  { printf '.map\x01\x00'; le32 18; le32 3; printf '\x00\x00'; printf 'xy'
    le32 7; le32 7; printf 'ok.txt\x00'; le32 16; le32 2; } > data.KVQ
}
situation_cfg-stops-early() { sed -i 's/^\[Game\]$/[Game]\n# settings/' default.cfg; }
situation_missing-cfg() { rm default.cfg; }
situation_missing-image() {
  # A picture of an image that is not there joins the root; it is drawn on every frame.
  python3 - <<'PY'
import json
layout = json.load(open("ui/main.json"))
sprite = {"file": "png/nothing.png", "Rect.left": 0, "Rect.right": 0, "Rect.top": 0, "Rect.bottom": 0,
          "nAlign": 1, "color.red": 255, "color.green": 255, "color.blue": 255, "color.alpha": 255,
          "hotX": 0, "hotY": 0, "fScaleX": 1.0, "fScaleY": 1.0, "fRadia": 0.0, "IsScaleByWnd": False,
          "Offset.x": 0, "Offset.y": 0, "ImageName": "", "clone": "", "FrameWidth": 0,
          "framecolor.red": 255, "framecolor.green": 255, "framecolor.blue": 255, "framecolor.alpha": 255}
picture = {"IsVisible": 1, "BlendMode": 1, "Name": "missing", "LayoutRect.LeftSide": 0,
           "LayoutRect.TopSide": 0, "LayoutRect.RightSide": 1, "LayoutRect.BottomSide": 1,
           "LayoutRect.Left": 0, "LayoutRect.Right": 0, "LayoutRect.Top": 0, "LayoutRect.Bottom": 0,
           "Layer": 0, "Sprite": sprite, "IsClip": True, "Clip.left": 0, "Clip.right": 0, "Clip.top": 0,
           "Clip.bottom": 0, "IsClipByParent": False}
layout["window"]["RenderLst"].insert(1, {"class": "Picture", "object": picture})
json.dump(layout, open("ui/main.json", "w"), indent=1)
PY
  timeout 60 "$kvqtool" layout build ui/main.json ui/main.ui
}
situation_script-quits() {
  # The per-tick handler ends the run itself on its fifth update.
  sed -i 's/w:GetChild(.mover.):SetPos(p) end/w:GetChild('"'"'mover'"'"'):SetPos(p); if updates == 5 then KVQAPI_Quit() end end/' ui/main.json
  grep -q KVQAPI_Quit ui/main.json || return 1
  timeout 60 "$kvqtool" layout build ui/main.json ui/main.ui >/dev/null
}

edit_layout() { # PYTHON: edits the layout JSON (as `layout`; root logic entry as `entry`) and rebuilds it
  python3 - "$1" <<'PY' || return 1
import json, sys
layout = json.load(open("ui/main.json"))
logic = layout["window"]["RenderLst"][1]["object"]
entry = logic["entries"][0]
exec(sys.argv[1])
json.dump(layout, open("ui/main.json", "w"), indent=1)
PY
  timeout 60 "$kvqtool" layout build ui/main.json ui/main.ui >/dev/null
}
situation_script-error() {
  set_cfg Debug true
  edit_layout "entry['LuaScript'] = entry['LuaScript'].replace('SetPos(p) end', 'SetPos(p); undefined_fn() end')"
}
situation_missing-function() { edit_layout "entry['LuaFunc'] = 'NoSuchUpdate'"; }
situation_missing-script-file() { edit_layout "logic['strLuaFile'] = 'lua/nope.lua'"; }
situation_missing-sound() {
  edit_layout "entry['LuaScript'] = entry['LuaScript'].replace('SetPos(p) end', 'SetPos(p); SimpleAudioEngine:sharedEngine():playEffect(\"boom.wav\", 0) end')"
}
add_text() { # FONT TEXT: puts an edit box showing TEXT in FONT on the root window
  edit_layout "layout['window']['RenderLst'].append({'class': 'EditBox', 'object': {'FontFile': '$1', 'Text': '$2'}})"
}
situation_missing-font() { add_text fonts/none.fnt hello; }
situation_damaged-font() { mkdir fonts; printf 'not a font' > fonts/bad.fnt; add_text fonts/bad.fnt hello; }
situation_text-not-in-page() { # the JSON only: building it is the command
  python3 -c "import json; l = json.load(open('ui/main.json')); l['window']['RenderLst'].append({'class': 'EditBox', 'object': {'Text': 'a \u00b7 b'}}); json.dump(l, open('ui/main.json', 'w'))"
}

# ---------------------------------------------------------------------------------------------
# The base game: the headless test game (a layout built from JSON, a script on every tick).

cp "$data/default.cfg" "$scratch/base/default.cfg"
cp "$data/main.json" "$scratch/base/ui/main.json"
"$kvqtool" layout build "$scratch/base/ui/main.json" "$scratch/base/ui/main.ui" >/dev/null 2>&1 ||
  fail "kvqtool layout build of the base game failed"
game_ok="$(cd "$scratch/base" && game --ticks 3 2>&1)" || fail "the base game does not run: $game_ok"

n=0
while IFS='|' read -r situation command status times fragment; do
  situation="$(echo "$situation" | xargs)"
  [ -z "$situation" ] && continue
  command="$(echo "$command" | sed 's/^ *//; s/ *$//')"; status="$(echo "$status" | xargs)"; times="$(echo "$times" | xargs)"
  fragment="${fragment# }"
  n=$((n + 1))
  dir="$scratch/$n-$situation"
  cp -R "$scratch/base" "$dir"
  if ! (cd "$dir" && "situation_$situation") >"$dir.setup" 2>&1; then
    fail "$situation: set-up failed: $(cat "$dir.setup")"
    continue
  fi
  (cd "$dir" && eval "$command") >"$dir.out" 2>&1 </dev/null
  rc=$?
  [ "$rc" = "$status" ] || fail "$situation: '$command' exits $rc, expected $status: $(head -5 "$dir.out")"
  seen="$(grep -cF -- "$fragment" "$dir.out")"
  [ "$seen" = "$times" ] || fail "$situation: '$command': '$fragment' appears $seen times, expected $times; output:
$(head -20 "$dir.out")"
done <<<"$table"
[ $n -gt 0 ] || fail "the table has no rows"

if [ $failures -ne 0 ]; then echo "$failures failure(s)"; exit 1; fi
echo "failures: all $n checks passed"
