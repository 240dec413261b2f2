-- Messages from scripts: the accessors' write/read rules, pointers by type, and bad arguments.

local function expect_error(fn, pattern)
    local ok, err = pcall(fn)
    assert(not ok, "expected an error matching " .. pattern)
    assert(string.find(tostring(err), pattern), "unexpected error: " .. tostring(err))
end

-- Each accessor returns what it wrote; after SM_READ each returns what it reads, and reading
-- past the end gives 0.
do
    local m = CKVQMessage.new_local()
    assert(m:getMode() == SM_WRITE and SM_WRITE == 0 and SM_READ == 1)
    assert(m:int(7) == 7)
    assert(m:uint8(200) == 200)
    assert(m:sint8(-3) == -3)
    assert(m:sint16(-30000) == -30000)
    assert(m:uint16(65535) == 65535)
    assert(m:long(-123456) == -123456)
    assert(m:float(0.5) == 0.5)
    assert(m:bool(2) == 2, "bool returns the value given")
    assert(m:uiboolean(2) == 2)
    assert(m:uint32(4294967295) == -1)
    assert(m:string("ab") == "ab")
    assert(m:int() == 0, "a write without a value writes 0")
    m:setMode(SM_READ)
    assert(m:getMode() == SM_READ)
    assert(m:int() == 7)
    assert(m:uint8(99) == 200, "read mode ignores the argument")
    assert(m:sint8() == -3)
    assert(m:sint16() == -30000)
    assert(m:uint16() == 65535)
    assert(m:long() == -123456)
    assert(m:float() == 0.5)
    assert(m:bool() == 0, "bool(2) wrote 0")
    assert(m:uiboolean() == 0, "uiboolean(2) wrote 2, which reads back as 0")
    assert(m:uint32() == -1)
    assert(m:string() == "ab")
    assert(m:int() == 0)
    assert(m:int() == 0 and m:string() == "" and m:float() == 0, "past the end")
end

-- Values are truncated and cut to the accessor's width; booleans count as 1 and 0.
do
    local m = CKVQMessage:new_local()
    assert(m:uint8(300) == 44)
    assert(m:int(3.9) == 3 and m:int(-3.9) == -3)
    assert(m:bool(true) == 1 and m:uiboolean(false) == 0)
    assert(m:int(1e300) == 0, "no low bits beyond the int64 range")
    m:setMode(SM_READ)
    assert(m:uint8() == 44 and m:int() == 3 and m:int() == -3 and m:bool() == 1 and m:uiboolean() == 0)
end

-- Data number, system word and remembered positions.
do
    local m = CKVQMessage.new()
    m:setData(-5)
    assert(m:getData() == -5 and m:getSystemData() == 0)
    m:PushAddress()
    m:ResetAddress()
end

-- Ptr writes a typed pointer; reading it back under another type, or after the object is gone,
-- gives nil.
do
    local w = CKVQWindow.new()
    local m = CKVQMessage:new_local()
    assert(m:Ptr("CKVQWindow", w) == w)
    assert(m:Ptr("CKVQWindow") == nil, "a nil object writes a null pointer")
    m:setMode(SM_READ)
    assert(m:Ptr("CKVQWindow") == w)
    assert(m:Ptr("CKVQWindow") == nil)
    m:setMode(SM_READ)
    assert(m:Ptr("CKVQMessage") == nil, "a pointer read under another type")
    expect_error(function() m:setMode(SM_WRITE); m:Ptr("CKVQMessage", w) end, "CKVQMessage")
    expect_error(function() m:Ptr("NoSuchClass", w) end, "NoSuchClass")

    -- A message the collector frees takes its pointer tokens along.
    local carried = CKVQMessage:new_local()
    local holder = CKVQMessage:new_local()
    holder:Ptr("CKVQMessage", carried)
    carried = nil
    collectgarbage("collect")
    holder:setMode(SM_READ)
    assert(holder:Ptr("CKVQMessage") == nil)
    w:Delete()
end

-- Bad arguments and a nil self are script errors.
do
    local m = CKVQMessage:new_local()
    expect_error(function() m:int("x") end, "number")
    expect_error(function() m:string({}) end, "string")
    expect_error(function() m.int(nil, 1) end, "self")
    expect_error(function() m.string(5) end, "CKVQMessage")
    expect_error(function() m:Ptr() end, "type name")
    m:setMode(SM_READ)
    assert(m:int("ignored") == 0, "read mode ignores even a bad argument")
end

-- A pointer token written for a message that has been destroyed since resolves to nothing, even
-- when the message died with its window rather than by the collector.
do
    local w = CKVQWindow.new()
    w:SetExtraData("k", CKVQMessage:new_local())
    local h = CKVQMessage:new_local()
    assert(h:Ptr("CKVQMessage", w:GetExtraData("k")) ~= nil)
    w:Delete()
    ReleaseDeletedWindows()
    h:setMode(SM_READ)
    assert(h:Ptr("CKVQMessage") == nil, "the token of a destroyed message")
end

-- Numbers beyond any integer are converted by the script rules, never by an undefined cast.
do
    local m = CKVQMessage:new_local()
    for _, v in ipairs({ 0 / 0, 1e300, -1e300, 1 / 0, -1 }) do
        m:setData(v)
        m:setMode(v)
    end
    m:setData(1e300)
    assert(m:getData() == 2147483647)
    m:setData(0 / 0)
    assert(m:getData() == 0)
end

print("message_test: ok")
