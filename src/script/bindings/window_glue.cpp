// Window members that scripts call with a rectangle or point to fill, identity comparison, the
// window array's accessors, the render object's message offer, and "KVQDoFile".
//
// Object arguments may be nil (tolua++ lets nil through for object parameters): a member then
// does nothing. Lua reports errors with a long jump, so every check that can raise one runs
// before any object with a destructor is alive.

#include <cstdint>
#include <initializer_list>
#include <optional>

#include "common/Types.h"
#include "render/Render.h"
#include "render/RenderDisposal.h"
#include "script/LuaHost.h"
#include "script/bindings/geometry_glue.h"
#include "tolua++.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

constexpr const char* kWindowType = "CKVQWindow";
constexpr const char* kArrayType = "WndArray";
constexpr const char* kRenderType = "IRender";

// The object at index when it is of type (nil gives null); a reported script error otherwise.
template <typename T>
T* Object(lua_State* L, int index, const char* type, const char* function)
{
    tolua_Error error;
    if (!tolua_isusertype(L, index, type, 0, &error)) {
        lua_pushfstring(L, "#ferror in function '%s'.", function);
        tolua_error(L, lua_tostring(L, -1), &error);
    }
    return static_cast<T*>(tolua_tousertype(L, index, nullptr));
}

template <typename T>
T* Self(lua_State* L, const char* type, const char* function)
{
    T* self = Object<T>(L, 1, type, function);
    if (self == nullptr)
        luaL_error(L, "invalid 'self' in function '%s'", function);
    return self;
}

double Number(lua_State* L, int index, const char* function)
{
    if (!lua_isnumber(L, index))
        luaL_error(L, "argument #%d of '%s' is '%s'; 'number' expected", index, function, luaL_typename(L, index));
    return lua_tonumber(L, index);
}

// ---- the window ----

// GetFrame(rect), GetRect(rect), GetVisualFrame(rect): fill the rectangle passed in.
template <KVQRect (*Read)(CKVQWindow&)>
int FillRect(lua_State* L, const char* function)
{
    CKVQWindow* self = Self<CKVQWindow>(L, kWindowType, function);
    KVQRect* out = Object<KVQRect>(L, 2, "KVQRect", function);
    if (out != nullptr)
        *out = Read(*self);
    return 0;
}

KVQRect RectOf(CKVQWindow& window) { return window.GetRect(); }
KVQRect VisualFrameOf(CKVQWindow& window) { return window.GetVisualFrame(); }
KVQPoint ScreenPosOf(CKVQWindow& window) { return window.GetScreenPos(); }
KVQPoint PosOf(CKVQWindow& window) { return window.GetPos(); }
KVQPoint HotPosOf(CKVQWindow& window) { return window.GetHotPos(); }

int GetFrame(lua_State* L) { return FillRect<RectOf>(L, "GetFrame"); }
int GetRect(lua_State* L) { return FillRect<RectOf>(L, "GetRect"); }
int GetVisualFrame(lua_State* L) { return FillRect<VisualFrameOf>(L, "GetVisualFrame"); }

// GetScreenPos(point), GetPos(point), GetHotPos(point): fill the point passed in.
template <KVQPoint (*Read)(CKVQWindow&)>
int FillPoint(lua_State* L, const char* function)
{
    CKVQWindow* self = Self<CKVQWindow>(L, kWindowType, function);
    KVQPoint* out = Object<KVQPoint>(L, 2, "KVQPoint", function);
    if (out != nullptr)
        *out = Read(*self);
    return 0;
}

int GetScreenPos(lua_State* L) { return FillPoint<ScreenPosOf>(L, "GetScreenPos"); }
int GetPos(lua_State* L) { return FillPoint<PosOf>(L, "GetPos"); }
int GetHotPos(lua_State* L) { return FillPoint<HotPosOf>(L, "GetHotPos"); }

// ScreenToWindowPos(in, out): out becomes in minus the window's screen position.
int ScreenToWindowPos(lua_State* L)
{
    CKVQWindow* self = Self<CKVQWindow>(L, kWindowType, "ScreenToWindowPos");
    KVQPoint* in = Object<KVQPoint>(L, 2, "KVQPoint", "ScreenToWindowPos");
    KVQPoint* out = Object<KVQPoint>(L, 3, "KVQPoint", "ScreenToWindowPos");
    if (in != nullptr && out != nullptr)
        *out = self->ScreenToWindowPos(*in);
    return 0;
}

// ".eq": the same window. (The pointer cache already gives one userdata per window; this answers
// for two userdata only when one of them was emptied, and then they are not the same window.)
int Equal(lua_State* L)
{
    auto* a = static_cast<CKVQWindow*>(tolua_tousertype(L, 1, nullptr));
    auto* b = static_cast<CKVQWindow*>(tolua_tousertype(L, 2, nullptr));
    lua_pushboolean(L, a != nullptr && a == b);
    return 1;
}

// ---- the window array ----

// Whether the script host still knows window as a live object. Every window holds a reference to
// its script object from creation until its release, and the host drops a released window from
// tolua++'s pointer cache; so a window an array still names after its release is not found, and
// its (freed or recycled) memory is never touched.
bool IsKnownWindow(lua_State* L, CKVQWindow* window)
{
    luaL_getmetatable(L, kWindowType);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return false;
    }
    lua_pushstring(L, "tolua_ubox");
    lua_rawget(L, -2);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        lua_pushstring(L, "tolua_ubox");
        lua_rawget(L, LUA_REGISTRYINDEX);
    }
    bool known = false;
    if (lua_istable(L, -1)) {
        lua_pushlightuserdata(L, window);
        lua_rawget(L, -2);
        known = lua_isuserdata(L, -1) && *static_cast<void**>(lua_touserdata(L, -1)) == window;
        lua_pop(L, 1);
    }
    lua_pop(L, 2);
    return known;
}

