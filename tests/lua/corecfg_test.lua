-- The core configuration, the engine's global functions and the service constants.
KVQDoFile("support.lua")

local function count(...)
  return select("#", ...)
end

local cfg = ICGuiGetKVQCoreCfg()
assert(rawequal(cfg, ICGuiGetKVQCoreCfg()), "one configuration object, one userdata")

-- Every property reads with its kind.
do
  local kinds = {
    fScreenScale = "number", IsEditTool = "boolean", IsDebuging = "boolean",
    IsEditing = "boolean", IsClickDown = "boolean", nClickDownX = "number",
    nClickDownY = "number", nUserSaveX = "number", nUserSaveY = "number",
    nScreenWidth = "number", nScreenHeight = "number", IsAutoScale = "boolean",
    nAutoOffsetX = "number", nAutoOffsetY = "number", fAutoScaleX = "number",
    fAutoScaleY = "number", nLongClickTime = "number",
  }
  for name, kind in pairs(kinds) do
    expect_eq(type(cfg[name]), kind, name)
  end
end

-- Integer properties truncate toward zero and stop at the ends of their range.
do
  local saved = cfg.nClickDownX
  cfg.nClickDownX = 12.7
  expect_eq(cfg.nClickDownX, 12, "truncated")
  cfg.nClickDownX = -12.7
  expect_eq(cfg.nClickDownX, -12, "toward zero")
  cfg.nClickDownX = 1e20
  expect_eq(cfg.nClickDownX, 2147483647, "saturated")
  cfg.nClickDownX = 0 / 0
  expect_eq(cfg.nClickDownX, 0, "not a number")
  cfg.nClickDownX = "640"
  expect_eq(cfg.nClickDownX, 640, "a numeric string")
  expect_error(function() cfg.nClickDownX = "wide" end, "invalid type")
  expect_error(function() cfg.nScreenWidth = {} end, "invalid type")
  cfg.nClickDownX = saved

  -- The long-click time is unsigned: a negative number wraps as it would in C.
  local long = cfg.nLongClickTime
  cfg.nLongClickTime = 1500.9
  expect_eq(cfg.nLongClickTime, 1500, "unsigned truncated")
  cfg.nLongClickTime = -1
  expect_eq(cfg.nLongClickTime, 4294967295, "unsigned wrap")
  cfg.nLongClickTime = long

  local scale = cfg.fScreenScale
  cfg.fScreenScale = 1.5
  expect_eq(cfg.fScreenScale, 1.5, "float property")
  cfg.fScreenScale = scale

  local editing = cfg.IsEditing
  cfg.IsEditing = true
  expect_eq(cfg.IsEditing, true, "boolean property")
  cfg.IsEditing = nil
  expect_eq(cfg.IsEditing, false, "nil is false")
  expect_error(function() cfg.IsEditing = 1 end, "invalid type")
  cfg.IsEditing = editing

  expect_error(function() return KVQCoreCfg[".get"].nScreenWidth(nil) end, "self")
  expect_error(function() KVQCoreCfg[".set"].nScreenWidth("cfg", 1) end, "self")
end

-- Constants of the services (note SHA-256 is 2 and SHA-384 is 1).
do
  expect_eq(eSHA224, 0, "eSHA224")
  expect_eq(eSHA256, 2, "eSHA256")
  expect_eq(eSHA384, 1, "eSHA384")
  expect_eq(eSHA512, 3, "eSHA512")
  expect_eq(eRequestGet, 0, "eRequestGet")
  expect_eq(eRequestPost, 1, "eRequestPost")
  expect_eq(eRequestUploadFile, 2, "eRequestUploadFile")
  expect_eq(eRequestDownloadFile, 3, "eRequestDownloadFile")
  expect_eq(eRequestUnknow, 4, "eRequestUnknow")
end

-- Debug output answers the debug switch.
do
  local debugging = cfg.IsDebuging
  cfg.IsDebuging = false
  expect_eq(KVQAPI_OutputDebugStr("not shown"), false, "switch off")
  cfg.IsDebuging = true
  expect_eq(KVQAPI_OutputDebugStr("debug output from corecfg_test"), true, "switch on")
  expect_eq(KVQAPI_OutputDebugStr(), true, "absent text")
  cfg.IsDebuging = debugging
end

-- Clocks.
do
  expect_eq(type(KVQAPI_timeGetTime()), "number", "frame time")
  expect_eq(type(KVQAPI_GetFrameTime()), "number", "tick interval")
  local first = KVQAPI_timeGetSystemTime()
  local second = KVQAPI_timeGetSystemTime()
  assert(second >= first, "system time does not run backwards")
  expect_error(function() KVQAPI_timeGetTime(1) end)
end

-- The platform bridge on this platform.
do
  expect_eq(KVQAPIGetOS(), "LINUX", "operating system")
  expect_eq(getCurrentLanguage(), "cn", "language")
  expect_eq(GetScreenBrightness(), 0, "brightness")
  expect_eq(count(SetScreenBrightness(50)), 0, "brightness cannot be set")
  expect_eq(count(AndroidPowerOff()), 0, "no power switch")
  setIMEState(true)
  setIMEState(false)
  expect_error(function() setIMEState("open") end)
  expect_eq(KVQAPI_CallSystemAPI("vibrate", "100"), "", "no named system functions")
  expect_eq(KVQAPI_CallSystemAPI(), "", "absent name")
  expect_eq(KVQAPI_FindSystemAPI("vibrate"), false, "nothing registered")
  expect_eq(KVQAPI_FindSystemAPI(nil), false, "nil name")
  KVQAPI_HookSystemNotify("OnSystemNotifyFromTest")
  KVQAPI_HookSystemNotify("")
  expect_error(function() KVQAPI_HookSystemNotify({}) end)
end

-- The file system.
do
  expect_eq(KVQAPI_GetFileContent("data/hello.txt"), "hello, world\n", "whole file")
  expect_eq(KVQAPI_GetFileSize("data/hello.txt"), 13, "file size")
  expect_eq(KVQAPI_GetFileContent("data/nul.bin"), "abc", "text ends at the first NUL")
  expect_eq(KVQAPI_GetFileSize("data/nul.bin"), 7, "the size counts every byte")
  expect_eq(count(KVQAPI_GetFileContent("data/empty.txt")), 0, "empty file: no value")
  expect_eq(count(KVQAPI_GetFileContent("data/no_such_file.txt")), 0, "missing file: no value")
  expect_eq(count(KVQAPI_GetFileContent()), 0, "absent path: no value")
  expect_eq(KVQAPI_GetFileSize("data/no_such_file.txt"), -1, "missing file size")
  expect_error(function() KVQAPI_GetFileContent({}) end)

  -- A bare name is looked for in the search paths, in the order they were added, before the
  -- folders are searched (which would find either copy).
  KVQAPI_AddSearchPath("data/b")
  KVQAPI_AddSearchPath("data/a")
  expect_eq(KVQAPI_GetFileContent("pick.txt"), "from b\n", "first search path wins")
  KVQAPI_AddSearchPath(nil)

  expect_eq(type(KVQAPIGetWritePath()), "string", "write path")
end
