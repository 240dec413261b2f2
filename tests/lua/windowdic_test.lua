-- Window class dictionaries from scripts. data/dic_items.wnd holds three templates made by the
-- engine: Button1 (width 10), Label2 (width 20) and Button3 (width 30), each with a child "inner".

local function expect_error(fn, pattern)
    local ok, err = pcall(fn)
    assert(not ok, "expected an error matching " .. pattern)
    assert(string.find(tostring(err), pattern), "unexpected error: " .. tostring(err))
end

local kFile = "data/dic_items.wnd"

-- Loading indexes the templates by class name; of two with one class, the first is cloned.
do
    local dic = CKVQWindowDic.new_local()
    assert(dic:GetName() == "")
    assert(not dic:Load("data/no_such.wnd"))
    assert(dic:Load(kFile) and dic:GetName() == kFile)
    local a, b = dic:CloneClass("Button"), dic:CloneClass("Button")
    assert(a and b and a ~= b and a:GetWindowHandle() ~= b:GetWindowHandle())
    assert(a:GetName() == "Button1" and a:GetWidth() == 10 and a:GetParent() == nil)
    assert(a:GetChild("inner") ~= nil, "a deep copy")
    assert(dic:CloneClass("Label"):GetName() == "Label2")
    assert(dic:CloneClass("Missing") == nil and dic:CloneClass(nil) == nil)
    dic:Zoom(2)
    assert(dic:CloneClass("Label"):GetWidth() == 40)
    a:Delete()
    b:Delete()
end

-- A dictionary saved and loaded again has the same templates in the same order.
do
    local dic = CKVQWindowDic:new_local()
    assert(dic:Load(kFile))
    local path = os.tmpname()
    assert(dic:Save(path))
    local again = CKVQWindowDic:new_local()
    assert(again:Load(path))
    os.remove(path)
    for _, class in ipairs({"Button", "Label"}) do
        assert(again:CloneClass(class):GetName() == dic:CloneClass(class):GetName())
    end
    assert(not dic:Save(""), "no file name")
end

-- The manager loads a file once and clones "file:class".
do
    local first = CKVQWindowDicMgr.GetDicByName(kFile)
    assert(first and rawequal(CKVQWindowDicMgr:GetDicByName(kFile), first), "cached")
    assert(CKVQWindowDicMgr.GetDicByName("data/no_such.wnd") == nil)
    local clone = CKVQWindowDicMgr.CloneClass(kFile .. ":Label")
    assert(clone and clone:GetName() == "Label2")
    assert(CKVQWindowDicMgr.CloneClass(kFile) == nil, "no ':'")
    assert(CKVQWindowDicMgr.CloneClass("data/no_such.wnd:Label") == nil)
    assert(CKVQWindowDicMgr.CloneClass(kFile .. ":Nothing") == nil)
    expect_error(function() CKVQWindowDicMgr.GetDicByName(nil) end, "string")
    expect_error(function() CKVQWindowDicMgr.CloneClass({}) end, "string")
    clone:Delete()
end

-- Collected dictionaries take their templates along; their clones stay.
do
    local dic = CKVQWindowDic:new_local()
    dic:Load(kFile)
    local clone = dic:CloneClass("Button")
    dic = nil
    collectgarbage("collect")
    assert(not clone:IsDeleted() and clone:GetName() == "Button1")
    clone:Delete()
end

-- Bad self is a script error.
do
    local dic = CKVQWindowDic:new_local()
    expect_error(function() dic.Load(nil, kFile) end, "self")
    expect_error(function() dic:Zoom("big") end, "number")
end

print("windowdic_test: ok")
