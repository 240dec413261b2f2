#!/usr/bin/env bash
# kvqtool attrs: the attributes of windows and of render-object classes: full names in the first
# column, then type, hint and what the hint means.
# Usage: bash attrs.sh KVQTOOL KVQGAME SOURCE_DIR SCRATCH_DIR
set -u
tool="$1"; scratch="$4"
rm -rf "$scratch"; mkdir -p "$scratch"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

lines="$("$tool" attrs window)"; rc=$?
out="$(printf '%s\n' "$lines" | cut -f1)"
[ $rc -eq 0 ] || fail "attrs window exits $rc"
[ "$(printf '%s\n' "$out" | head -3)" = "CKVQWindow
CKVQWindow:Attribute
CKVQWindow:Attribute:name" ] || fail "window names start with '$(printf '%s\n' "$out" | head -3)'"
[ "$(printf '%s\n' "$out" | tail -1)" = "CKVQWindow:Scale:fScaleY" ] || fail "window names end with '$(printf '%s\n' "$out" | tail -1)'"
printf '%s\n' "$out" | grep -qx "CKVQWindow:Status:IsVisible" || fail "IsVisible is missing"
printf '%s\n' "$out" | grep -qx "CKVQWindow:Event:OnSetHotPos" || fail "the event triggers are missing"
printf '%s\n' "$out" | grep -q "RenderLst" && fail "the collapsed render list is listed"
[ "$(printf '%s\n' "$out" | wc -l)" -eq 81 ] || fail "window has $(printf '%s\n' "$out" | wc -l) names, not 81"

out="$("$tool" attrs Rectangle | cut -f1)"; rc=$?
[ $rc -eq 0 ] || fail "attrs Rectangle exits $rc"
[ "$(printf '%s\n' "$out" | sed -n 4p)" = "Rect:Base:Name" ] || fail "Rectangle's fourth name is '$(printf '%s\n' "$out" | sed -n 4p)'"
printf '%s\n' "$out" | grep -qx "Rect:LayoutRect:Left" || fail "Rect:LayoutRect:Left is missing"
printf '%s\n' "$out" | grep -qx "Rect:BottomColor:alpha" || fail "Rect:BottomColor:alpha is missing"

out="$("$tool" attrs Line | cut -f1)"; rc=$?
[ $rc -eq 0 ] && printf '%s\n' "$out" | grep -qx "Line:nLineType" || fail "attrs Line lacks Line:nLineType (exit $rc)"

# Beside each name: its type, its hint and what the hint means (labels with their numbers, spans).
while IFS='|' read -r class name columns; do
    got="$("$tool" attrs "$class" | awk -F'\t' -v n="$name" '$1 == n { print $2 " / " $3 " / " $4 }')"
    [ "$got" = "$columns" ] || fail "attrs $class: $name is '$got', expected '$columns'"
done <<'EOF'
Rectangle|Rect:Base:BlendMode|int32 / Replace|Blend|RGB|Alpha|Transparent|And|Not|XOR|XORDEST|ADDITIVE| / 0 Replace, 1 Blend, 2 RGB, 3 Alpha, 4 Transparent, 5 And, 6 Not, 7 XOR, 8 XORDEST, 9 ADDITIVE
Rectangle|Rect:Base:IsVisible|bool / false|true| / 0 false, 1 true
Rectangle|Rect:FillColor:red|uint8 / 0:255 / from 0 to 255
Rectangle|Rect:Base:Name|string / - / -
Line|Line:nLineType|int32 / Ascend|Descend|Vertical|Horizon| / 0 Ascend, 1 Descend, 2 Vertical, 3 Horizon
window|CKVQWindow:Scale:fScaleX|float / 0:1000:100 / from 0 to 10 in steps of 0.01
window|CKVQWindow:Status:IsVisible|bit-0 / false|true| / 0 false, 1 true
EOF

"$tool" attrs NoSuchClass >"$scratch/out" 2>"$scratch/err"; rc=$?
[ $rc -eq 1 ] || fail "an unknown class exits $rc"
grep -q "NoSuchClass" "$scratch/err" || fail "an unknown class is not named in the message"
[ -s "$scratch/out" ] && fail "an unknown class prints names"
"$tool" attrs rectangle >/dev/null 2>&1 && fail "class names are matched without case"
"$tool" attrs >/dev/null 2>&1 && fail "no argument is accepted"

if [ $failures -ne 0 ]; then echo "$failures failure(s)"; exit 1; fi
echo "attrs: all checks passed"
