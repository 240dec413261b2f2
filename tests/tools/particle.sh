#!/usr/bin/env bash
# kvqtool particle dump / build: ".psi" files as JSON and back, byte for byte (the bytes the
# engine does not read and floats JSON has no number for included); edits reach the file; clear
# failures. The layout tools know the "Particle" class.
# Usage: particle.sh KVQTOOL KVQGAME SOURCE_DIR SCRATCH_DIR
set -u
TOOL=$1
SOURCE=$3
SCRATCH=$4
SEEDS=$SOURCE/fuzz/corpus/psi_fuzz
rm -rf "$SCRATCH"
mkdir -p "$SCRATCH"
cd "$SCRATCH" || exit 1

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

for name in fountain.psi unread_bytes_set.psi; do
    "$TOOL" particle dump "$SEEDS/$name" > "$name.json" 2> err.txt || fail "dump $name exited $?: $(cat err.txt)"
    "$TOOL" particle build "$name.json" "$name.bin" 2> err.txt || fail "build $name exited $?: $(cat err.txt)"
    cmp -s "$SEEDS/$name" "$name.bin" || fail "$name does not come back byte for byte"
done
# The fuzz seeds carry a steering byte after the 128 of the file.
head -c 128 "$SEEDS/non_finite.psi" > non_finite.psi
"$TOOL" particle dump non_finite.psi > non_finite.json || fail "dump of non-finite floats exited $?"
"$TOOL" particle build non_finite.json non_finite.bin || fail "build of non-finite floats exited $?"
cmp -s non_finite.psi non_finite.bin || fail "non-finite floats do not come back byte for byte"
grep -q '"fParticleLifeMin": "0xff800000"' non_finite.json || fail "an infinity is not written as its bits"

json=unread_bytes_set.psi.json
grep -q '"spriteSlot": 3735928559' $json || fail "the sprite slot is not kept"
grep -q '"bRelative": true' $json || fail "bRelative is not a switch"
python3 - "$json" <<'PY' || fail "the JSON does not name the fields in file order with nested colours"
import json, sys
d = json.load(open(sys.argv[1]))
keys = list(d)
assert keys[:9] == ["spriteSlot", "nEmission", "fLifetime", "fParticleLifeMin", "fParticleLifeMax",
                    "fDirection", "fSpread", "bRelative", "padding"], keys
assert keys[-4:] == ["colorStart", "colorEnd", "fColorVar", "fAlphaVar"], keys
assert d["padding"] == [171, 205, 239] and d["fParticleLifeMin"] == 0.3 and d["nEmission"] == 40
assert d["colorStart"] == {"red": 1, "green": 0.5, "blue": 0.25, "alpha": 1}, d["colorStart"]
PY

# Edits reach the file; left-out fields are those of a new emitter.
sed 's/"nEmission": 40/"nEmission": 75/' $json > edited.json
"$TOOL" particle build edited.json edited.psi || fail "build of the edited JSON exited $?"
"$TOOL" particle dump edited.psi | grep -q '"nEmission": 75' || fail "the edited number is not read back"
printf '{"nEmission": 5, "colorEnd": {"alpha": 0.5}}' > few.json
"$TOOL" particle build few.json few.psi || fail "a JSON of a few fields exited $?"
[ "$(stat -c %s few.psi)" = 128 ] || fail "a particle file is not 128 bytes"
"$TOOL" particle dump few.psi | grep -q '"fLifetime": 0' || fail "a left-out field is not 0"

# Failures exit 1 and say where.
expect_error() {
    local what=$1 pattern=$2
    shift 2
    "$TOOL" "$@" > /dev/null 2> err.txt
    local rc=$?
    [ $rc -eq 1 ] || fail "$what: exit $rc, expected 1"
    grep -q -- "$pattern" err.txt || fail "$what: message '$(cat err.txt)' does not mention $pattern"
}
expect_error "short file" "short.psi: 100 bytes; a particle file holds 128" particle dump "$SEEDS/short.psi"
expect_error "long file" "negative.psi: 129 bytes" particle dump "$SEEDS/negative.psi"
expect_error "missing input" "absent.psi: cannot be read" particle dump absent.psi
printf '{"nEmission": ' > broken.json
expect_error "broken JSON" "broken.json: not JSON" particle build broken.json out.psi
printf '[1]' > array.json
expect_error "JSON of another shape" "array.json: /: expected an object" particle build array.json out.psi
printf '{"nEmision": 3}' > typo.json
expect_error "unknown field" "typo.json: /nEmision: unknown field" particle build typo.json out.psi
printf '{"nEmission": 2147483648}' > range.json
expect_error "out-of-range number" "/nEmission: expected a 32-bit integer" particle build range.json out.psi
printf '{"padding": [1, 2]}' > padding.json
expect_error "short padding" "/padding: expected an array of 3 bytes" particle build padding.json out.psi
printf '{"colorStart": {"red": 1, "grey": 2}}' > colour.json
expect_error "unknown channel" "/colorStart/grey: unknown field" particle build colour.json out.psi
printf '{"fSpread": 1e39}' > huge.json
expect_error "float out of range" "/fSpread: expected a number" particle build huge.json out.psi
[ -e out.psi ] && fail "a failed build wrote its output"
expect_error "no arguments" "usage" particle

# The layout tools cover the class through its record and attributes.
cat > layout.json <<'JSON'
{"window": {"name": "fx", "RenderLst": [
  {"class": "Particle", "object": {"psiFile": "fx/spark.psi", "IsMoveParticle": false,
   "Info": {"nEmission": 25, "fLifetime": -1, "bRelative": true, "colorStart.red": 0.5},
   "Sprite": {"file": "spark.png"}}}]}}
JSON
"$TOOL" layout build layout.json layout.ui 2> err.txt || fail "layout build exited $?: $(cat err.txt)"
"$TOOL" layout dump layout.ui > full.json || fail "layout dump exited $?"
"$TOOL" layout build full.json again.ui 2> err.txt || fail "build of the dump: $(cat err.txt)"
cmp -s layout.ui again.ui || fail "a Particle layout does not come back byte for byte"
grep -q '"nEmission": 25' full.json || fail "the dump lacks the Info block's nEmission"
"$TOOL" attrs Particle > attrs.txt || fail "attrs Particle exited $?"
for name in Particle:psiFile Particle:Info:colorStart:red Particle:fUpdSpeed Particle:Sprite:file; do
    grep -q "^$name" attrs.txt || fail "attrs Particle lacks $name"
done

[ $failures -eq 0 ] || exit 1
echo "particle: all checks passed"
