-- Every class and every global function of the engine, called with junk: nil, a number, a text
-- and a table in every argument position up to four (self included), and members also on a
-- fresh object of their class. Each call either answers or raises a script error; the test
-- passes when the walk comes through without the process dying. Then: every window member on a
-- window that the engine deleted and released while the script still held it is a script error.

local started = os.clock()

-- The names Lua's own libraries and the test runner put in the globals; everything else was
-- registered by the engine.
local NOT_ENGINE = {}
for name in string.gmatch([[
    _G _VERSION arg assert collectgarbage coroutine debug dofile error gcinfo getfenv
    getmetatable io ipairs load loadfile loadstring math module newproxy next os package pairs
    pcall print rawequal rawget rawset require select setfenv setmetatable string table tonumber
    tostring type unpack xpcall]], "%S+") do
    NOT_ENGINE[name] = true
end

-- Calls left out because they would block or end the run ("Class.member" or a global's name).
local SKIP = {
    ["CKVQEvent.Wait"] = "waits for an event that nobody signals (no timeout means forever)",
    ["CKVQLock.Locked"] = "a second enter from the same thread never returns",
}
-- Members that write a file named by their argument: a number is a valid file name, and the walk
-- must not leave files in the application folder. They are called below with paths that cannot
-- be created.
local WRITERS = { "CKVQWindow.SaveChildsToFile", "CKVQWindowDic.Save", "CKVQWindowMgr.Save" }
for _, what in ipairs(WRITERS) do
    SKIP[what] = "writes a file named by its argument"
end

-- A text that names no file: members that load or save by path find nothing and create nothing.
local TEXT = "no_such_dir/robustness_junk"
-- Emptied engine objects: tolua++ hands them over as null, which no member may bind a reference
-- to. An array deleted by the script, and the extra-data message of a released window.
local EMPTIED_ARRAY = WndArray:new()
EMPTIED_ARRAY:delete()
local EMPTIED_MESSAGE
do
    local owner = CKVQWindow.new()
    owner:SetExtraData("k", CKVQMessage:new_local())
    EMPTIED_MESSAGE = owner:GetExtraData("k")
    owner:Delete()
    ReleaseDeletedWindows()
    assert(not pcall(EMPTIED_MESSAGE.getMode, EMPTIED_MESSAGE), "the message is emptied")
end
local JUNK = { n = 6, nil, 3, TEXT, {}, EMPTIED_ARRAY, EMPTIED_MESSAGE }
-- Handlers and hooks that the walk books by those names: a missing one would be a failed call
-- of the engine's.
_G[TEXT] = function() end
_G["3"] = function() end

local registry = debug.getregistry()
local function is_class(value)
    return type(value) == "table" and type(registry[value]) == "string"
end

local calls = 0

-- Calls f with every argument list of length 0 .. 4 whose first value comes from firsts and
-- whose other values come from JUNK. after(ok, result) sees each outcome.
local function walk(f, firsts, after)
    local args = {}
    local function go(depth, count)
        calls = calls + 1
        local ok, result = pcall(f, unpack(args, 1, count))
        if after then after(ok, result) end
        if depth > 4 then return end
        local pool = depth == 1 and firsts or JUNK
        for i = 1, pool.n do
            args[depth] = pool[i]
            go(depth + 1, depth)
        end
        args[depth] = nil
    end
    go(1, 0)
end

-- Engine objects that "new" hands out are not Lua's to collect: give them back.
local function dispose(object)
    if type(object) ~= "userdata" then return end
    if not pcall(function() object:Delete() end) then
        pcall(function() object:delete() end)
    end
end

-- A fresh object of the class, and whether it must be given back.
local SINGLETONS = { KVQCoreCfg = ICGuiGetKVQCoreCfg }
local function fresh(name, class)
    for _, maker in ipairs({ "new_local", "Instance", "sharedEngine" }) do
        local make = rawget(class, maker)
        if make then
            local ok, object = pcall(make)
            if ok and type(object) == "userdata" then return object, false end
        end
    end
    local make = rawget(class, "new")
    if make then
        local ok, object = pcall(make)
        if ok and type(object) == "userdata" then return object, true end
    end
    if SINGLETONS[name] then return SINGLETONS[name](), false end
    return nil, false
end

-- ---- the classes ----

local classes, functions, properties = 0, 0, 0
local class_names = {}

local function walk_class_function(name, class, key, f, with_self)
    if SKIP[name .. "." .. key] then return end
    if key == "new" and not (rawget(class, "delete") or rawget(class, "Delete")) then
        -- Its argument checks are new_local's (the same generated code), which the walk covers.
        SKIP[name .. ".new"] = "makes objects that a script has no way to free"
        return
    end
    functions = functions + 1
    local after = nil
    if key == "new" then
        after = function(ok, result) if ok then dispose(result) end end
    end
    walk(f, { n = 7, nil, 3, TEXT, {}, EMPTIED_ARRAY, EMPTIED_MESSAGE, class }, after)
    if with_self then
        local object, owned = fresh(name, class)
        if object then
            walk(f, { n = 1, object }, after)
            if owned then dispose(object) end
        end
    end
end

for name, class in pairs(_G) do
    if not NOT_ENGINE[name] and is_class(class) then
        classes = classes + 1
        class_names[#class_names + 1] = name
        for key, value in pairs(class) do
            if type(value) == "function" then
                walk_class_function(name, class, key, value, true)
            elseif type(value) == "table" and (key == ".get" or key == ".set") then
                for variable, accessor in pairs(value) do
                    walk_class_function(name, class, key .. variable, accessor, true)
                end
            end
        end
        -- Properties as scripts use them: read, and written with each junk value.
        local getters = rawget(class, ".get")
        if getters then
            for variable in pairs(getters) do
                local object, owned = fresh(name, class)
                if object then
                    properties = properties + 1
                    pcall(function() return object[variable] end)
                    for i = 1, JUNK.n do
                        calls = calls + 1
                        pcall(function() object[variable] = JUNK[i] end)
                        pcall(function() return object[variable] end)
                    end
                    if owned then dispose(object) end
                end
                pcall(function() return class[variable] end)
                pcall(function() class[variable] = 3 end)
            end
        end
    end
end

-- ---- the global functions (and the functions of the engine's other global tables) ----

local globals = 0
for name, value in pairs(_G) do
    if not NOT_ENGINE[name] and not SKIP[name] then
        if type(value) == "function" then
            globals = globals + 1
            walk(value, JUNK)
        elseif type(value) == "table" and not is_class(value) then
            for key, f in pairs(value) do
                if type(f) == "function" and not SKIP[name .. "." .. key] then
                    globals = globals + 1
                    walk(f, JUNK)
                end
            end
        end
    end
end
for _, what in ipairs(WRITERS) do
    local class_name, member = what:match("^(.-)%.(.+)$")
    local class = rawget(_G, class_name)
    local f = class and rawget(class, member)
    if f then
        local object, owned = fresh(class_name, class)
        for _, self in ipairs({ object or false, 3, TEXT, {} }) do
            for _, path in ipairs({ TEXT, "", {} }) do
                calls = calls + 1
                pcall(f, self or nil, path)
            end
            calls = calls + 1
            pcall(f, self or nil)
        end
        if owned then dispose(object) end
    end
end

-- Hooks the walk may have set point at nothing.
KVQAPI_HookSystemNotify("")
ReleaseDeletedWindows()
collectgarbage("collect")

-- ---- tolua++'s own entry points, with values the walk above does not pass ----

do
    local p = KVQPoint.new_local()
    p.x = 4
    -- Userdata of other libraries are not objects of the engine.
    assert(not pcall(KVQPoint[".get"].x, io.stdout))
    assert(not pcall(KVQPoint[".set"].x, io.stdout, 1))
    assert(not pcall(KVQPoint.__newindex, io.stdout, "__close", 1))
    assert(not pcall(KVQRect[".get"].left, p), "a point is not a rectangle")
    -- Only the garbage collector frees what Lua owns.
    KVQPoint.__gc(p)
    assert(not pcall(KVQPoint[".collector"], p))
    assert(p.x == 4)
    -- Casts stay within the object's class; ownership stays where the engine put it.
    assert(not pcall(tolua.cast, p, "KVQRect"))
    assert(not pcall(tolua.cast, p, "NoSuchClass"))
    assert(rawequal(tolua.cast(p, "KVQPoint"), p))
    local w = CKVQWindow.new()
    assert(not pcall(tolua.takeownership, w))
    w:Delete()
    -- Statics answer to the dot and the colon alike.
    assert(KVQPoint.new_local().x == 0 and KVQPoint:new_local().x == 0)
    assert(CKVQMessage.new_local():getMode() == CKVQMessage:new_local():getMode())
end

-- ---- a window deleted and released under the script ----

local window = CKVQWindow.new()
local child = CKVQWindow.new()
window:AddChild(child)
window:Delete()
ReleaseDeletedWindows()
local members = 0
for key, f in pairs(CKVQWindow) do
    local static = key == "new" or key == "FromHandle"
    if type(f) == "function" and not static and key:sub(1, 1) ~= "." and key:sub(1, 2) ~= "__" then
        members = members + 1
        for i = 1, JUNK.n do
            calls = calls + 1
            local ok = pcall(f, window, JUNK[i], JUNK[i])
            assert(not ok, "CKVQWindow:" .. key .. " answered on a released window")
        end
        assert(not pcall(f, child), "CKVQWindow:" .. key .. " answered on a released child window")
    end
end
assert(members > 100, "the released window met only " .. members .. " members")

-- The walk cannot pass by finding nothing to call.
assert(classes >= 15, "only " .. classes .. " classes: " .. table.concat(class_names, " "))
assert(functions >= 250, "only " .. functions .. " class functions")
assert(properties >= 30, "only " .. properties .. " properties")
assert(globals >= 30, "only " .. globals .. " global functions")
assert(calls >= 100000, "only " .. calls .. " calls")

local skipped = {}
for what, why in pairs(SKIP) do skipped[#skipped + 1] = what .. " (" .. why .. ")" end
print(string.format("robustness_test: ok: %d classes, %d class functions, %d properties, %d globals, %d calls in %.1f s; skipped where present: %s",
    classes, functions, properties, globals, calls, os.clock() - started, table.concat(skipped, "; ")))
