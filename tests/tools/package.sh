#!/usr/bin/env bash
# kvqtool pack / list / cat / unpack: reproducible packages, exact round trips, clear failures.
# Usage: package.sh KVQTOOL KVQGAME SOURCE_DIR SCRATCH_DIR
set -u
TOOL=$1
SCRATCH=$4
rm -rf "$SCRATCH"
mkdir -p "$SCRATCH/src/png/sub" "$SCRATCH/src/lua"
cd "$SCRATCH" || exit 1

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Inputs: text, binary with every byte value, an empty file, a nested file.
printf 'print("hello")\n' > src/lua/main.lua
head -c 5000 /dev/urandom > src/png/sub/pic.png
for i in $(seq 0 255); do printf "\\x$(printf %02x "$i")"; done > src/all.bin
: > src/empty.txt

"$TOOL" pack one.KVQ -C src lua/main.lua 'png\sub\pic.png' all.bin empty.txt || fail "pack exited $?"
"$TOOL" pack two.KVQ -C src lua/main.lua 'png\sub\pic.png' all.bin empty.txt || fail "second pack exited $?"
cmp -s one.KVQ two.KVQ || fail "two packs of the same files differ"
[ "$(head -c 4 one.KVQ)" = ".map" ] || fail "package does not begin with .map"

# list: name, data offset, size; tab-separated, directory order, offsets back to back from 16.
expected=$(printf 'lua/main.lua\t16\t15\npng\\sub\\pic.png\t31\t5000\nall.bin\t5031\t256\nempty.txt\t5287\t0')
[ "$("$TOOL" list one.KVQ)" = "$expected" ] || fail "list printed: $("$TOOL" list one.KVQ)"

# cat: exact bytes, found by the final name part.
"$TOOL" cat one.KVQ pic.png > got.png && cmp -s got.png src/png/sub/pic.png || fail "cat pic.png differs"
"$TOOL" cat one.KVQ other/all.bin > got.bin && cmp -s got.bin src/all.bin || fail "cat all.bin differs"
"$TOOL" cat one.KVQ empty.txt > got.txt && [ ! -s got.txt ] || fail "cat empty.txt not empty"

# unpack: folders made from "\" and "/", contents identical.
"$TOOL" unpack one.KVQ out || fail "unpack exited $?"
cmp -s out/png/sub/pic.png src/png/sub/pic.png || fail "unpacked pic.png differs"
cmp -s out/lua/main.lua src/lua/main.lua || fail "unpacked main.lua differs"
cmp -s out/all.bin src/all.bin || fail "unpacked all.bin differs"
[ -f out/empty.txt ] && [ ! -s out/empty.txt ] || fail "unpacked empty.txt wrong"

# Repacking the unpacked tree gives the same package.
"$TOOL" pack three.KVQ -C out lua/main.lua 'png\sub\pic.png' all.bin empty.txt || fail "repack exited $?"
cmp -s one.KVQ three.KVQ || fail "repacked package differs"

# Every failure exits 1 with a message naming the file.
expect_error() {
    local what=$1 pattern=$2
    shift 2
    "$TOOL" "$@" > /dev/null 2> err.txt
    local rc=$?
    [ $rc -eq 1 ] || fail "$what: exit $rc, expected 1"
    grep -q -- "$pattern" err.txt || fail "$what: message '$(cat err.txt)' does not mention $pattern"
}
expect_error "cat of a missing entry" "nothing.txt" cat one.KVQ nothing.txt
expect_error "list of a missing package" "absent.KVQ" list absent.KVQ
expect_error "list of a file that is no package" "main.lua" list src/lua/main.lua
expect_error "pack of a missing input" "missing.txt" pack bad.KVQ -C src missing.txt
[ ! -e bad.KVQ ] || fail "failed pack left bad.KVQ behind"
expect_error "pack into an unwritable place" "no/such/dir/x.KVQ" pack no/such/dir/x.KVQ -C src all.bin
expect_error "pack without inputs" "usage" pack only.KVQ
expect_error "unknown pack option" "-z" pack x.KVQ -z all.bin
expect_error "cat without a name" "usage" cat one.KVQ

# unpack refuses names that would leave the target folder, and still extracts the rest.
printf 'evil' > evil.txt
"$TOOL" pack evil.KVQ "$SCRATCH/evil.txt" src/all.bin || fail "pack with an absolute name exited $?"
"$TOOL" unpack evil.KVQ jail > /dev/null 2> err.txt
[ $? -eq 1 ] || fail "unpack of an absolute name did not fail"
grep -q "evil.txt" err.txt || fail "unpack did not name the refused entry"
[ -f jail/src/all.bin ] || fail "unpack skipped the safe entry"
[ "$(find jail -type f | wc -l)" -eq 1 ] || fail "unpack wrote outside the expected files"

# --help exits 0 for each command.
for c in pack list cat unpack; do
    "$TOOL" "$c" --help > help.txt || fail "$c --help exited $?"
    grep -q "usage: kvqtool $c" help.txt || fail "$c --help printed no usage"
done

if [ $failures -ne 0 ]; then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "package tool tests passed"
