// The window manager's members as scripts call them. The manager is a singleton, so a member may
// be called on it with the colon, or on the class with the dot or the colon: the first argument is
// passed over when it is the manager or its class. Arguments of the wrong kind read as nil (texts
// and objects), and every member tolerates nil.

#include "tolua++.h"
#include "ui/Message.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

constexpr const char* kManagerType = "CKVQWindowMgr";
constexpr const char* kWindowType = "CKVQWindow";
constexpr const char* kMessageType = "CKVQMessage";

// Index of the first real argument.
int FirstArgument(lua_State* L)
{
    if (lua_istable(L, 1))
        return 2;
    tolua_Error error;
    if (lua_isuserdata(L, 1) && tolua_isusertype(L, 1, kManagerType, 0, &error))
        return 2;
    return 1;
}

const char* Text(lua_State* L, int index)
{
    return lua_type(L, index) == LUA_TSTRING ? lua_tostring(L, index) : nullptr;
}

template <typename T>
T* Object(lua_State* L, int index, const char* type)
{
    tolua_Error error;
    if (!lua_isuserdata(L, index) || !tolua_isusertype(L, index, type, 0, &error))
        return nullptr;
    return static_cast<T*>(tolua_tousertype(L, index, nullptr));
}

int Instance(lua_State* L)
{
    tolua_pushusertype(L, &CKVQWindowMgr::Instance(), kManagerType);
    return 1;
}

int Load(lua_State* L)
{
    const int at = FirstArgument(L);
    lua_pushboolean(L, CKVQWindowMgr::Instance().Load(Text(L, at)) ? 1 : 0);
    return 1;
}

int RevisePosInfo(lua_State* L)
{
    const int at = FirstArgument(L);
    CKVQWindowMgr::Instance().RevisePosInfo(Text(L, at));
    return 0;
}

int Save(lua_State* L)
{
    const int at = FirstArgument(L);
    lua_pushboolean(L, CKVQWindowMgr::Instance().Save(Text(L, at)) ? 1 : 0);
    return 1;
}

int GetRoot(lua_State* L)
{
    CKVQWindow* root = CKVQWindowMgr::Instance().GetRoot();
    if (root == nullptr)
        lua_pushnil(L);
    else
        tolua_pushusertype(L, root, kWindowType);
    return 1;
}

int BookMessage(lua_State* L)
{
    const int at = FirstArgument(L);
    const char* name = Text(L, at);
    auto* window = Object<CKVQWindow>(L, at + 1, kWindowType);
    lua_pushnumber(L, CKVQWindowMgr::Instance().BookMessage(name, window));
    return 1;
}

int UnBookMessage(lua_State* L)
{
    const int at = FirstArgument(L);
    const char* name = Text(L, at);
    auto* window = Object<CKVQWindow>(L, at + 1, kWindowType);
    lua_pushnumber(L, CKVQWindowMgr::Instance().UnBookMessage(name, window));
    return 1;
}

int ProcessMessage(lua_State* L)
{
    const int at = FirstArgument(L);
    const char* name = Text(L, at);
    auto* message = Object<CKVQMessage>(L, at + 1, kMessageType);
    auto* sender = Object<CKVQWindow>(L, at + 2, kWindowType);
    CKVQWindowMgr::Instance().ProcessMessage(name, message, sender);
    return 0;
}

}  // namespace

// Called by the generated module with the global module open, after the class is registered.
void RegisterWindowMgrGlue(lua_State* L)
{
    tolua_beginmodule(L, kManagerType);
    tolua_function(L, "Instance", Instance);
    tolua_function(L, "Load", Load);
    tolua_function(L, "RevisePosInfo", RevisePosInfo);
    tolua_function(L, "Save", Save);
    tolua_function(L, "GetRoot", GetRoot);
    tolua_function(L, "BookMessage", BookMessage);
    tolua_function(L, "UnBookMessage", UnBookMessage);
    tolua_function(L, "ProcessMessage", ProcessMessage);
    tolua_endmodule(L);
}
