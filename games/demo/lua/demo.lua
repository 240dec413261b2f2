-- The demo's behaviour. The layout (ui/main.ui) calls these functions through its LuaLogic
-- components: the play button shows a face for each of normal, hovered and pressed; a click on it
-- recolours the card and counts on its caption; the card lights its frame while hovered; the gem
-- changes every second. The field at the bottom is an edit box: click it and type.

local palette = {
    {40, 48, 80},
    {96, 40, 72},
    {32, 88, 64},
    {104, 80, 32},
}
local clicks = 0
local gem = 0

-- Writes one attribute of a render object by its full name (see "kvqtool attrs CLASS").
local function SetAttr(render, name, value)
    if render == nil then
        return
    end
    local index = render:GetAttributeNameRef(name)
    if index >= 0 then
        render:SetAttribute(index, tostring(value))
    end
end

local function Face(window, state)
    SetAttr(window:GetRender("faces"), "SpriteList:nState", state)
end

local function FrameColor(panel, red, green, blue)
    for _, edge in ipairs({"LeftColor", "TopColor", "RightColor", "BottomColor"}) do
        SetAttr(panel, "Rect:" .. edge .. ":red", red)
        SetAttr(panel, "Rect:" .. edge .. ":green", green)
        SetAttr(panel, "Rect:" .. edge .. ":blue", blue)
    end
end

function DemoPlayEnter(window)
    Face(window, 1)
    print("demo: hover play")
end

function DemoPlayLeave(window)
    Face(window, 0)
    print("demo: leave play")
end

function DemoPlayDown(window)
    Face(window, 2)
end

function DemoPlayUp(window)
    Face(window, 1)
    clicks = clicks + 1
    local colour = palette[clicks % #palette + 1]
    local card = window:GetParent():GetChild("card")
    if card ~= nil then
        local panel = card:GetRender("panel")
        SetAttr(panel, "Rect:FillColor:red", colour[1])
        SetAttr(panel, "Rect:FillColor:green", colour[2])
        SetAttr(panel, "Rect:FillColor:blue", colour[3])
        SetAttr(card:GetRender("caption"), "EditBox:Text", "Clicks: " .. clicks)
    end
    print("demo: clicked play (" .. clicks .. ")")
end

function DemoCardEnter(window)
    FrameColor(window:GetRender("panel"), 240, 240, 250)
end

function DemoCardLeave(window)
    FrameColor(window:GetRender("panel"), 90, 100, 140)
end

function DemoGemTick(window)
    gem = (gem + 1) % 3
    SetAttr(window:GetRender("gems"), "SpriteList:nState", gem)
end

print("demo: ready")
