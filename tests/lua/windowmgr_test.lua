-- The window manager from scripts: the singleton reached with the dot or the colon, layouts loaded
-- and saved, bookings and broadcasts, and nil arguments tolerated.

KVQDoFile("support.lua")

local function read_all(path)
    local f = assert(io.open(path, "rb"))
    local bytes = f:read("*a")
    f:close()
    return bytes
end

local function write_all(path, bytes)
    local f = assert(io.open(path, "wb"))
    f:write(bytes)
    f:close()
end

local mgr = CKVQWindowMgr.Instance()
assert(mgr ~= nil)
assert(rawequal(mgr, CKVQWindowMgr:Instance()), "one singleton, dot or colon")
assert(rawequal(mgr, mgr:Instance()))

-- A layout file is one window block: a window list of one window without its count.
local layout = os.tmpname()
do
    local holder = CKVQWindow.new()
    local main = CKVQWindow.new()
    main:SetName("main")
    holder:AddChild(main)
    local a = CKVQWindow.new()
    a:SetName("a")
    main:AddChild(a)
    local list = os.tmpname()
    assert(holder:SaveChildsToFile(list))
    write_all(layout, string.sub(read_all(list), 5))
    os.remove(list)
    holder:Delete()
end

-- Load makes the file's window the root; Save writes it back byte for byte.
do
    expect_eq(mgr:Load(layout), true, "Load")
    local root = mgr:GetRoot()
    assert(root ~= nil)
    expect_eq(root:GetName(), "main", "root name")
    expect_eq(root:GetChild("a"):GetName(), "a", "child name")
    assert(rawequal(CKVQWindowMgr.GetRoot(), root), "the same userdata from the class")

    local saved = os.tmpname()
    expect_eq(mgr:Save(saved), true, "Save")
    expect_eq(read_all(saved), read_all(layout), "saved bytes")
    os.remove(saved)

    -- Loading again replaces the root; the old one is deleted.
    expect_eq(CKVQWindowMgr.Load(layout), true, "Load on the class")
    assert(not rawequal(mgr:GetRoot(), root))
    mgr:RevisePosInfo(layout)
    mgr:RevisePosInfo(nil)
end

-- A missing layout leaves no root, and nothing to save.
do
    expect_eq(mgr:Load("no_such_layout.bin"), false, "Load of a missing file")
    expect_eq(mgr:GetRoot(), nil, "root after a failed Load")
    local target = os.tmpname()
    write_all(target, "keep")
    expect_eq(mgr:Save(target), false, "Save without a root")
    expect_eq(read_all(target), "keep", "file untouched")
    os.remove(target)
    expect_eq(mgr:Load(nil), false, "Load(nil)")
    expect_eq(mgr:Save(nil), false, "Save(nil)")
end
os.remove(layout)

-- Bookings: 1 when added, 0 when already there; unbooking always answers 0; a broadcast rewinds
-- the message for each receiver.
do
    local w = CKVQWindow.new()
    expect_eq(mgr:BookMessage("OnAutoScale", w), 1, "first booking")
    expect_eq(mgr:BookMessage("OnAutoScale", w), 0, "second booking")
    expect_eq(CKVQWindowMgr.BookMessage("OnScriptTest", w), 1, "booking on the class")
    expect_eq(mgr:UnBookMessage("OnAutoScale", w), 0, "unbooking")
    expect_eq(mgr:BookMessage("OnAutoScale", w), 1, "booked again after unbooking")

    local m = CKVQMessage.new_local()
    m:int(42)
    expect_eq(m:getMode(), SM_WRITE, "mode before")
    mgr:ProcessMessage("OnScriptTest", m, w)
    expect_eq(m:getMode(), SM_READ, "a receiver set read mode")
    expect_eq(m:int(), 42, "rewound")

    -- nil and wrong-kind arguments do nothing.
    expect_eq(mgr:BookMessage(nil, w), 0, "nil name")
    expect_eq(mgr:BookMessage("OnAutoScale", nil), 0, "nil window")
    expect_eq(mgr:BookMessage("OnAutoScale", 5), 0, "number as window")
    expect_eq(mgr:UnBookMessage(nil, nil), 0, "nil unbooking")
    mgr:ProcessMessage("OnScriptTest", nil, nil)
    mgr:ProcessMessage(nil, m, w)

    -- A deleted receiver is skipped.
    w:Delete()
    ReleaseDeletedWindows()
    local n = CKVQMessage.new_local()
    mgr:ProcessMessage("OnScriptTest", n, nil)
    expect_eq(n:getMode(), SM_READ, "the stale booking still rewinds")
end

print("windowmgr_test: ok")
