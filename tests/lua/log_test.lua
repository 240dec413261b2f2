-- Log files from scripts: every call form reaches the one log system, and the text is never read
-- as a format. This folder's default.cfg has no "Log" section, so nothing may be written.

local logs = CKVQLogSystem.Instance()
assert(logs ~= nil and rawequal(CKVQLogSystem:Instance(), logs), "one instance, dot or colon")

for _, call in ipairs({
    function() CKVQLogSystem.XLog(0, "dot %s %n %d") end,
    function() CKVQLogSystem:XLog(1, "colon 100%") end,
    function() logs:XLog(2, "member") end,
    function() logs:XLog(7, "no such channel") end,
    function() logs:XLog(0, nil) end,
    function() logs:XLog(0, {}) end,
    function() logs:XLog() end,
    function() CKVQLogSystem.FlushAll() end,
    function() CKVQLogSystem:FlushAll() end,
    function() logs:FlushAll() end,
}) do
    call()
end

for _, name in ipairs({"debug.log", "warn.log", "error.log"}) do
    assert(io.open(name, "rb") == nil, name .. " was written without a Log section")
end
print("log: ok")
