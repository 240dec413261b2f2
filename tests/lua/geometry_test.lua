-- Colours, points, vectors, rectangles and the point and integer containers, as scripts see them.
KVQDoFile("support.lua")

local function point(x, y)
  local p = KVQPoint:new_local()
  p.x, p.y = x, y
  return p
end

local function vector(x, y)
  local v = KVQVector2D:new_local()
  v.x, v.y = x, y
  return v
end

local function rect(left, top, right, bottom)
  local r = KVQRect:new_local()
  r.left, r.top, r.right, r.bottom = left, top, right, bottom
  return r
end

local function expect_rect(r, left, top, right, bottom, what)
  expect_eq(r.left, left, what .. " left")
  expect_eq(r.top, top, what .. " top")
  expect_eq(r.right, right, what .. " right")
  expect_eq(r.bottom, bottom, what .. " bottom")
end

local function expect_point(p, x, y, what)
  expect_eq(p.x, x, what .. " x")
  expect_eq(p.y, y, what .. " y")
end

local function count(...)
  return select("#", ...)
end

-- Colour channels hold bytes: assignments truncate and stay within 0 … 255.
do
  local c = RGBA:new_local()
  expect_eq(c.red, 0, "new colour")
  c.red, c.green, c.blue, c.alpha = 12.9, 300, -4, 0 / 0
  expect_eq(c.red, 12, "fraction truncated")
  expect_eq(c.green, 255, "above the range")
  expect_eq(c.blue, 0, "below the range")
  expect_eq(c.alpha, 0, "not a number")
  expect_error(function() c.red = "red" end, "invalid type")
  expect_error(function() c.red = {} end, "invalid type")
end

-- Point operators build new points; the operands stay as they were.
do
  local a, b = point(3, 4), point(10, -2)
  expect_point(a + b, 13, 2, "sum")
  expect_point(a - b, -7, 6, "difference")
  expect_point(a * b, 30, -8, "component-wise product")
  expect_point(a, 3, 4, "left operand untouched")
  assert(a == point(3, 4), "equal contents compare equal")
  assert(a ~= b, "different points differ")
  local sum = a + b
  sum.x = 0
  expect_eq(a.x, 3, "a result is an object of its own")

  -- Integer coordinates: numbers truncate toward zero and stop at the ends of the range.
  a.x, a.y = 2.9, -2.9
  expect_point(a, 2, -2, "truncated toward zero")
  a.x, a.y = 1e12, -1e12
  expect_point(a, 2147483647, -2147483648, "saturated")
  expect_point(point(2147483647, 0) + point(1, 0), -2147483648, 0, "sum wraps")
  expect_error(function() return a + 1 end)
  expect_error(function() return a + nil end)
end

-- Vectors: arithmetic, scaling by a number, dot product, angle and normalisation.
do
  local v, w = vector(3, 4), vector(1, 2)
  local scaled = v * 2
  expect_eq(scaled.x, 6, "scaled x")
  expect_eq(scaled.y, 8, "scaled y")
  local s, d = v + w, v - w
  expect_eq(s.x + s.y, 10, "sum")
  expect_eq(d.x * 10 + d.y, 22, "difference")
  assert(v == vector(3, 4) and v ~= w, "vector equality")
  expect_eq(v:dot(w), 11, "dot product")
  assert(math.abs(vector(1, 0):angle(vector(0, 5)) - math.pi / 2) < 1e-6, "right angle")
  expect_eq(vector(0, 0):angle(v), 0, "angle with a zero vector")
  v:normalize()
  assert(math.abs(v.x - 0.6) < 1e-6 and math.abs(v.y - 0.8) < 1e-6, "normalised in place")
  local zero = vector(0, 0)
  zero:normalize()
  expect_eq(zero.x, 0, "a zero vector stays zero")
  expect_error(function() return v * v end)
  expect_error(function() return v:dot(nil) end)
end