int Index(lua_State* L, int at, const char* function)
{
    double value = Number(L, at, function);
    return ScriptToInt32(value);
}

int ArraySize(lua_State* L)
{
    WndArray* self = Self<WndArray>(L, kArrayType, "size");
    lua_pushnumber(L, self->Size());
    return 1;
}

// get(index): the window, typed "CKVQWindow"; no value at or past the end (or before the start),
// nil for an empty entry or a window released since it was stored.
int ArrayGet(lua_State* L)
{
    WndArray* self = Self<WndArray>(L, kArrayType, "get");
    const int32_t index = Index(L, 2, "get");
    std::optional<CKVQWindow*> window = self->Get(index);
    if (!window)
        return 0;
    if (*window == nullptr || !IsKnownWindow(L, *window))
        lua_pushnil(L);
    else
        tolua_pushusertype(L, *window, kWindowType);
    return 1;
}

int ArraySet(lua_State* L)
{
    WndArray* self = Self<WndArray>(L, kArrayType, "set");
    const int32_t index = Index(L, 2, "set");
    CKVQWindow* window = Object<CKVQWindow>(L, 3, kWindowType, "set");
    self->Set(index, window);
    return 0;
}

int ArrayPush(lua_State* L)
{
    WndArray* self = Self<WndArray>(L, kArrayType, "push");
    CKVQWindow* window = Object<CKVQWindow>(L, 2, kWindowType, "push");
    self->Push(window);
    return 0;
}

// erase(index[, keepOrder])
int ArrayErase(lua_State* L)
{
    WndArray* self = Self<WndArray>(L, kArrayType, "erase");
    const int32_t index = Index(L, 2, "erase");
    self->Erase(index, lua_toboolean(L, 3) != 0);
    return 0;
}

int ArrayZeroSize(lua_State* L)
{
    Self<WndArray>(L, kArrayType, "zero_size")->ZeroSize();
    return 0;
}

// delete: the userdata is emptied first, so a later call through it (or its collection, for an
// array made by new_local) never reaches the freed array.
int ArrayDelete(lua_State* L)
{
    Self<WndArray>(L, kArrayType, "delete");
    delete static_cast<WndArray*>(DetachScriptObject(L, 1));
    return 0;
}

// ---- render objects ----

// ProcMessage(window, name, message, sender): offers the message with window as the owner the
// handlers see. The object keeps its own owner afterwards: an object that scripts offer a
// message on behalf of another window must not end up pointing at that window, which may be
// released while the object lives on.
int RenderProcMessage(lua_State* L)
{
    IRender* self = Self<IRender>(L, kRenderType, "ProcMessage");
    CKVQWindow* window = Object<CKVQWindow>(L, 2, kWindowType, "ProcMessage");
    if (!lua_isstring(L, 3))
        luaL_error(L, "argument #3 of 'ProcMessage' is '%s'; 'string' expected", luaL_typename(L, 3));
    const char* name = lua_tostring(L, 3);
    CKVQMessage* message = Object<CKVQMessage>(L, 4, "CKVQMessage", "ProcMessage");
    CKVQWindow* sender = Object<CKVQWindow>(L, 5, kWindowType, "ProcMessage");
    int32_t handled = 0;
    {
        // Keeps self alive even when a handler removes it from its list.
        RenderDispatchScope scope;
        CKVQWindow* owner = self->GetOwner();
        handled = self->ProcMessage(window, name, message, sender);
        self->SetOwner(owner);
    }
    lua_pushnumber(L, handled);
    return 1;
}

// ---- globals ----

// KVQDoFile(path) -> boolean: runs a script file once through the host.
int DoFile(lua_State* L)
{
    const char* path = lua_type(L, 1) == LUA_TSTRING ? lua_tostring(L, 1) : nullptr;
    CKVQLuaHost* host = GetCurrentHost();
    lua_pushboolean(L, path != nullptr && host != nullptr && host->DoFile(path));
    return 1;
}

}  // namespace

// In message_glue.cpp: lets the named statics be called with the dot as well as the colon.
void AcceptDotCalls(lua_State* L, const char* typeName, std::initializer_list<const char*> names);

// Called by the generated module with the global module open, after the classes are registered.
void RegisterWindowGlue(lua_State* L)
{
    tolua_beginmodule(L, kWindowType);
    tolua_function(L, "GetFrame", GetFrame);
    tolua_function(L, "GetRect", GetRect);
    tolua_function(L, "GetVisualFrame", GetVisualFrame);
    tolua_function(L, "GetScreenPos", GetScreenPos);
    tolua_function(L, "ScreenToWindowPos", ScreenToWindowPos);
    tolua_function(L, "GetPos", GetPos);
    tolua_function(L, "GetHotPos", GetHotPos);
    tolua_function(L, ".eq", Equal);
    tolua_endmodule(L);

    tolua_beginmodule(L, kArrayType);
    tolua_function(L, "delete", ArrayDelete);
    tolua_function(L, "size", ArraySize);
    tolua_function(L, "get", ArrayGet);
    tolua_function(L, "set", ArraySet);
    tolua_function(L, "push", ArrayPush);
    tolua_function(L, "erase", ArrayErase);
    tolua_function(L, "zero_size", ArrayZeroSize);
    tolua_endmodule(L);

    tolua_beginmodule(L, kRenderType);
    tolua_function(L, "ProcMessage", RenderProcMessage);
    tolua_endmodule(L);

    AcceptDotCalls(L, kWindowType, {"new", "FromHandle"});
    AcceptDotCalls(L, kArrayType, {"new", "new_local"});
    tolua_function(L, "KVQDoFile", DoFile);
}
