-- The engine string from scripts: the game's code page (GB2312 here) and UTF-8 views of one text.
KVQDoFile("support.lua")

local ZHONG_UTF8 = "\228\184\173" -- the character 中 in UTF-8
local ZHONG_GB = "\214\208"       -- the same character in GB2312

do
  local s = CKVQString:new_local()
  expect_eq(s:GetMBString(), "", "a new string is empty")
  expect_eq(s:GetUtf8String(), "", "empty in UTF-8 too")

  s:ConstructWithMB("hello")
  expect_eq(s:GetMBString(), "hello", "ASCII text")
  expect_eq(s:GetUtf8String(), "hello", "ASCII is the same in UTF-8")

  -- Each assignment replaces the text and the other form follows it.
  s:ConstructWithUtf8(ZHONG_UTF8 .. "a")
  expect_eq(s:GetMBString(), ZHONG_GB .. "a", "UTF-8 in, code page out")
  s:ConstructWithMB(ZHONG_GB)
  expect_eq(s:GetUtf8String(), ZHONG_UTF8, "code page in, three UTF-8 bytes out")

  -- Conversion stops at the first sequence that is not UTF-8 and keeps what came before.
  s:ConstructWithUtf8("ab\255cd")
  expect_eq(s:GetMBString(), "ab", "invalid UTF-8 cut")

  -- Absent or nil texts are the empty string; numbers read as their text.
  s:ConstructWithMB("x")
  s:ConstructWithMB()
  expect_eq(s:GetMBString(), "", "absent text")
  s:ConstructWithMB("x")
  s:ConstructWithUtf8(nil)
  expect_eq(s:GetMBString(), "", "nil text")
  s:ConstructWithMB(12)
  expect_eq(s:GetMBString(), "12", "a number as text")
  expect_error(function() s:ConstructWithMB({}) end)
  expect_error(function() s:ConstructWithUtf8("a", "b") end)
  expect_error(function() CKVQString.GetMBString(nil) end, "self")
  expect_error(function() CKVQString.GetUtf8String("text") end)
end

-- Strings made with new live until delete; after it the handle only reports errors.
do
  local s = CKVQString:new()
  s:ConstructWithMB("kept")
  local same = s
  s:delete()
  expect_error(function() return same:GetMBString() end, "self")
  expect_error(function() s:delete() end, "self")

  local collected = CKVQString:new_local()
  collected:delete()
  collectgarbage("collect") -- the collector must not delete it a second time
  expect_error(function() collected:ConstructWithMB("x") end, "self")
end
