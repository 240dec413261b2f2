-- Every name the script API promises, walked against the live Lua state: each class with its
-- members, each global function and each constant. A missing name fails the test.
--
-- Member notation: "@name" a static (called with the dot or the colon), ".name" a property,
-- "=name" a read-only property, anything else a member function.

KVQDoFile("support.lua")

-- Names the walk may skip while their classes are being built (none today).
local expected_missing = {
}

local classes = {
  {"RGBA", "@new @new_local .red .green .blue .alpha"},
  {"KVQColor", "@new @new_local .r .g .b .a"},
  {"KVQPoint", "@new @new_local .x .y .add .sub .mul .eq"},
  {"KVQVector2D", "@new @new_local .x .y .add .sub .mul .eq dot angle normalize"},
  {"KVQRect", "@new @new_local Width Height .left .right .top .bottom Center TopLeft TopRight"
    .. " BottomLeft BottomRight Normalize Union IsInterset Interset Combine IsIncludePoint"
    .. " IsIncludeRect Inflate Deflate"},
  {"IntArray", "@new @new_local delete size set get push erase zero_size resize"},
  {"WndArray", "@new @new_local delete size set get push erase zero_size load"},
  {"KVQPointArray", "@new @new_local delete size set get push erase zero_size"},
  {"KVQPointList", "@new @new_local delete size push_back push_front pop_back pop_front data"
    .. " begin end next prev clear"},
  {"IRender", ".IsVisible .nBlendMode Clone GetAttributeNameRef GetAttribute SetAttribute"
    .. " ProcMessage GetOwner GetAddress"},
  {"CKVQWindow", "@new Delete BookMsg ProcMessage DelRender AddRender GetRender GetChildIndex"
    .. " GetChildByIndex Clone SetClassName GetClassName SetName GetName HitTest HitTest0"
    .. " GetDepth GetFrame GetRect GetHeight SetHeight GetWidth SetWidth GetScreenPos"
    .. " ScreenToWindowPos GetPos SetPos GetHotPos SetHotPos NormalAligned RenderLayerDown"
    .. " RenderLayerUp LayerDown LayerUp LayerTop TopMost SetBit DelBit IsBitSet IsFrameWindow"
    .. " IsExternWnd IsClipChildren GetExtY GetExtX SetExtY SetExtX GetExtW GetExtH SetExtW"
    .. " SetExtH IsFocus IsCanFocus IsCapture IsVisible GetOldState GetState SetState Hide Show"
    .. " SetSideAligned GetParent Invalidate IsChild GetRoot GetChild GetKVQWindow"
    .. " GetFirstChild GetLastChild GetPrevSibling GetNextSibling ClearChilds GetChildCount"
    .. " DeleteChild AddChild OnLoad OnUnload SetCapture SetFocus SetDirty SetClipOffset"
    .. " GetVisualFrame IsHideChildren HideChildren SetAligned IsCanBeSelected IsDeleted"
    .. " IsSelected SetSelected GetAttributeNameRef GetAttribute SetAttribute GetAddData"
    .. " SetAddData GetID SetMask SetScale GetCloseSiblings GetAddress SetExtraData"
    .. " GetExtraData Distance GetWindowHandle @FromHandle LoadChildsFromFile"
    .. " SaveChildsToFile MoveToCenter .eq EnableDrag Zoom"},
  {"CKVQMessage", "@new @new_local uiboolean bool int long sint8 uint8 sint16 uint16 uint32"
    .. " float string Ptr getMode setMode PushAddress ResetAddress getSystemData getData"
    .. " setData"},
  {"CKVQWindowMgr", "@Instance Load RevisePosInfo Save GetRoot BookMessage UnBookMessage"
    .. " ProcessMessage"},
  {"CKVQWindowDic", "@new Load Save CloneClass GetName Zoom"},
  {"CKVQWindowDicMgr", "GetDicByName CloneClass"},
  {"CKVQTimerSystem", "@Instance KillTimer GetTimerLeftCount GetTriggeredCount IsTimerEnd"
    .. " AddSubTimer SetTimer"},
  {"CKVQDC", "DrawVLine DrawHLine DrawLine InvalidateRect SetInvalidate Resize"},
  {"KVQCoreCfg", ".fScreenScale .IsEditTool .IsDebuging .IsEditing .IsClickDown .nClickDownX"
    .. " .nClickDownY .nUserSaveX .nUserSaveY .nScreenWidth .nScreenHeight .IsAutoScale"
    .. " .nAutoOffsetX .nAutoOffsetY .fAutoScaleX .fAutoScaleY .nLongClickTime"},
  {"CKVQString", "@new @new_local ConstructWithMB ConstructWithUtf8 GetMBString GetUtf8String"},
  {"CKVQDBConfig", "GetIntValue GetFloatValue GetStringValue GetFieldNums GetRowNums GetName"
    .. " GetFieldIndex GroupField UnionFieldIndex"},
  {"CKVQDBCfgSystem", "@Instance GetDBCfgByName GetDBCfgByID Load CreateIndex"},
  {"CKVQLogSystem", "@XLog @FlushAll"},
  {"_urlRequest", ".nRequestType @new .url .data .ca .tag .func .strFtpUploadLocalFile"
    .. " .strFtpUploadAsFile .strFtpRenameToFile .strFtpDownloadAsFile"
    .. " .strFtpDownloadRenameFile addHeader"},
  {"_urlResponse", ".nResponseCode .IsSuccess getRequest getResponseData getError"},
  {"CKVQCurl", "@Instance send setTimeout getTimeout setConnectTimeout getConnectTimeout"},
  {"CKVQHMAC", "@new @new_local Update HexDigest"},
  {"KVQPathLine", ".nPathID .nAddData =vecPt"},
  {"CKVQPathLineMgr", "@Instance CreatePathID GetPathLine AddPathLine LoadCfg"},
  {"CKVQAStarFinder", "@new find setGoal setStart setCollision loadMapFromMemory clear"
    .. " GetPathList"},
  {"uiHWND", ""},
  {"SimpleAudioEngine", "@sharedEngine end preloadBackgroundMusic playBackgroundMusic"
    .. " stopBackgroundMusic pauseBackgroundMusic resumeBackgroundMusic rewindBackgroundMusic"
    .. " willPlayBackgroundMusic isBackgroundMusicPlaying getBackgroundMusicVolume"
    .. " setBackgroundMusicVolume getEffectsVolume setEffectsVolume playEffect pauseEffect"
    .. " pauseAllEffects resumeEffect resumeAllEffects stopEffect stopAllEffects preloadEffect"
    .. " unloadEffect isEffectPlaying"},
  {"CKVQWave", "@new @new_local delete Load Play Pause Stop"},
  {"CKVQLock", "@new @new_local Locked UnLocked"},
  {"CKVQEvent", "@new @new_local Initialize Wait SetEvent"},
}

