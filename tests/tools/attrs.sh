#!/usr/bin/env bash
# kvqtool attrs: the full attribute names of windows and of render-object classes.
# Usage: bash attrs.sh KVQTOOL KVQGAME SOURCE_DIR SCRATCH_DIR
set -u
tool="$1"; scratch="$4"
rm -rf "$scratch"; mkdir -p "$scratch"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

out="$("$tool" attrs window)"; rc=$?
[ $rc -eq 0 ] || fail "attrs window exits $rc"
[ "$(printf '%s\n' "$out" | head -3)" = "CKVQWindow
CKVQWindow:Attribute
CKVQWindow:Attribute:name" ] || fail "window names start with '$(printf '%s\n' "$out" | head -3)'"
[ "$(printf '%s\n' "$out" | tail -1)" = "CKVQWindow:Scale:fScaleY" ] || fail "window names end with '$(printf '%s\n' "$out" | tail -1)'"
printf '%s\n' "$out" | grep -qx "CKVQWindow:Status:IsVisible" || fail "IsVisible is missing"
printf '%s\n' "$out" | grep -qx "CKVQWindow:Event:OnSetHotPos" || fail "the event triggers are missing"
printf '%s\n' "$out" | grep -q "RenderLst" && fail "the collapsed render list is listed"
[ "$(printf '%s\n' "$out" | wc -l)" -eq 81 ] || fail "window has $(printf '%s\n' "$out" | wc -l) names, not 81"

out="$("$tool" attrs Rectangle)"; rc=$?
[ $rc -eq 0 ] || fail "attrs Rectangle exits $rc"
[ "$(printf '%s\n' "$out" | sed -n 4p)" = "Rect:Base:Name" ] || fail "Rectangle's fourth name is '$(printf '%s\n' "$out" | sed -n 4p)'"
printf '%s\n' "$out" | grep -qx "Rect:LayoutRect:Left" || fail "Rect:LayoutRect:Left is missing"
printf '%s\n' "$out" | grep -qx "Rect:BottomColor:alpha" || fail "Rect:BottomColor:alpha is missing"

out="$("$tool" attrs Line)"; rc=$?
[ $rc -eq 0 ] && printf '%s\n' "$out" | grep -qx "Line:nLineType" || fail "attrs Line lacks Line:nLineType (exit $rc)"

"$tool" attrs NoSuchClass >"$scratch/out" 2>"$scratch/err"; rc=$?
[ $rc -eq 1 ] || fail "an unknown class exits $rc"
grep -q "NoSuchClass" "$scratch/err" || fail "an unknown class is not named in the message"
[ -s "$scratch/out" ] && fail "an unknown class prints names"
"$tool" attrs rectangle >/dev/null 2>&1 && fail "class names are matched without case"
"$tool" attrs >/dev/null 2>&1 && fail "no argument is accepted"

if [ $failures -ne 0 ]; then echo "$failures failure(s)"; exit 1; fi
echo "attrs: all checks passed"
