-- Windows from scripts: one userdata per window, the tree, geometry filled into objects passed
-- in, the window array, events that reach script functions, and windows deleted under a script.

local function expect_error(fn, pattern)
    local ok, err = pcall(fn)
    assert(not ok, "expected an error matching " .. pattern)
    assert(string.find(tostring(err), pattern), "unexpected error: " .. tostring(err))
end

-- The same window always reaches a script as the same userdata.
do
    local root = CKVQWindow.new()
    local child = CKVQWindow:new()
    root:AddChild(child)
    assert(rawequal(CKVQWindow.FromHandle(root:GetWindowHandle()), root))
    assert(rawequal(child:GetParent(), root))
    assert(rawequal(root:GetFirstChild(), child) and rawequal(root:GetChildByIndex(0), child))
    local seen = {}
    seen[child] = true
    assert(seen[root:GetLastChild()], "a window works as a table key")
    assert(root ~= child and root == root)
    root:Delete()
end

-- Tree navigation by name and path.
do
    local root = CKVQWindow.new()
    local a, b = CKVQWindow.new(), CKVQWindow.new()
    a:SetName("a")
    b:SetName("b")
    root:AddChild(a)
    a:AddChild(b)
    assert(root:GetChildCount() == 1 and a:GetChildIndex() == 0 and root:GetChildIndex() == -1)
    assert(root:GetChild("a") == a and root:GetKVQWindow("a:b") == b)
    assert(root:GetChild("b") == nil and root:GetKVQWindow("a:c") == nil)
    assert(root:GetChildByIndex(1) == nil)
    assert(root:IsChild(a) and not root:IsChild(b) and b:GetRoot() == root and b:GetDepth() == 2)
    b:SetClassName("Item")
    assert(b:GetClassName() == "Item" and b:GetName() == "b")
    root:Delete()
end

-- Geometry is written into the rectangle or point passed in.
do
    local root = CKVQWindow.new()
    local r = KVQRect:new_local()
    root:GetFrame(r)
    assert(r.left == 20 and r.right == 70 and r.top == 20 and r.bottom == 70, "a fresh window")
    local child = CKVQWindow.new()
    root:AddChild(child)
    local p = KVQPoint:new_local()
    p.x, p.y = 5, 6
    child:SetPos(p)
    local q = KVQPoint:new_local()
    child:GetPos(q)
    assert(q.x == 5 and q.y == 6)
    child:GetScreenPos(q)
    assert(q.x == 25 and q.y == 26)
    local screen, local_ = KVQPoint:new_local(), KVQPoint:new_local()
    screen.x, screen.y = 30, 40
    child:ScreenToWindowPos(screen, local_)
    assert(local_.x == 5 and local_.y == 14)
    child:GetRect(r)
    assert(r.left == 25 and r.top == 26 and r.right == 75 and r.bottom == 76)
    root:GetVisualFrame(r)
    assert(r.left == 20 and r.right == 75 and r.bottom == 76, "the visual frame takes in the child")
    assert(root:HitTest(72, 72) == child and root:HitTest(21, 21) == root and root:HitTest(500, 500) == nil)
    child:SetWidth(10)
    assert(child:GetWidth() == 10)
    -- A nil object to fill is ignored; an object of another class is a script error.
    root:GetFrame(nil)
    child:GetPos(nil)
    expect_error(function() root:GetFrame(p) end, "KVQRect")
    local before = KVQPoint:new_local()
    child:GetPos(before)
    child:SetPos(nil)
    local after = KVQPoint:new_local()
    child:GetPos(after)
    assert(after.x == before.x and after.y == before.y, "a nil position is ignored")
    expect_error(function() child:SetPos(root) end, "SetPos")
    root:Delete()
end

-- The window array: get at or past the end gives no value; erase keeps order on request.
do
    local list = WndArray.new_local()
    local w = {}
    for i = 1, 3 do
        w[i] = CKVQWindow.new()
        list:push(w[i])
    end
    assert(list:size() == 3 and list:get(0) == w[1])
    assert(select("#", list:get(3)) == 0 and select("#", list:get(-1)) == 0)
    list:erase(0, true)
    assert(list:get(0) == w[2] and list:get(1) == w[3])
    list:set(1, nil)
    assert(list:get(1) == nil and select("#", list:get(1)) == 1)
    list:zero_size()
    assert(list:size() == 0)
    expect_error(function() list:get("x") end, "number")

    -- Windows gathered by the engine: the closest sibling first.
    local parent = CKVQWindow.new()
    for i = 1, 3 do
        parent:AddChild(w[i])
        local at = KVQPoint:new_local()
        at.x, at.y = i * 10, 0
        w[i]:SetPos(at)
    end
    w[1]:GetCloseSiblings("", 100, list)
    assert(list:size() == 2 and list:get(0) == w[2])

    local gone = WndArray:new()
    gone:delete()
    expect_error(function() gone:size() end, "self")
    parent:Delete()
