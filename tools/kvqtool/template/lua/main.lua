-- The game's behaviour. ui/main.ui loads this file (the LuaLogic "script" of the root window) and
-- calls these functions when the button's messages arrive (the LuaLogic "buttonlogic").
-- print() writes to standard output; a script error is shown on standard error.

local colours = {
    {40, 56, 96},
    {120, 48, 72},
    {40, 104, 72},
    {128, 96, 32},
}
local clicks = 0

-- Writes one attribute of a render object by its full name ("kvqtool attrs Rectangle" lists them).
local function SetAttr(render, name, value)
    if render == nil then
        return
    end
    local index = render:GetAttributeNameRef(name)
    if index >= 0 then
        render:SetAttribute(index, tostring(value))
    end
end

-- The button's face: 0 is "button_normal", 1 is "button_hover" (the SpriteList's list).
local function Face(window, face)
    SetAttr(window:GetRender("faces"), "SpriteList:nState", face)
end

function ButtonEnter(window)
    Face(window, 1)
end

function ButtonLeave(window)
    Face(window, 0)
end

function ButtonClicked(window)
    clicks = clicks + 1
    local colour = colours[clicks % #colours + 1]
    local panel = window:GetParent():GetChild("panel")
    if panel ~= nil then
        local fill = panel:GetRender("fill")
        SetAttr(fill, "Rect:FillColor:red", colour[1])
        SetAttr(fill, "Rect:FillColor:green", colour[2])
        SetAttr(fill, "Rect:FillColor:blue", colour[3])
        -- Texts are edit boxes: "kvqtool attrs EditBox" lists what can be set.
        SetAttr(panel:GetRender("caption"), "EditBox:Text", "Clicks: " .. clicks)
    end
    print("game: clicked (" .. clicks .. ")")
end

print("game: ready")
