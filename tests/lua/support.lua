-- Helpers shared by the Lua tests. Load with KVQDoFile("support.lua").

-- Calls fn and fails unless it raises an error; when text is given, the error must contain it
-- (as plain text or as a Lua pattern). Returns the error.
function expect_error(fn, text)
    local ok, err = pcall(fn)
    if ok then
        error("expected an error" .. (text and (" containing '" .. text .. "'") or ""), 2)
    end
    if text then
        local message = tostring(err)
        local found = string.find(message, text, 1, true)
        if not found then
            local valid, match = pcall(string.find, message, text)
            found = valid and match
        end
        if not found then
            error("error '" .. message .. "' does not contain '" .. text .. "'", 2)
        end
    end
    return err
end

-- Fails unless a == b (raw equality of values), naming what was compared.
function expect_eq(a, b, what)
    if a ~= b then
        error(string.format("%s: expected %s, got %s", what or "value", tostring(b), tostring(a)), 2)
    end
end
