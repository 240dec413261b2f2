#pragma once
// Hand-written side of the core-configuration module: the engine's global functions as scripts
// see them, and the setters and functions the generator cannot express safely.

#include "app/CoreCfg.h"

struct lua_State;

// Digest selectors of keyed hashing (note SHA-256 is 2 and SHA-384 is 1) and request kinds of
// the HTTP service, as scripts pass them.
enum ScriptServiceConstant : int {
    kScriptSHA224 = 0,
    kScriptSHA384 = 1,
    kScriptSHA256 = 2,
    kScriptSHA512 = 3,
    kScriptRequestGet = 0,
    kScriptRequestPost = 1,
    kScriptRequestUploadFile = 2,
    kScriptRequestDownloadFile = 3,
    kScriptRequestUnknow = 4,
};

// The operating-system name scripts branch on.
constexpr const char* kScriptOSName = "LINUX";
constexpr const char* kScriptLanguage = "cn";

KVQCoreCfg* ScriptCoreCfg();
bool ScriptOutputDebugStr(const char* text);
const char* ScriptGetOS();
const char* ScriptGetCurrentLanguage();
int ScriptGetScreenBrightness();
void ScriptSetScreenBrightness(double brightness);
void ScriptAndroidPowerOff();
void ScriptSetIMEState(bool open);
const char* ScriptCallSystemAPI(const char* name, const char* argument);
bool ScriptFindSystemAPI(const char* name);
void ScriptHookSystemNotify(const char* name);
void ScriptAddSearchPath(const char* path);
const char* ScriptGetWritePath();
int ScriptGetFileSize(const char* path);

namespace corecfg_glue {
int SetClickDownX(lua_State* L);
int SetClickDownY(lua_State* L);
int SetUserSaveX(lua_State* L);
int SetUserSaveY(lua_State* L);
int SetScreenWidth(lua_State* L);
int SetScreenHeight(lua_State* L);
int SetAutoOffsetX(lua_State* L);
int SetAutoOffsetY(lua_State* L);
int SetLongClickTime(lua_State* L);
// KVQAPI_GetFileContent(path): the whole file up to its first NUL byte, or no value when the
// file is missing or empty.
int GetFileContent(lua_State* L);
}  // namespace corecfg_glue
