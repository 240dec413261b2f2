-- Configuration tables from scripts. data/items.csv has the columns id, name and price and three
-- rows: 1 Sword 12.5, 2 Shield 30, 3 Sword 7.
KVQDoFile("support.lua")

local kFile = "data/items.csv"

-- The registry: the dot and the colon reach the one registry; a failure and the first table
-- both answer 0, and only the name lookup tells them apart.
do
    local registry = CKVQDBCfgSystem.Instance()
    assert(registry == CKVQDBCfgSystem:Instance())
    assert(registry:CreateIndex(4))
    expect_eq(registry:Load("data/no_such.csv"), 0, "failed load")
    assert(registry:GetDBCfgByName("data/no_such.csv") == nil)
    expect_eq(registry:Load(kFile), 0, "first table")
    expect_eq(registry:Load(kFile), 0, "same name again")
    assert(registry:GetDBCfgByName(kFile) ~= nil)
    assert(registry:GetDBCfgByID(0):GetName() == kFile)
    assert(registry:GetDBCfgByID(-1) == nil and registry:GetDBCfgByID(99) == nil)
    assert(registry:GetDBCfgByID() == nil)
    assert(not registry:CreateIndex(1e12))
    expect_eq(registry:Load(nil), 0, "nil name")
end

-- Cells, columns and groups; omitted or hostile numbers read as outside the table.
do
    local t = CKVQDBCfgSystem.Instance():GetDBCfgByName(kFile)
    expect_eq(t:GetFieldNums(), 3, "columns")
    expect_eq(t:GetRowNums(), 3, "rows")
    expect_eq(t:GetIntValue(1, 2), 2, "int")
    expect_eq(t:GetStringValue(2, 1), "Sword", "text")
    expect_eq(t:GetStringValue(3, 1), "12.500000", "float text")
    expect_eq(t:GetFloatValue(3, 1), 12.5, "float")
    expect_eq(t:GetIntValue(3, 1), 12, "float as int")
    expect_eq(t:GetStringValue(), "", "omitted")
    expect_eq(t:GetIntValue(0 / 0, 1e300), 0, "hostile numbers")
    expect_eq(t:GetFieldIndex("price"), 3, "by name")
    expect_eq(t:GetFieldIndex("missing"), -1, "no such name")
    expect_eq(t:GetFieldIndex("missing", 7), 7, "given index")
    local swords = t:GroupField(t:GetFieldIndex("name"), "Sword")
    expect_eq(swords:size(), 2, "two swords")
    expect_eq(swords:get(0), 1, "first sword")
    expect_eq(swords:get(1), 3, "second sword")
    expect_eq(t:GroupField(1, 2):get(0), 2, "a number as the value")
    assert(t:GroupField(1, "9") == nil and t:GroupField(9, "1") == nil)
    assert(t:GroupField(1, nil) == nil)
    local slot = t:UnionFieldIndex(1, 2, 2)
    expect_eq(slot, 4, "first combined index")
    expect_eq(t:UnionFieldIndex(1, 2, 2), 4, "same combined index")
    expect_eq(t:GroupField(slot, "2ShieldShield"):get(0), 2, "combined lookup")
end

-- IntArray: resize within the capacity sets the count; erase with and without order.
do
    local a = IntArray.new_local()
    for i = 1, 5 do a:push(i * 10) end
    assert(a:resize(2, 7))
    expect_eq(a:size(), 2, "resize within capacity")
    expect_eq(a:get(1), 7, "resized value")
    assert(a:get(2) == nil)
    for i = 1, 3 do a:push(i) end
    assert(a:erase(0, true))
    expect_eq(a:get(0), 7, "order kept")
    assert(a:erase(0, false))
    expect_eq(a:get(0), 3, "last moved in")
    a:zero_size()
    expect_eq(a:size(), 0, "emptied")
end
