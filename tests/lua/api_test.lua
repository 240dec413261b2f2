-- The script reference against the live Lua state: everything it lists exists with the kind it
-- says, everything the bindings register is listed, and the constructors and overloads it
-- documents behave.

-- What the bindings put in the globals, before anything of the tests joins them.
local bound_globals = {}
for name, value in pairs(_G) do
  bound_globals[name] = type(value)
end

KVQDoFile("support.lua")

-- Lua's own globals and the aids of kvqtool lua, which the reference does not list.
local not_bindings = {
  _G = true, _VERSION = true, arg = true, assert = true, collectgarbage = true, coroutine = true,
  debug = true, dofile = true, error = true, gcinfo = true, getfenv = true, getmetatable = true,
  io = true, ipairs = true, load = true, loadfile = true, loadstring = true, math = true,
  module = true, newproxy = true, next = true, os = true, package = true, pairs = true,
  pcall = true, print = true, rawequal = true, rawget = true, rawset = true, require = true,
  select = true, setfenv = true, setmetatable = true, string = true, table = true,
  tonumber = true, tostring = true, type = true, unpack = true, xpcall = true,
  tolua = true,                  -- the binding library's own helpers
  ReleaseDeletedWindows = true,  -- kvqtool lua's test aid
}

-- ---- the reference, as written in docs/script-api.md ----

local here = string.match(arg[0], "^(.*)/[^/]*$") or "."
local file = assert(io.open(here .. "/../../docs/script-api.md", "r"), "docs/script-api.md not found")
local reference = file:read("*a")
file:close()

local classes, class_order, functions, constants = {}, {}, {}, {}
local part, current
for line in string.gmatch(reference, "([^\n]*)\n") do
  local heading = string.match(line, "^## (.+)$")
  if heading then
    part, current = heading, nil
  elseif part == "Classes" and string.match(line, "^### ") then
    current = string.match(line, "^### (%S+)$")
    classes[current] = {}
    table.insert(class_order, current)
  else
    local name, rest = string.match(line, "^| `([^`]+)` | (.*)$")
    if name and part == "Classes" and current then
      local kind = string.match(rest, "^([^|]-) |")
      table.insert(classes[current], {name = name, kind = kind})
    elseif name and part == "Global functions" then
      functions[name] = true
    elseif name and part == "Constants" then
      constants[name] = tonumber(string.match(rest, "^(%-?%d+) |"))
    end
  end
end

expect_eq(#class_order > 15, true, "classes found in the reference")
expect_eq(functions.KVQDoFile, true, "KVQDoFile found in the reference")

-- ---- everything listed exists ----

local function property_table(class, which)
  return rawget(class, which) or {}
end

for _, class_name in ipairs(class_order) do
  local class = _G[class_name]
  expect_eq(type(class), "table", "class table " .. class_name)
  for _, member in ipairs(classes[class_name]) do
    local what = class_name .. ":" .. member.name .. " (" .. member.kind .. ")"
    if member.kind == "property" or member.kind == "read-only property" then
      expect_eq(type(property_table(class, ".get")[member.name]), "function", what .. " getter")
      expect_eq(property_table(class, ".set")[member.name] ~= nil, member.kind == "property", what .. " setter")
    else
      expect_eq(type(rawget(class, member.name)), "function", what)
    end
  end
end

for name in pairs(functions) do
  expect_eq(type(_G[name]), "function", "global function " .. name)
end

for name, value in pairs(constants) do
  expect_eq(_G[name], value, "constant " .. name)
end

-- ---- everything bound is listed ----

local listed_globals = {}
for name in pairs(classes) do listed_globals[name] = true end
for name in pairs(functions) do listed_globals[name] = true end
for name in pairs(constants) do listed_globals[name] = true end

for name, kind in pairs(bound_globals) do
  if not not_bindings[name] then
    expect_eq(listed_globals[name], true, "the bound global " .. name .. " (a " .. kind .. ") is in the reference")
  end
end

-- Members: every function of a class table, except tolua++'s own entries (".call", ".collector",
-- "__index", ...), and every property.
local builtin = {[".call"] = true, [".collector"] = true}
for _, class_name in ipairs(class_order) do
  local class = _G[class_name]
  local listed = {}
  for _, member in ipairs(classes[class_name]) do listed[member.name] = true end
  for key, value in pairs(class) do
    if type(key) == "string" and type(value) == "function" and not builtin[key] and
       not string.match(key, "^__") then
      expect_eq(listed[key], true, class_name .. "." .. key .. " is in the reference")
    end
  end
  for key in pairs(property_table(class, ".get")) do
    expect_eq(listed[key], true, "property " .. class_name .. "." .. key .. " is in the reference")
  end
