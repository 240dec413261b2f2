-- The script host as scripts see it: its globals, script files, and the JSON and SQLite modules.

assert(KVQDoFile("support.lua"), "support.lua loads")

-- The script's own name and arguments.
expect_eq(type(arg), "table", "arg")
assert(string.find(arg[0], "host_test.lua", 1, true), "arg[0] names the script")

-- Last-error texts: nothing pending in a clean run.
expect_eq(GetLastError(), "", "GetLastError")
expect_eq(GetLuaError(), GetLastError(), "GetLuaError")

-- Script files: a missing one is false without an error; one that ran and kept its length is not
-- run again, and says so with true.
expect_eq(KVQDoFile("no_such_script.lua"), false, "missing file")
expect_eq(GetLastError(), "", "a missing file is no error")
local kept = expect_eq
expect_eq = nil
local again = KVQDoFile("support.lua")
local rerun = expect_eq ~= nil
expect_eq = kept
expect_eq(again, true, "unchanged file")
expect_eq(rerun, false, "an unchanged file is not run again")

-- tousertype only hands out objects the engine can vouch for.
expect_eq(tousertype(0, "CKVQWindow"), nil, "tousertype of 0")
expect_eq(tousertype(4096, "CKVQWindow"), nil, "tousertype of an unknown address")
expect_eq(tousertype("text", {}), nil, "tousertype of wrong kinds")
expect_eq(tousertype(), nil, "tousertype without arguments")

-- Message boxes never wait: the text goes to standard error.
KVQMessageBox("host_test: a notice on standard error")
KVQMessageBox({})

-- JSON.
local cjson = luaopen_cjson()
local text = cjson.encode({ name = "kvq", list = { 1, 2, 3 }, flag = true })
local back = cjson.decode(text)
expect_eq(back.name, "kvq", "decoded name")
expect_eq(#back.list, 3, "decoded list length")
expect_eq(back.list[3], 3, "decoded list item")
expect_eq(back.flag, true, "decoded flag")
expect_eq(cjson.encode({ 1, 2, 3 }), "[1,2,3]", "encoded array")
expect_eq(cjson.decode('"\\u4e2d"'), "\228\184\173", "decoded escape")
expect_error(function() cjson.decode("{bad json") end, "character")

-- SQLite through LuaSQL, on an in-memory database.
local luasql = luaopen_sqlite3()
local env = assert(luasql.sqlite3())
local con = assert(env:connect(":memory:"))
assert(con:execute("CREATE TABLE scores (name TEXT, points INTEGER)"))
expect_eq(con:execute("INSERT INTO scores VALUES ('ann', 10)"), 1, "rows inserted")
expect_eq(con:execute("INSERT INTO scores VALUES ('bob', 25)"), 1, "rows inserted")
local cursor = assert(con:execute("SELECT name, points FROM scores ORDER BY points DESC"))
local row = cursor:fetch({}, "a")
expect_eq(row.name, "bob", "first row")
expect_eq(tonumber(row.points), 25, "first row points")
row = cursor:fetch(row, "a")
expect_eq(row.name, "ann", "second row")
expect_eq(cursor:fetch(), nil, "end of rows")
cursor:close()
local bad, message = con:execute("SELECT * FROM missing_table")
expect_eq(bad, nil, "a bad statement")
assert(string.find(message, "missing_table", 1, true), "its error names the table")
con:close()
env:close()
