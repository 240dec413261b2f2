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

# A failed pack never changes the user's files: an output that is one of the inputs (by any
# path) is refused, and an output that cannot be replaced is left as it was.
printf 'precious' > self.bin
expect_error "pack into its own input" "self.bin" pack self.bin self.bin
[ "$(cat self.bin)" = "precious" ] || fail "pack into its own input changed it"
expect_error "pack into its own input by another path" "output package" pack src/../self.bin self.bin
[ "$(cat self.bin)" = "precious" ] || fail "pack into its own input (other path) changed it"
mkdir -p folder.KVQ
expect_error "pack onto a folder" "folder.KVQ" pack folder.KVQ -C src all.bin
[ -d folder.KVQ ] || fail "failed pack removed the folder at its output"
cp one.KVQ keep.KVQ
"$TOOL" pack keep.KVQ -C src all.bin || fail "pack over an existing package exited $?"
[ "$("$TOOL" list keep.KVQ)" = "$(printf 'all.bin\t16\t256')" ] || fail "pack did not replace the old package"
ls ./*.tmp* > /dev/null 2>&1 && fail "pack left a temporary file: $(ls ./*.tmp*)"

# A package whose directory promises more data than the file holds: the damaged entry is
# flagged by list, refused by cat, and not extracted by unpack; sound entries still work.
le32() {
    local v=$1 i
    for i in 0 8 16 24; do printf "\\x$(printf %02x $(((v >> i) & 255)))"; done
}
{
    printf '.map\x01\x00'; le32 18; le32 2; printf '\x00\x00'
    printf 'xy'  # "hi" scrambled with key 16
    le32 7; le32 7; printf 'ok.txt\x00'; le32 16; le32 2
    le32 8; le32 8; printf 'big.bin\x00'; le32 16; le32 100
} > damaged.KVQ
"$TOOL" list damaged.KVQ > list.txt 2> err.txt
[ $? -eq 1 ] || fail "list of a damaged package did not exit 1"
expected=$(printf 'ok.txt\t16\t2\nbig.bin\t16\t100\tdamaged: 49 bytes present')
[ "$(cat list.txt)" = "$expected" ] || fail "list of a damaged package printed: $(cat list.txt)"
grep -q "damaged.KVQ.*big.bin" err.txt || fail "list did not name the damaged entry: $(cat err.txt)"
[ "$("$TOOL" cat damaged.KVQ ok.txt)" = "hi" ] || fail "cat of a sound entry in a damaged package"
"$TOOL" cat damaged.KVQ big.bin > got.txt 2> err.txt
[ $? -eq 1 ] || fail "cat of a damaged entry did not exit 1"
[ ! -s got.txt ] || fail "cat of a damaged entry wrote data"
grep -q "damaged.KVQ.*big.bin" err.txt || fail "cat did not name the damaged entry: $(cat err.txt)"
"$TOOL" unpack damaged.KVQ dmg > /dev/null 2> err.txt
[ $? -eq 1 ] || fail "unpack of a damaged package did not exit 1"
grep -q "damaged.KVQ.*big.bin" err.txt || fail "unpack did not name the damaged entry: $(cat err.txt)"
[ "$(cat dmg/ok.txt 2> /dev/null)" = "hi" ] || fail "unpack skipped the sound entry"
[ ! -e dmg/big.bin ] || fail "unpack extracted the damaged entry"

# --root must name an existing folder.
expect_error "--root of a missing folder" "no/such/root" --root no/such/root list one.KVQ
expect_error "--root of a file" "self.bin" --root self.bin list one.KVQ
"$TOOL" --root src list one.KVQ > /dev/null || fail "--root of a folder exited $?"

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
