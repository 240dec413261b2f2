-- The texture functions and the drawing device as scripts see them (no device in this runner).
KVQDoFile("support.lua")

local MISSING = 4294967295

local function rgba(r, g, b)
  local c = RGBA:new_local()
  c.red, c.green, c.blue, c.alpha = r, g, b, 255
  return c
end
local red, green, blue = rgba(255, 0, 0), rgba(0, 255, 0), rgba(0, 0, 255)

-- 4 x 2: three red, one red with alpha 0; two green, two blue.
local colors = "data/texture_colors.png"
-- 3 x 3 transparent with one white pixel in the middle.
local dot = "data/texture_dot.png"

-- No drawing device without a window.
expect_eq(KVQAPI_GetDC(), nil, "device")

-- Images that cannot be had count as 4294967295, and nothing is remembered for them.
expect_eq(SumTextureColor("data/no_such_image.png", red), MISSING, "missing file")
expect_eq(SumTextureColor("data/hello.txt", red), MISSING, "not an image")
expect_eq(SumTextureColor(nil, red), MISSING, "no name")

-- Counting: red, green and blue must match and alpha must not be 0.
expect_eq(SumTextureColor(colors, red), 3, "red")
expect_eq(SumTextureColor(colors, green), 2, "green")
expect_eq(SumTextureColor(colors, rgba(0, 0, 0)), 0, "black")

-- Channels to match are compared as given (511 is not 255); replacement channels stop at 255.
ReplaceTextureColor(colors, 511, 0, 0, 1, 1, 1)
expect_eq(SumTextureColor(colors, red), 3, "511 matches nothing")
-- Replacing keeps alpha: the transparent red turns blue and still does not count.
ReplaceTextureColor(colors, 255, 0, 0, 0, 0, 300)
expect_eq(SumTextureColor(colors, red), 0, "red after replace")
expect_eq(SumTextureColor(colors, blue), 5, "blue after replace")

-- A clone is a copy: later changes to the source do not reach it, and cloning onto a name
-- that is taken copies nothing.
CloneTexture(colors, "colors copy")
expect_eq(SumTextureColor("colors copy", blue), 5, "clone")
ReplaceTextureColor(colors, 0, 0, 255, 255, 0, 0)
expect_eq(SumTextureColor(colors, red), 5, "source changed")
CloneTexture(colors, "colors copy")
expect_eq(SumTextureColor("colors copy", blue), 5, "clone kept")
expect_eq(SumTextureColor("colors copy", red), 0, "nothing copied over a taken name")
CloneTexture("data/no_such_image.png", "orphan")
expect_eq(SumTextureColor("orphan", red), MISSING, "a missing source clones nothing")

-- Removing forgets the texture: a name without a file is gone, a file is decoded afresh.
RemoveTexture("colors copy")
expect_eq(SumTextureColor("colors copy", blue), MISSING, "removed clone")
RemoveTexture(colors)
expect_eq(SumTextureColor(colors, red), 3, "decoded again")

-- A frame: eight blended neighbours around the white pixel, the pixel itself on top.
KVQAPI_PreloadImageFile(dot)
expect_eq(SumTextureColor(dot, rgba(255, 255, 255)), 1, "before the frame")
TextureAddFrame(dot, 7, 8, 9, 1)
expect_eq(SumTextureColor(dot, rgba(254, 254, 254)), 8, "frame")
expect_eq(SumTextureColor(dot, rgba(255, 255, 255)), 1, "middle")

-- Names that are absent or nil do nothing; arguments of the wrong kind are script errors.
KVQAPI_PreloadImageFile()
KVQAPI_PreloadImageFile(nil)
RemoveTexture(nil)
CloneTexture(nil, nil)
TextureAddFrame(nil, 0, 0, 0, 1)
ReplaceTextureColor()
expect_error(function() SumTextureColor(colors) end, "needs a colour")
expect_error(function() SumTextureColor(colors, {}) end, "RGBA")
expect_error(function() SumTextureColor(colors, KVQPoint:new_local()) end, "RGBA")
expect_error(function() ReplaceTextureColor(colors, {}, 0, 0, 0, 0, 0) end, "ReplaceTextureColor")
expect_error(function() TextureAddFrame(colors, 0, 0, 0, {}) end, "TextureAddFrame")
expect_error(function() CloneTexture({}, "x") end, "CloneTexture")
expect_error(function() KVQAPI_PreloadImageFile({}) end, "KVQAPI_PreloadImageFile")
expect_eq(SumTextureColor(colors, red), 3, "untouched by the failed calls")

-- Members called without a device object are script errors too.
expect_error(function() CKVQDC.DrawLine(nil, KVQPoint:new_local(), KVQPoint:new_local(), 0) end, "self")
expect_error(function() CKVQDC.Resize(red, 10, 10) end, "Resize")