end

-- ---- constructors with the fields, and the overloads beside them ----

-- Objects made with new belong to the engine; kept here so they stay reachable to the end.
kept_objects = {}
local function keep(object)
  table.insert(kept_objects, object)
  return object
end

local constructed = {
  {"KVQPoint.new()", function() return keep(KVQPoint.new()) end, {x = 0, y = 0}},
  {"KVQPoint:new(x, y)", function() return keep(KVQPoint:new(3, -4)) end, {x = 3, y = -4}},
  {"KVQPoint.new_local(x, y)", function() return KVQPoint.new_local(7, 8) end, {x = 7, y = 8}},
  {"KVQPoint(x, y)", function() return KVQPoint(5, 6) end, {x = 5, y = 6}},
  {"KVQPoint.new_local(x)", function() return KVQPoint.new_local(2.9) end, {x = 2, y = 0}},
  {"KVQPoint numbers out of range", function() return KVQPoint.new_local(1e300, -1e300) end,
   {x = 2147483647, y = -2147483648}},
  {"KVQPoint NaN", function() return KVQPoint.new_local(0 / 0, -7.9) end, {x = 0, y = -7}},
  {"KVQRect.new(l, r, t, b)", function() return keep(KVQRect.new(1, 20, 3, 40)) end,
   {left = 1, right = 20, top = 3, bottom = 40}},
  {"KVQRect:new_local()", function() return KVQRect:new_local() end, {left = 0, right = 0, top = 0, bottom = 0}},
  {"KVQRect.new_local(l, r, t, b)", function() return KVQRect.new_local(-5, 5, -6, 6) end,
   {left = -5, right = 5, top = -6, bottom = 6}},
  {"RGBA.new(r, g, b, a)", function() return keep(RGBA.new(10, 20, 30, 40)) end,
   {red = 10, green = 20, blue = 30, alpha = 40}},
  {"RGBA channels clamped", function() return RGBA:new_local(300, -5, 7.8, 255) end,
   {red = 255, green = 0, blue = 7, alpha = 255}},
  {"KVQColor.new(r, g, b, a)", function() return keep(KVQColor.new(0.5, 1, 0, 0.25)) end,
   {r = 0.5, g = 1, b = 0, a = 0.25}},
  {"KVQColor:new_local()", function() return KVQColor:new_local() end, {r = 0, g = 0, b = 0, a = 0}},
}
for _, case in ipairs(constructed) do
  local object = case[2]()
  for field, value in pairs(case[3]) do
    expect_eq(object[field], value, case[1] .. " " .. field)
  end
end

local refused = {
  {"KVQPoint.new with a text", function() return KVQPoint.new("a", 1) end},
  {"KVQPoint.new with too many numbers", function() return KVQPoint.new(1, 2, 3) end},
  {"KVQRect.new with a table", function() return KVQRect.new(1, {}, 3, 4) end},
  {"RGBA.new_local with nil inside", function() return RGBA.new_local(1, nil, 3) end},
  {"KVQColor.new with a boolean", function() return KVQColor.new(true) end},
  {"KVQPoint.new on another class", function() return KVQPoint.new(KVQRect, 1) end},
}
for _, case in ipairs(refused) do
  local ok = pcall(case[2])
  expect_eq(ok, false, case[1] .. " is an error")
end

-- SetPos takes a point or two numbers; wrong forms are errors and leave the window where it was.
local window = CKVQWindow:new()
window:SetWidth(10)
window:SetHeight(10)
local at = KVQPoint:new_local()
local positions = {
  {"two numbers", function() window:SetPos(12, 34) end, 12, 34},
  {"a point", function() window:SetPos(KVQPoint.new_local(5, 6)) end, 5, 6},
  {"numbers truncated", function() window:SetPos(7.9, -1.5) end, 7, -1},
  {"nil does nothing", function() window:SetPos(nil) end, 7, -1},
}
for _, case in ipairs(positions) do
  case[2]()
  window:GetPos(at)
  expect_eq(at.x, case[3], "SetPos with " .. case[1] .. ": x")
  expect_eq(at.y, case[4], "SetPos with " .. case[1] .. ": y")
end
expect_error(function() window:SetPos(1) end)
expect_error(function() window:SetPos("1", {}) end)
expect_error(function() window:SetPos(1, 2, 3) end)
expect_error(function() CKVQWindow.SetPos(nil, 1, 2) end)
window:GetPos(at)
expect_eq(at.x, 7, "after refused SetPos calls: x")
window:Delete()

