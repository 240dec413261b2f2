#include "script/bindings/corecfg_glue.h"

#include <new>

#include "app/SystemAPI.h"
#include "io/FileSystem.h"
#include "script/bindings/geometry_glue.h"
#include "tolua++.h"

// tolua_error leaves through longjmp: nothing with a destructor may be alive where it is called.

static const char* OrEmpty(const char* text)
{
    return text != nullptr ? text : "";
}

KVQCoreCfg* ScriptCoreCfg()
{
    return &GetCoreCfg();
}

bool ScriptOutputDebugStr(const char* text)
{
    return KVQAPI_OutputDebugStr(OrEmpty(text));
}

const char* ScriptGetOS()
{
    return kScriptOSName;
}

const char* ScriptGetCurrentLanguage()
{
    return kScriptLanguage;
}

int ScriptGetScreenBrightness()
{
    return 0;
}

// Desktop platforms have neither a screen brightness nor a power-off switch for games.
void ScriptSetScreenBrightness(double)
{
}

void ScriptAndroidPowerOff()
{
}

void ScriptSetIMEState(bool open)
{
    CKVQSystemAPI::Instance().SetIMEState(open);
}

const char* ScriptCallSystemAPI(const char* name, const char* argument)
{
    return CKVQSystemAPI::Instance().CallSystemAPI(OrEmpty(name), OrEmpty(argument)).c_str();
}

bool ScriptFindSystemAPI(const char* name)
{
    return CKVQSystemAPI::Instance().FindSystemAPI(OrEmpty(name));
}

void ScriptHookSystemNotify(const char* name)
{
    CKVQSystemAPI::Instance().HookSystemNotify(OrEmpty(name));
}

void ScriptAddSearchPath(const char* path)
{
    GetFileSystem().AddSearchPath(OrEmpty(path));
}

const char* ScriptGetWritePath()
{
    return GetFileSystem().GetWritePath().c_str();
}

int ScriptGetFileSize(const char* path)
{
    return GetFileSystem().GetFileSizeOnDisk(OrEmpty(path));
}

namespace {

// The record behind argument 1, then the number of argument 2; a script error otherwise.
double CheckedAssignment(lua_State* L, KVQCoreCfg*& self)
{
    tolua_Error err;
    if (!tolua_isusertype(L, 1, "KVQCoreCfg", 0, &err))
        tolua_error(L, "invalid 'self' in accessing a configuration property", nullptr);
    self = static_cast<KVQCoreCfg*>(tolua_tousertype(L, 1, nullptr));
    if (self == nullptr)
        tolua_error(L, "invalid 'self' in accessing a configuration property", nullptr);
    if (!tolua_isnumber(L, 2, 0, &err))
        tolua_error(L, "#vinvalid type in variable assignment.", &err);
    return tolua_tonumber(L, 2, 0);
}

int SetInteger(lua_State* L, int32_t KVQCoreCfg::*field)
{
    KVQCoreCfg* self = nullptr;
    const double value = CheckedAssignment(L, self);
    self->*field = ScriptToInt32(value);
    return 0;
}

// Reads the whole file into a new[] block of its size plus a terminating zero; null when the
// file is missing, empty, or the block cannot be had. The file is closed before returning, so
// the caller holds no open file while it talks to Lua.
char* ReadWholeFile(const char* path)
{
    CFileSystem& fs = GetFileSystem();
    IFile* file = fs.Open(path, true);
    if (file == nullptr)
        return nullptr;
    const int32_t size = file->GetSize();
    char* block = size > 0 ? new (std::nothrow) char[static_cast<size_t>(size) + 1] : nullptr;
    int32_t length = 0;
    if (block != nullptr) {
        length = file->Read(block, size);
        if (length < 0 || length > size)
            length = 0;
        block[length] = '\0';
    }
    fs.Close(file);
    if (length == 0) {
        delete[] block;
        return nullptr;
    }
    return block;
}

}  // namespace

namespace corecfg_glue {

int SetClickDownX(lua_State* L)
{
    return SetInteger(L, &KVQCoreCfg::nClickDownX);
}

int SetClickDownY(lua_State* L)
{
    return SetInteger(L, &KVQCoreCfg::nClickDownY);
}

int SetUserSaveX(lua_State* L)
{
    return SetInteger(L, &KVQCoreCfg::nUserSaveX);
}

int SetUserSaveY(lua_State* L)
{
    return SetInteger(L, &KVQCoreCfg::nUserSaveY);
}

int SetScreenWidth(lua_State* L)
{
    return SetInteger(L, &KVQCoreCfg::nScreenWidth);
}

int SetScreenHeight(lua_State* L)
{
    return SetInteger(L, &KVQCoreCfg::nScreenHeight);
}

int SetAutoOffsetX(lua_State* L)
{
    return SetInteger(L, &KVQCoreCfg::nAutoOffsetX);
}

int SetAutoOffsetY(lua_State* L)
{
    return SetInteger(L, &KVQCoreCfg::nAutoOffsetY);
}

int SetLongClickTime(lua_State* L)
{
    KVQCoreCfg* self = nullptr;
    const double value = CheckedAssignment(L, self);
    self->nLongClickTime = ScriptToUInt32(value);
    return 0;
}

int GetFileContent(lua_State* L)
{
    tolua_Error err;
    if (!tolua_isstring(L, 1, 1, &err) || !tolua_isnoobj(L, 2, &err))
        tolua_error(L, "#ferror in function 'KVQAPI_GetFileContent'.", &err);
    char* content = ReadWholeFile(OrEmpty(tolua_tostring(L, 1, "")));
    if (content == nullptr)
        return 0;
    // The text ends at the first NUL byte. Lua reports running out of memory by longjmp, which
    // would leak the block: the only cost of that path.
    lua_pushstring(L, content);
    delete[] content;
    return 1;
}

}  // namespace corecfg_glue
