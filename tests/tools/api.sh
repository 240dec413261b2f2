#!/usr/bin/env bash
# kvqtool api: the script reference built into the tool, and the part about one name.
# Usage: bash api.sh KVQTOOL KVQGAME SOURCE_DIR SCRATCH_DIR
set -u
tool="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; source="$3"; scratch="$4"
rm -rf "$scratch"; mkdir -p "$scratch"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The whole reference, from a folder that holds nothing of the engine, is the committed file.
(cd "$scratch" && "$tool" api >"$scratch/all" 2>"$scratch/err"); rc=$?
[ $rc -eq 0 ] || fail "api exits $rc"
cmp -s "$scratch/all" "$source/docs/script-api.md" || fail "api does not print docs/script-api.md"

# NAME | a line the part must hold (fixed text)
while IFS='|' read -r name expected; do
  [ -n "$name" ] || continue
  out="$("$tool" api "$name" 2>"$scratch/err")"; rc=$?
  [ $rc -eq 0 ] || { fail "api $name exits $rc: $(cat "$scratch/err")"; continue; }
  printf '%s\n' "$out" | grep -qF -- "$expected" || fail "api $name lacks '$expected'"
  [ -s "$scratch/err" ] && fail "api $name writes to standard error"
done <<'CASES'
KVQPoint|`new(number x, number y)` → KVQPoint
KVQRect|`new(number left, number right, number top, number bottom)` → KVQRect
RGBA|`new_local(number red, number green, number blue, number alpha)` → RGBA
CKVQWindow|`GetFrame(KVQRect rect)`
CKVQWindow:SetPos|`SetPos(number x, number y)`
CKVQWindow.SetPos|`SetPos(KVQPoint point)`
WndArray:get|CKVQWindow
KVQAPI_SetTimer|`KVQAPI_SetTimer(CKVQWindow window, string name, number interval, number count, number delay, CKVQMessage message = nil)` → number
SimpleAudioEngine:playEffect|`playEffect(string file, number loop = 0)` → number
STATUS_IsFrameWindow|| `STATUS_IsFrameWindow` | 8 |
eSHA384|| `eSHA384` | 1 |
SM_READ|| `SM_READ` | 1 |
OnLClickDown|| `OnLClickDown` | int32 x, int32 y |
OnStateExit|uint8 previous state, int32 new state
OnLoad|TimerLogic
OnWindowDelete|string "OnWindowDelete", string window handle (decimal)
CASES

# NAME | what the error must suggest
while IFS='|' read -r name suggestion; do
  [ -n "$name" ] || continue
  "$tool" api "$name" >"$scratch/out" 2>"$scratch/err"; rc=$?
  [ $rc -eq 1 ] || fail "api $name exits $rc"
  [ -s "$scratch/out" ] && fail "api $name prints to standard output"
  grep -qF "'$name'" "$scratch/err" || fail "api $name: the name is not in the message"
  grep -qF "$suggestion" "$scratch/err" || fail "api $name does not suggest $suggestion: $(cat "$scratch/err")"
done <<'CASES'
KVQPiont|KVQPoint
SetPos|CKVQWindow:SetPos
onlclickdown|OnLClickDown
KVQAPI_SetTimr|KVQAPI_SetTimer
CASES

"$tool" api KVQPoint KVQRect >/dev/null 2>&1 && fail "two names are accepted"

if [ $failures -ne 0 ]; then echo "$failures failure(s)"; exit 1; fi
echo "api: all checks passed"
