-- Keyed hashing from scripts: the digest constants, known vectors, key and data taken with their
-- exact lengths (zero bytes included, never past the text), and one Update per object.

KVQDoFile("support.lua")

assert(eSHA224 == 0 and eSHA384 == 1 and eSHA256 == 2 and eSHA512 == 3)

local jefe = "what do ya want for nothing?"
local cases = {
    {eSHA256, "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
    {eSHA224, "a30e01098bc6dbbf45690f3a7e9e6d0f8bbea2a39e6148008fd05e44"},
}
for _, case in ipairs(cases) do
    for _, make in ipairs({CKVQHMAC.new, CKVQHMAC.new_local}) do
        local mac = make(CKVQHMAC, "Jefe", 4, case[1])
        expect_eq(mac:HexDigest(), "", "digest before Update")
        expect_eq(mac:Update(jefe, #jefe), true, "Update")
        expect_eq(mac:HexDigest(), case[2], "kind " .. case[1])
    end
end
local dotted = CKVQHMAC.new_local("Jefe", 4, eSHA256)
dotted:Update(jefe, #jefe)
expect_eq(dotted:HexDigest(), cases[1][2], "new_local with the dot")

-- Zero bytes count; a length beyond the text, a second Update and an unknown kind all fail.
local a = CKVQHMAC:new_local("k\0x", 3, eSHA256)
local b = CKVQHMAC:new_local("k", 1, eSHA256)
a:Update("m\0n", 3)
b:Update("m\0n", 3)
assert(a:HexDigest() ~= b:HexDigest() and #a:HexDigest() == 64)
expect_eq(CKVQHMAC:new_local("k", 50, eSHA256):Update("m", 1), false, "key length beyond the key")
expect_eq(CKVQHMAC:new_local("k", 1, eSHA256):Update("m", 50), false, "data length beyond the data")
expect_eq(a:Update("m", 1), false, "second Update")
expect_eq(CKVQHMAC:new_local("k", 1, 9):Update("m", 1), false, "unknown kind")
expect_eq(CKVQHMAC:new_local(nil, 0, eSHA256):Update(nil, 0), true, "empty key and data")
print("hmac: ok")
