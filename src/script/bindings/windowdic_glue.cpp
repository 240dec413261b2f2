// The dictionary manager's members as scripts call them, on the class itself (with the dot or the
// colon), and the collector of dictionaries that scripts own.

#include "io/Archive.h"
#include "script/BindingGuards.h"
#include "tolua++.h"
#include "ui/Window.h"
#include "ui/WindowDic.h"

namespace {

constexpr const char* kManagerType = "CKVQWindowDicMgr";

// The text argument: the first argument, or the second when the call passed the class first.
const char* TextArgument(lua_State* L, const char* function)
{
    const int at = lua_istable(L, 1) ? 2 : 1;
    if (lua_type(L, at) != LUA_TSTRING)
        luaL_error(L, "argument #%d of '%s' is '%s'; 'string' expected", at, function, luaL_typename(L, at));
    return lua_tostring(L, at);
}

// GetDicByName(path) -> the cached dictionary of that file (loaded on first use), or nil.
int GetDicByName(lua_State* L)
{
    const char* path = TextArgument(L, "GetDicByName");
    CKVQWindowDic* dic = CKVQWindowDicMgr::Instance().GetDicByName(path);
    if (dic == nullptr)
        lua_pushnil(L);
    else
        tolua_pushusertype(L, dic, "CKVQWindowDic");  // the manager keeps it: no collector
    return 1;
}

// CloneClass("file:class") -> a new window, or nil.
int CloneClass(lua_State* L)
{
    const char* text = TextArgument(L, "CloneClass");
    CKVQWindow* window = CKVQWindowDicMgr::Instance().CloneClass(text);
    if (window == nullptr)
        lua_pushnil(L);
    else
        tolua_pushusertype(L, window, "CKVQWindow");
    return 1;
}

// Dictionaries made by new_local: deleting one deletes its templates; its pointer token dies
// with it, so a message that carried it cannot lead back to it.
int Collect(lua_State* L)
{
    delete static_cast<CKVQWindowDic*>(TakeCollectedObject(L));
    return 0;
}

}  // namespace

// Called by the generated module with the global module open, after the classes are registered.
void RegisterWindowDicGlue(lua_State* L)
{
    SetClassCollector(L, "CKVQWindowDic", Collect);
    SetClassCollector(L, "const CKVQWindowDic", Collect);
    tolua_beginmodule(L, kManagerType);
    tolua_function(L, "GetDicByName", GetDicByName);
    tolua_function(L, "CloneClass", CloneClass);
    tolua_endmodule(L);
}