-- Rectangles: extents, corners and the in-place rules.
do
  local r = rect(10, 20, 110, 70)
  expect_eq(r:Width(), 100, "width")
  expect_eq(r:Height(), 50, "height")
  expect_point(r:Center(), 60, 45, "centre")
  expect_point(r:TopLeft(), 10, 20, "top left")
  expect_point(r:TopRight(), 110, 20, "top right")
  expect_point(r:BottomLeft(), 10, 70, "bottom left")
  expect_point(r:BottomRight(), 110, 70, "bottom right")

  local n = rect(5, 8, 1, 2)
  n:Normalize()
  expect_rect(n, 1, 2, 5, 8, "normalised")

  -- Union joins only rectangles that share both vertical or both horizontal edges.
  local column = rect(0, 0, 10, 10)
  column:Union(rect(0, 20, 10, 30))
  expect_rect(column, 0, 0, 10, 30, "vertical union")
  local row = rect(0, 0, 10, 10)
  row:Union(rect(20, 0, 30, 10))
  expect_rect(row, 0, 0, 30, 10, "horizontal union")
  local apart = rect(0, 0, 10, 10)
  apart:Union(rect(5, 5, 15, 15))
  expect_rect(apart, 0, 0, 10, 10, "unaligned union changes nothing")

  -- Combine: an empty rectangle takes the other one, otherwise the bounding rectangle.
  local empty = KVQRect:new_local()
  empty:Combine(rect(5, 6, 8, 9))
  expect_rect(empty, 5, 6, 8, 9, "combine into empty")
  local bound = rect(0, 0, 10, 10)
  bound:Combine(rect(5, -5, 20, 30))
  expect_rect(bound, 0, -5, 20, 30, "combine")

  -- Edges count as inside.
  local box = rect(0, 0, 10, 10)
  assert(box:IsInterset(rect(10, 10, 20, 20)), "touching corners intersect")
  assert(not box:IsInterset(rect(11, 0, 20, 10)), "disjoint")
  expect_rect(box:Interset(rect(5, 5, 20, 20)), 5, 5, 10, 10, "intersection")
  expect_rect(box:Interset(rect(50, 50, 60, 60)), 0, 0, 0, 0, "no intersection")
  assert(box:IsIncludePoint(point(10, 10)), "corner point")
  assert(not box:IsIncludePoint(point(11, 5)), "outside point")
  assert(box:IsIncludeRect(rect(0, 0, 10, 10)), "a rectangle includes itself")
  assert(not box:IsIncludeRect(rect(1, 1, 11, 9)), "sticking out")

  box:Inflate(1, 2, 3, 4)
  expect_rect(box, -1, -2, 13, 14, "inflated")
  box:Deflate(1, 2, 3, 4)
  expect_rect(box, 0, 0, 10, 10, "deflated back")
  box:Inflate(1.9)
  expect_rect(box, -1, 0, 10, 10, "missing amounts are 0, fractions truncated")

  expect_error(function() box:Union(nil) end)
  expect_error(function() box:IsIncludePoint(box) end)
  expect_error(function() box:Inflate("wide") end)
  expect_error(function() return KVQRect.Width(nil) end)
  expect_error(function() return KVQRect.Width(point(1, 1)) end)
end

-- IntArray: indexes are checked; get past the end gives no value at all.
do
  local a = IntArray:new_local()
  expect_eq(a:size(), 0, "new array")
  a:push(5)
  a:push(6.8)
  a:push(-7.8)
  expect_eq(a:size(), 3, "pushed")
  expect_eq(a:get(1), 6, "pushed values truncate")
  expect_eq(a:get(2), -7, "toward zero")
  expect_eq(count(a:get(3)), 0, "get at the size")
  expect_eq(count(a:get(-1)), 0, "get below zero")
  assert(a:set(1, 9), "set inside")
  assert(not a:set(3, 1), "set at the size is refused")
  expect_eq(a:size(), 3, "refused set adds nothing")

  a:erase(0) -- the last element takes its place
  expect_eq(a:get(0), -7, "unordered erase")
  expect_eq(a:size(), 2, "erased")
  a:push(4)
  a:erase(0, true) -- later elements move down
  expect_eq(a:get(0), 9, "ordered erase keeps order")
  expect_eq(a:get(1), 4, "ordered erase keeps order")
  assert(not a:erase(2), "erase past the end is refused")

  a:zero_size()
  expect_eq(a:size(), 0, "emptied")
  assert(a:resize(3, 4), "resize")
  expect_eq(a:size(), 3, "resized")
  expect_eq(a:get(2), 4, "resize fills")
  assert(not a:resize(-1), "negative size refused")
  assert(not a:resize(1e12), "huge size refused")
  expect_eq(a:size(), 3, "refused resize changes nothing")
  expect_error(function() a:push("many") end)
  expect_error(function() a:get({}) end)