end

-- Events reach script functions: the delete notification, and bookings between windows.
do
    local deleted = {}
    function OnSystemNotify(event, data)
        if event == "OnWindowDelete" then
            deleted[#deleted + 1] = tonumber(data)
        end
    end
    KVQAPI_HookSystemNotify("OnSystemNotify")
    local source, target = CKVQWindow.new(), CKVQWindow.new()
    local handle = source:GetWindowHandle()
    target:BookMsg("OnMove", "OnSourceMoved", source)
    target:BookMsg("OnMove", "OnSourceMoved", nil)
    local m = CKVQMessage:new_local()
    m:int(1)
    source:ProcMessage("OnMove", m, nil)
    source:Delete()
    assert(#deleted == 1 and deleted[1] == handle, "the hook saw the deletion")
    KVQAPI_HookSystemNotify("")
    target:Delete()
end

-- A window deleted while a script holds it: harmless until the release, then a script error.
do
    local w = CKVQWindow.new()
    local list = WndArray:new_local()
    list:push(w)
    local extra = CKVQMessage:new_local()
    extra:int(9)
    w:SetExtraData("k", extra)
    w:Delete()
    assert(w:IsDeleted() and CKVQWindow.FromHandle(w:GetWindowHandle()) == nil)
    w:SetName("still harmless")
    w:AddChild(nil)
    -- The frame-boundary release (kvqtool's test aid stands in for the tick): from then on the
    -- script's object is empty and every call through it is a script error.
    ReleaseDeletedWindows()
    expect_error(function() w:GetName() end, "self")
    assert(list:get(0) == nil, "a released window leaves the array's reach")
end

-- Status bits, states and the constants.
do
    assert(STATUS_IsVisible == 0 and STATUS_IsNotSerialChild == 17 and STATUS_UserBitStart == 24)
    assert(ALIGNED_HCENTER == 2 and ALIGNED_VCENTER == 2 and SIDE_BOTTOM == 3)
    local w = CKVQWindow.new()
    w:SetBit(STATUS_UserBitStart)
    assert(w:IsBitSet(24) and not w:IsBitSet(40))
    w:DelBit(24)
    assert(not w:IsBitSet(24))
    w:SetState(3, 0)
    assert(w:GetState() == 3 and w:GetOldState() == 255)
    w:Hide()
    assert(not w:IsVisible())
    w:Delete()
end

-- Render objects: nothing attached, so lookups answer nil; nil arguments are harmless.
do
    local w = CKVQWindow.new()
    assert(w:GetRender("none") == nil and w:GetRender("State0:none") == nil)
    w:AddRender(nil)
    w:DelRender(nil)
    assert(w:GetExtraData("none") == nil)
    assert(w:GetAttribute(w:GetAttributeNameRef("CKVQWindow:Attribute:name")) == "")
    w:Delete()
end

-- Bad self and bad arguments are script errors, never crashes.
do
    local w = CKVQWindow.new()
    expect_error(function() w.GetName(nil) end, "self")
    expect_error(function() w.GetName(5) end, "CKVQWindow")
    expect_error(function() w:SetWidth("wide") end, "number")
    expect_error(function() w:AddChild({}) end, "CKVQWindow")
    assert(KVQDoFile(nil) == false and KVQDoFile("no_such_file.lua") == false)
    w:Delete()
end

-- A delete hook that keeps adding children to the window being deleted cannot keep the deletion
-- going: nothing joins a window (or a subtree) while it is being deleted.
do
    local p = CKVQWindow.new()
    p:AddChild(CKVQWindow.new())
    local calls, refused = 0, {}
    function GrowOnDelete()
        calls = calls + 1
        if calls > 50 then KVQAPI_HookSystemNotify("") return end
        local extra = CKVQWindow.new()
        refused[#refused + 1] = extra
        p:AddChild(extra)
        p:GetFirstChild() -- also into the subtree of a window being deleted
    end
    KVQAPI_HookSystemNotify("GrowOnDelete")
    p:Delete()
    KVQAPI_HookSystemNotify("")
    assert(calls == 2, "one notification for p and one for its child, got " .. calls)
    assert(p:IsDeleted())
    for _, extra in ipairs(refused) do
        assert(extra:GetParent() == nil, "refused while its parent was being deleted")
        extra:Delete()
    end

    -- Into a child of the window being deleted, or a window being deleted as the child.
    local top, inner = CKVQWindow.new(), CKVQWindow.new()
    top:AddChild(inner)
    local loose = CKVQWindow.new()
    function AddUnderDeletion()
        if inner:IsDeleted() then return end
        inner:AddChild(CKVQWindow.new())
        loose:AddChild(top)
    end
    KVQAPI_HookSystemNotify("AddUnderDeletion")
    top:Delete()
    KVQAPI_HookSystemNotify("")
    assert(loose:GetChildCount() == 0)
    loose:Delete()
    ReleaseDeletedWindows()
end

-- An array entry whose window was released reads as nil, never as the window that took over the
-- released one's memory.
do
    local list = WndArray:new_local()
    local a = CKVQWindow.new()
    list:push(a)
    list:push(nil)
    a:Delete()
    ReleaseDeletedWindows()
    local b = CKVQWindow.new()
    assert(list:get(0) == nil, "a released window is not its successor")
    assert(list:get(1) == nil and list:get(2) == nil)
    list:set(1, b)
    list:erase(0, true)
    assert(list:size() == 1 and list:get(0) == b, "entries keep their windows through erase")
    list:zero_size()
    list:push(b)
    assert(list:get(0) == b)
    b:Delete()
    ReleaseDeletedWindows()
    assert(list:get(0) == nil)

    -- Entries the engine fills in are checked the same way.
    local parent = CKVQWindow.new()
    local w = {}
    for i = 1, 3 do
        w[i] = CKVQWindow.new()
        parent:AddChild(w[i])
        local at = KVQPoint:new_local()
        at.x, at.y = i * 10, 0
        w[i]:SetPos(at)
    end
    local close = WndArray:new_local()
    w[1]:GetCloseSiblings("", 100, close)
    assert(close:size() == 2 and close:get(0) == w[2] and close:get(1) == w[3])
    w[2]:Delete()
    ReleaseDeletedWindows()
    local successor = CKVQWindow.new()
    assert(close:get(0) == nil and close:get(1) == w[3])
    successor:Delete()
    parent:Delete()
    ReleaseDeletedWindows()
end

-- Emptied objects handed as arguments: the member does nothing.
do
    local parent, w, sibling = CKVQWindow.new(), CKVQWindow.new(), CKVQWindow.new()
    parent:AddChild(w)
    parent:AddChild(sibling)
    local gone = WndArray:new()
    gone:delete()
    w:GetCloseSiblings("", 1000, gone)
    w:LoadChildsFromFile("no_such_file", gone)

    local owner = CKVQWindow.new()
    owner:SetExtraData("k", CKVQMessage:new_local())
    local emptied = owner:GetExtraData("k")
    owner:Delete()
    ReleaseDeletedWindows()
    w:SetExtraData("x", emptied)
    assert(w:GetExtraData("x") == nil)
    parent:Delete()
end

-- Numbers no integer holds (NaN, huge, negative for unsigned) are converted by the script rules.
do
    local w = CKVQWindow.new()
    for _, v in ipairs({ 0 / 0, 1e300, -1e300, 1 / 0, -1, 4294967296.5 }) do
        w:SetHeight(v)
        w:SetWidth(v)
        w:SetBit(v)
        w:DelBit(v)
        w:IsBitSet(v)
        w:SetExtX(v)
        w:SetExtY(v)
        w:SetExtW(v)
        w:SetExtH(v)
        w:SetState(v, v)
        w:SetSideAligned(v, v)
        w:SetAligned(v, v)
        w:SetClipOffset(v, v, v, v)
        w:HideChildren(v)
        w:SetSelected(v)
        w:GetAttribute(v)
        w:GetAddress(v)
        w:GetChildByIndex(v)
        w:HitTest(v, v)
        w:HitTest0(v, v)
        w:SetMask(v, v, v, v)
        w:SetAddData(v)
        assert(CKVQWindow.FromHandle(v) == nil)
        WndArray:new_local():get(v)
    end
    w:SetAddData(-1)
    assert(w:GetAddData() == 4294967295)
    w:SetAddData(0 / 0)
    assert(w:GetAddData() == 0)
    w:Delete()
end

print("window_test: ok")
