-- Timers from scripts: the members and globals, their number conversions and their answers for
-- released timers. No script can advance engine time, so triggering is left to the engine's tests.

local timers = CKVQTimerSystem:Instance()
assert(timers ~= nil and rawequal(CKVQTimerSystem.Instance(), timers), "one instance, dot or colon")
local w = CKVQWindow:new()

-- Starting, querying and killing; a second start within the same tick restarts the first timer.
do
    local id = timers:SetTimer(w, "OnTick", 100, 3, 0)
    assert(type(id) == "number" and id ~= 0)
    assert(timers:GetTimerLeftCount(id) == 3 and timers:GetTriggeredCount(id) == 0)
    assert(timers:IsTimerEnd(id) == false)
    local again = timers:SetTimer(w, "OnTick", 100, 7, 0)
    assert(again == id and timers:GetTimerLeftCount(id) == 7, "a pending timer restarts")
    timers:KillTimer(id)
    assert(timers:IsTimerEnd(id) and timers:GetTimerLeftCount(again) == 0)
end

-- Counts are truncated and taken modulo 2^32 (-1 is practically endless); 0 counts as ended.
do
    local endless = timers:SetTimer(w, "OnEndless", 33.9, -1, 1.5)
    assert(timers:GetTimerLeftCount(endless) == 4294967295)
    local fraction = timers:SetTimer(w, "OnFraction", 33, 2.9, 0)
    assert(timers:GetTimerLeftCount(fraction) == 2)
    local idle = timers:SetTimer(w, "OnIdle", 33, 0, 0)
    assert(timers:IsTimerEnd(idle))
    for _, id in ipairs({endless, fraction, idle}) do timers:KillTimer(id) end
end

-- Sub-timers need a live parent; killing the parent takes the chain along.
do
    local parent = timers:SetTimer(w, "OnFirst", 33, 2, 0)
    local child = timers:AddSubTimer(parent, w, "OnSecond", 33, 5, 0)
    local grandchild = timers:AddSubTimer(child, w, "OnThird", 33, 1, 0)
    assert(timers:GetTimerLeftCount(child) == 5 and grandchild ~= 0)
    assert(timers:AddSubTimer(0, w, "OnSecond", 33, 1, 0) == 0)
    timers:KillTimer(parent)
    assert(timers:IsTimerEnd(child) and timers:IsTimerEnd(grandchild))
    assert(timers:AddSubTimer(parent, w, "OnSecond", 33, 1, 0) == 0, "released parent")
end

-- No window, no timer; arguments of the wrong kind read as 0 or nil instead of raising.
do
    assert(timers:SetTimer(nil, "OnTick", 33, 1, 0) == 0 and timers:SetTimer() == 0)
    assert(timers:SetTimer(CKVQMessage.new_local(), "OnTick", 33, 1, 0) == 0, "a message is no window")
    local id = timers:SetTimer(w, "OnTick", "x", {}, nil)
    assert(id ~= 0 and timers:GetTimerLeftCount(id) == 0)
    timers:KillTimer(id)
    assert(timers:GetTimerLeftCount("nonsense") == 0 and timers:IsTimerEnd(nil))
    timers:KillTimer(-1)
end

-- The globals: the message is optional and copied; SetTimer1 replaces interval and count.
do
    local m = CKVQMessage.new_local()
    m:int(7)
    local id = KVQAPI_SetTimer(w, "OnData", 100, 4, 0, m)
    assert(id ~= 0 and timers:GetTimerLeftCount(id) == 4)
    m = nil
    collectgarbage()
    KVQAPI_SetTimer1(id, 50, 9)
    assert(timers:GetTimerLeftCount(id) == 9)
    KVQAPI_SetTimer1(id)
    assert(timers:IsTimerEnd(id), "a missing count reads as 0")
    timers:KillTimer(id)
    assert(KVQAPI_SetTimer(nil, "OnData", 1, 1, 0) == 0)
end

w:Delete()