end

-- KVQPointArray: get hands out a copy, so holding it past a change is harmless.
do
  local a = KVQPointArray:new_local()
  a:push(point(1, 2))
  a:push(point(3, 4))
  local held = a:get(0)
  expect_point(held, 1, 2, "first point")
  held.x = 100
  expect_point(a:get(0), 1, 2, "the array keeps its own point")
  expect_eq(count(a:get(2)), 0, "get at the size")
  assert(a:set(1, point(5, 6)), "set")
  expect_point(a:get(1), 5, 6, "stored")
  a:erase(0, true)
  expect_point(a:get(0), 5, 6, "ordered erase")
  a:zero_size()
  expect_eq(a:size(), 0, "emptied")
  expect_error(function() a:push(nil) end)
  expect_error(function() a:push(rect(0, 0, 1, 1)) end)
end

-- KVQPointList: walking by nodes in both directions.
do
  local l = KVQPointList:new_local()
  expect_eq(l:begin(), nil, "empty list has no first node")
  l:pop_back()
  l:pop_front()
  l:push_back(point(1, 1))
  l:push_back(point(2, 2))
  l:push_front(point(0, 0))
  expect_eq(l:size(), 3, "three nodes")

  local seen, node = {}, l:begin()
  while node do
    table.insert(seen, l:data(node).x)
    node = l:next(node)
  end
  expect_eq(table.concat(seen, ","), "0,1,2", "forward walk")
  seen, node = {}, l["end"](l)
  while node do
    table.insert(seen, l:data(node).y)
    node = l:prev(node)
  end
  expect_eq(table.concat(seen, ","), "2,1,0", "backward walk")
  expect_eq(l:prev(l:begin()), nil, "nothing before the first node")
  expect_eq(l:next(l["end"](l)), nil, "nothing after the last node")

  -- A node that left the list, or belongs to another, names nothing here.
  local first = l:begin()
  l:pop_front()
  expect_eq(count(l:data(first)), 0, "removed node has no data")
  expect_eq(l:next(first), nil, "removed node has no successor")
  l:push_front(point(9, 9))
  expect_eq(count(l:data(first)), 0, "a reused slot does not revive an old node")
  local other = KVQPointList:new_local()
  other:push_back(point(7, 7))
  expect_eq(count(l:data(other:begin())), 0, "another list's node")
  expect_eq(count(l:data(point(1, 1))), 0, "an object is not a node")
  expect_eq(count(l:data(nil)), 0, "nil is not a node")
  expect_error(function() l:data(5) end)

  -- data is a copy: the list's point does not change through it, nor vanish under it.
  local held = l:data(l:begin())
  l:clear()
  expect_eq(l:size(), 0, "cleared")
  expect_eq(l:begin(), nil, "cleared list has no nodes")
  expect_point(held, 9, 9, "held point outlives its node")
  expect_error(function() l:push_back(nil) end)
end

-- delete: the object goes once; the script's handle then reports errors, also after collection.
do
  local classes = { IntArray, KVQPointArray, KVQPointList }
  for _, class in ipairs(classes) do
    local owned = class:new()
    owned:delete()
    expect_error(function() return owned:size() end, "self")
    expect_error(function() owned:delete() end, "self")
    local collected = class:new_local()
    collected:delete()
    expect_error(function() collected:delete() end, "self")
  end
  collectgarbage("collect")
  local again = IntArray:new()
  expect_eq(again:size(), 0, "a new object at a reused address is usable")
  again:delete()
end
