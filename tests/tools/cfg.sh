#!/usr/bin/env bash
# kvqtool cfg: prints a configuration file as the engine reads it.
# Usage: bash cfg.sh KVQTOOL KVQGAME SOURCE_DIR SCRATCH_DIR
set -u
tool="$1"; scratch="$4"
rm -rf "$scratch"; mkdir -p "$scratch"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Reading ends at the line without "=", so [Later] is never read; a "[" inside a line starts a
# section; keys split at the last "="; CRLF line ends are trimmed.
printf 'notes before any section\r\n[Game]\r\nwidth = 800\r\nheight=600\r\na=b=c\r\n[Log]\r\nDebug=\t log/d.log \r\nbroken=x[Game]\r\nwidth=1024\r\n; comment\r\n[Later]\r\nk=v\r\n' \
  > "$scratch/default.cfg"

expected='[Game]
a=b=c
height=600
width=1024
[Log]
Debug=log/d.log'
out="$("$tool" cfg "$scratch/default.cfg")"; rc=$?
[ $rc -eq 0 ] || fail "listing exits $rc"
[ "$out" = "$expected" ] || fail "listing differs:
$out"

out="$("$tool" cfg "$scratch/default.cfg" Game a=b)"; rc=$?
[ $rc -eq 0 ] && [ "$out" = "c" ] || fail "Game a=b gives '$out' (exit $rc)"

out="$("$tool" cfg "$scratch/default.cfg" Log Debug)"
[ "$out" = "log/d.log" ] || fail "Log Debug gives '$out'"

out="$("$tool" cfg "$scratch/default.cfg" Later k)"; rc=$?
[ $rc -eq 0 ] && [ -z "$out" ] || fail "a key after the end of reading gives '$out' (exit $rc)"

"$tool" cfg "$scratch/missing.cfg" >/dev/null 2>"$scratch/err"; rc=$?
[ $rc -eq 1 ] || fail "a missing file exits $rc"
grep -q "missing.cfg" "$scratch/err" || fail "a missing file is not named in the message"

"$tool" cfg "$scratch" >/dev/null 2>&1 && fail "a folder is read as a file"
"$tool" cfg "$scratch/default.cfg" Game >/dev/null 2>&1 && fail "a section without a key is accepted"

if [ $failures -ne 0 ]; then echo "$failures failure(s)"; exit 1; fi
echo "cfg: all checks passed"
