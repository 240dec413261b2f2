-- Locks and named events from scripts (waits always with a timeout: without one they wait for ever).

local lock = CKVQLock:new_local()
lock:Locked()
lock:Locked()
lock:UnLocked()
lock:UnLocked()
lock:UnLocked()  -- not held: nothing
local kept = CKVQLock.new()
kept:Locked()
kept:Locked()  -- deleted while held: left first
kept:delete()

local first = CKVQEvent:new_local()
local second = CKVQEvent.new_local()
assert(first:Wait(0) == false, "no event yet")
assert(first:Initialize("script.ready") and second:Initialize("script.ready"))
assert(first:Wait(0) == false, "not signalled at creation")
second:SetEvent()
assert(first:Wait(10) == true, "shared by name")
assert(second:Wait(0) == false, "auto-reset")
print("lock: ok")