local functions = {
  "GetLastError", "GetLuaError", "KVQDoFile", "KVQMessageBox", "KVQAPI_GetDC", "KVQAPI_SetTimer",
  "KVQAPI_SetTimer1", "KVQAPI_timeGetTime", "KVQAPI_GetFrameTime", "KVQAPI_timeGetSystemTime",
  "KVQAPI_OutputDebugStr", "ICGuiGetKVQCoreCfg", "KVQAPIGetOS", "getCurrentLanguage",
  "GetScreenBrightness", "SetScreenBrightness", "AndroidPowerOff", "setIMEState",
  "KVQAPI_CallSystemAPI", "KVQAPI_FindSystemAPI", "KVQAPI_HookSystemNotify", "KVQAPIGetWritePath",
  "KVQAPI_GetFileSize", "KVQAPI_GetFileContent", "KVQAPI_AddSearchPath",
  "KVQAPI_PreloadImageFile", "RemoveTexture", "CloneTexture", "SumTextureColor",
  "ReplaceTextureColor", "TextureAddFrame", "tousertype", "luaopen_sqlite3", "luaopen_cjson",
}

local constants = {
  ALIGNED_LEFT = 0, ALIGNED_RIGHT = 1, ALIGNED_HCENTER = 2,
  ALIGNED_TOP = 0, ALIGNED_BOTTOM = 1, ALIGNED_VCENTER = 2,
  SIDE_LEFT = 0, SIDE_TOP = 1, SIDE_RIGHT = 2, SIDE_BOTTOM = 3,
  SM_READ = 1, SM_WRITE = 0,
  eSHA224 = 0, eSHA256 = 2, eSHA384 = 1, eSHA512 = 3,
  eRequestGet = 0, eRequestPost = 1, eRequestUploadFile = 2, eRequestDownloadFile = 3,
  eRequestUnknow = 4,
  STATUS_IsVisible = 0, STATUS_IsCanFocus = 1, STATUS_IsClipChildren = 2,
  STATUS_IsExternWindow = 3, STATUS_IsHideChildren = 4, STATUS_IsCanBeSelected = 5,
  STATUS_IsClipSelf = 6, STATUS_IsSelected = 7, STATUS_IsFrameWindow = 8, STATUS_IsDisable = 9,
  STATUS_IsActive = 10, STATUS_IsLocked = 11, STATUS_IsParentRender = 12, STATUS_IsLockPos = 13,
  STATUS_IsDisableChildren = 14, STATUS_IsNotDirty = 15, STATUS_IsCharCache = 16,
  STATUS_IsNotSerialChild = 17, STATUS_UserBitStart = 24,
}

