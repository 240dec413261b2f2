-- Path lines and the grid path finder as scripts use them.
KVQDoFile("support.lua")

local function path_of(list)
    local out = {}
    local node = list:begin()
    while node do
        local p = list:data(node)
        out[#out + 1] = p.x .. "," .. p.y
        node = list:next(node)
    end
    return table.concat(out, " ")
end

-- A 10 x 10 grid without obstacles, from (2, 3) to (6, 3).
local cells = IntArray:new_local()
for i = 1, 100 do cells:push(0) end
local finder = CKVQAStarFinder.new()
expect_eq(finder:loadMapFromMemory(cells, 10, 10, 0) == true, true, "map loads")
expect_eq(finder:loadMapFromMemory(nil, 10, 10, 0) == false, true, "nil cells refused")
expect_eq(finder:loadMapFromMemory(cells, -1, 10, 0) == false, true, "negative width refused")
finder:setStart(2, 3)
finder:setGoal(6, 3)
expect_eq(finder:find(false) == true, true, "path found")
expect_eq(path_of(finder:GetPathList()) == "2,3 3,3 4,3 5,3 6,3", true, "straight path, start first")
-- The map is referenced: blocking the goal afterwards blocks the next search.
cells:set(6 + 3 * 10, 5)
finder:clear()
expect_eq(finder:find(true) == false, true, "blocked goal is never reached")

-- Static members work with the dot and the colon.
local mgr = CKVQPathLineMgr.Instance()
expect_eq(CKVQPathLineMgr:Instance() == mgr, true, "one manager")
local first = mgr:CreatePathID()
expect_eq(CKVQPathLineMgr.CreatePathID() == first + 1, true, "ids count up")
expect_eq(mgr:GetPathLine(-12345) == nil, true, "unknown line is nil")
expect_eq(mgr:LoadCfg(nil) == false, true, "nil table name refused")
