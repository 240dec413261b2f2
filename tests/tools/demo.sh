#!/usr/bin/env bash
# The bundled demo, assembled by the build, run headless with the software device: a replay hovers
# and clicks the play button; the script's printed lines, the repeatability of the frame and the
# frame itself (against the committed golden image, pixel for pixel) are checked.
# Usage: bash demo.sh KVQTOOL KVQGAME SOURCE_DIR SCRATCH_DIR
# With KVQ_UPDATE_GOLDEN=1 the frame becomes the new golden image instead (after a look at it).
set -u
game="$2"; source="$3"; scratch="$4"
rm -rf "$scratch"; mkdir -p "$scratch"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

built="$(dirname "$game")/../games/demo"
golden="$source/games/demo/golden/software.png"
replay="$source/games/demo/golden/replay.txt"
ticks=75
if [ ! -f "$built/ui/main.ui" ] || [ ! -f "$built/png.set/demo.png.set" ]; then
    echo "FAIL: the assembled demo is missing at $built (build the demo_game target)"
    exit 1
fi

# Each run gets its own copy: a run may write logs and notes into its game folder.
run() {
    local n=$1
    cp -R "$built" "$scratch/game$n"
    "$game" --root "$scratch/game$n" --headless --device software --ticks $ticks \
        --replay "$replay" --screenshot "$scratch/shot$n.png" >"$scratch/out$n.txt" 2>"$scratch/err$n.txt"
}
run 1; rc=$?
[ $rc -eq 0 ] || fail "first run exits $rc: $(tail -5 "$scratch/err1.txt")"
run 2; rc=$?
[ $rc -eq 0 ] || fail "second run exits $rc: $(tail -5 "$scratch/err2.txt")"

# The script's lines, in the order the input makes them.
lines="$(grep '^demo: ' "$scratch/out1.txt")"
expected="demo: ready
demo: hover play
demo: clicked play (1)
demo: leave play"
[ "$lines" = "$expected" ] || fail "the script printed:
$lines
expected:
$expected"
grep -qi "error" "$scratch/err1.txt" && fail "the run reported an error: $(grep -i error "$scratch/err1.txt" | head -3)"

[ -s "$scratch/shot1.png" ] || fail "no screenshot written"
cmp -s "$scratch/shot1.png" "$scratch/shot2.png" || fail "two runs of the same replay drew different frames"

if [ "${KVQ_UPDATE_GOLDEN:-0}" = 1 ]; then
    cp "$scratch/shot1.png" "$golden" && echo "golden image written: $golden"
elif [ -s "$scratch/shot1.png" ]; then
    # Pixels, not bytes: the PNG encoder may change without the frame changing.
    python3 - "$scratch/shot1.png" "$golden" <<'PY' || fail "the frame differs from $golden"
import struct, sys, zlib

def pixels(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    channels = {2: 3, 6: 4}.get(colour)
    if depth != 8 or channels is None or interlace != 0:
        sys.exit(f"{path}: only 8-bit RGB or RGBA, not interlaced")
    raw, stride, rows, prev = zlib.decompress(idat), width * channels, [], bytearray(width * channels)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b, c = prev[i], prev[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line) if channels == 4 else
                    b"".join(bytes(line[i:i + 3]) + b"\xff" for i in range(0, stride, 3)))
        prev = line
    return width, height, rows

w1, h1, a = pixels(sys.argv[1])
w2, h2, b = pixels(sys.argv[2])
if (w1, h1) != (w2, h2):
    sys.exit(f"frame is {w1}x{h1}, golden {w2}x{h2}")
wrong = [(x // 4, y) for y in range(h1) for x in range(0, w1 * 4, 4) if a[y][x:x + 4] != b[y][x:x + 4]]
if wrong:
    sys.exit(f"{len(wrong)} pixels differ, first at {wrong[0]}")
PY
fi

if [ $failures -ne 0 ]; then echo "$failures failure(s)"; exit 1; fi
echo "demo: all checks passed"