-- ---- the walk: every missing name is collected, then reported together ----

local missing = {}
local function check(ok, what)
  if not ok then table.insert(missing, what) end
end

-- A member looked up through the class and its bases, as a call on an object would find it.
local function lookup(class, key, which)
  while class do
    local found
    if which then
      found = (rawget(class, which) or {})[key]
    else
      found = rawget(class, key)
    end
    if found ~= nil then return found end
    class = getmetatable(class)
  end
  return nil
end

for _, entry in ipairs(classes) do
  local name, members = entry[1], entry[2]
  if not expected_missing[name] then
    local class = _G[name]
    check(type(class) == "table", "class " .. name)
    if type(class) == "table" then
      for member in string.gmatch(members, "%S+") do
        local kind, key = string.match(member, "^([@.=]?)(.+)$")
        local what = name .. " " .. member
        if member == ".add" or member == ".sub" or member == ".mul" or member == ".eq" then
          check(type(lookup(class, member)) == "function", what)
        elseif kind == "." or kind == "=" then
          check(type(lookup(class, key, ".get")) == "function", what .. " (getter)")
          check((lookup(class, key, ".set") ~= nil) == (kind == "."), what .. " (setter)")
        else
          check(type(lookup(class, key)) == "function", what)
        end
      end
    end
  end
end

for _, name in ipairs(functions) do
  check(type(_G[name]) == "function", "global function " .. name)
end

for name, value in pairs(constants) do
  check(_G[name] == value, "constant " .. name .. " = " .. value)
end

if #missing > 0 then
  table.sort(missing)
  error(#missing .. " names missing:\n  " .. table.concat(missing, "\n  "))
end

-- ---- the singletons answer alike with the dot and the colon ----

for _, singleton in ipairs({
  {"CKVQWindowMgr", "Instance"}, {"CKVQTimerSystem", "Instance"},
  {"SimpleAudioEngine", "sharedEngine"}, {"CKVQCurl", "Instance"},
  {"CKVQDBCfgSystem", "Instance"}, {"CKVQPathLineMgr", "Instance"},
}) do
  local name, member = singleton[1], singleton[2]
  if not expected_missing[name] then
    local class = _G[name]
    local dotted, coloned = class[member](), class[member](class)
    expect_eq(dotted ~= nil, true, name .. "." .. member .. "()")
    expect_eq(coloned, dotted, name .. ":" .. member .. "()")
  end
end

-- ---- objects Lua owns come out of new_local alike with the dot and the colon ----

for _, entry in ipairs(classes) do
  local name = entry[1]
  if not expected_missing[name] and string.find(entry[2], "@new_local", 1, true) then
    local class = _G[name]
    expect_eq(tolua.type(class.new_local()), name, name .. ".new_local()")
    expect_eq(tolua.type(class:new_local()), name, name .. ":new_local()")
  end
end

print("script_names: all names present")
