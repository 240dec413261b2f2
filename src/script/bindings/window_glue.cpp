// Window members that scripts call with a rectangle or point to fill, identity comparison, the
// window array's accessors, the render object's message offer, and "KVQDoFile".
//
// Object arguments may be nil (tolua++ lets nil through for object parameters): a member then
// does nothing. Lua reports errors with a long jump, so every check that can raise one runs
// before any object with a destructor is alive.

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "common/Types.h"
#include "render/Render.h"
#include "render/RenderDisposal.h"
#include "script/LuaHost.h"
#include "script/bindings/geometry_glue.h"
#include "script/bindings/window_glue.h"
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

// A window array holds raw window pointers, and a released window's memory is pooled and handed
// to the next new window. So beside every array that scripts use, the handle each entry had when
// it was stored is kept: an entry reads as its window only while that handle still names that
// window, and a released window reads as nil, never as the window that reuses its address.
// Entries the engine put in without the glue knowing (the lists disagree in length) read as nil.
std::unordered_map<const WndArray*, KVQArray<uint32_t>>& ArrayHandles()
{
    static auto* handles = new std::unordered_map<const WndArray*, KVQArray<uint32_t>>;
    return *handles;
}

uint32_t HandleOfLive(const CKVQWindow* window)
{
    return window != nullptr ? window->GetWindowHandle() : 0;
}

void ForgetArray(const WndArray* array)
{
    ArrayHandles().erase(array);
}

// What an array held before the engine filled it.
struct ArraySnapshot {
    std::vector<CKVQWindow*> windows;
    std::vector<uint32_t> handles;
};

ArraySnapshot Snapshot(const WndArray& array)
{
    ArraySnapshot snapshot;
    auto it = ArrayHandles().find(&array);
    const bool known = it != ArrayHandles().end() && it->second.Size() == array.Size();
    for (int32_t i = 0; i < array.Size(); ++i) {
        snapshot.windows.push_back(array.Get(i).value_or(nullptr));
        snapshot.handles.push_back(known ? it->second.Get(i).value_or(0) : 0);
    }
    return snapshot;
}

// After the engine filled array (it appends, and may swap the first entry with a new one): an
// entry left in place keeps its handle, an earlier entry that moved is matched by its pointer,
// and anything else is a window the engine has just put in, live, whose handle is read now.
void Resync(const WndArray& array, const ArraySnapshot& before)
{
    std::vector<bool> used(before.windows.size(), false);
    std::vector<uint32_t> handles(static_cast<size_t>(array.Size()), 0);
    std::vector<int32_t> pending;
    for (int32_t i = 0; i < array.Size(); ++i) {
        const size_t at = static_cast<size_t>(i);
        if (at < before.windows.size() && array.Get(i).value_or(nullptr) == before.windows[at]) {
            handles[at] = before.handles[at];
            used[at] = true;
        } else {
            pending.push_back(i);
        }
    }
    for (int32_t i : pending) {
        CKVQWindow* window = array.Get(i).value_or(nullptr);
        bool matched = false;
        for (size_t j = 0; j < before.windows.size() && !matched; ++j) {
            if (!used[j] && before.windows[j] == window) {
                handles[static_cast<size_t>(i)] = before.handles[j];
                used[j] = matched = true;
            }
        }
        if (!matched)
            handles[static_cast<size_t>(i)] = HandleOfLive(window);
    }
    KVQArray<uint32_t>& mirror = ArrayHandles()[&array];
    mirror.ZeroSize();
    for (uint32_t handle : handles)
        mirror.Push(handle);
}

// The window entry index names, or null when it is empty or no longer that window.
CKVQWindow* LiveEntry(const WndArray& array, int32_t index)
{
    CKVQWindow* window = array.Get(index).value_or(nullptr);
    if (window == nullptr)
        return nullptr;
    auto it = ArrayHandles().find(&array);
    if (it == ArrayHandles().end() || it->second.Size() != array.Size())
        return nullptr;
    const uint32_t handle = it->second.Get(index).value_or(0);
    if (handle == 0 || WindowModule::Get().handles.Lookup(handle) != window)
        return nullptr;
    return window;
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
    if (!self->Get(index))
        return 0;
    CKVQWindow* window = LiveEntry(*self, index);
    if (window == nullptr)
        lua_pushnil(L);
    else
        tolua_pushusertype(L, window, kWindowType);
    return 1;
}

int ArraySet(lua_State* L)
{
    WndArray* self = Self<WndArray>(L, kArrayType, "set");
    const int32_t index = Index(L, 2, "set");
    CKVQWindow* window = Object<CKVQWindow>(L, 3, kWindowType, "set");
    const ArraySnapshot before = Snapshot(*self);
    if (self->Set(index, window)) {
        Resync(*self, before);
        ArrayHandles()[self].Set(index, HandleOfLive(window));
    }
    return 0;
}

int ArrayPush(lua_State* L)
{
    WndArray* self = Self<WndArray>(L, kArrayType, "push");
    CKVQWindow* window = Object<CKVQWindow>(L, 2, kWindowType, "push");
    const ArraySnapshot before = Snapshot(*self);
    if (self->Push(window)) {
        Resync(*self, before);
        ArrayHandles()[self].Set(self->Size() - 1, HandleOfLive(window));
    }
    return 0;
}

// erase(index[, keepOrder])
int ArrayErase(lua_State* L)
{
    WndArray* self = Self<WndArray>(L, kArrayType, "erase");
    const int32_t index = Index(L, 2, "erase");
    const bool keepOrder = lua_toboolean(L, 3) != 0;
    const ArraySnapshot before = Snapshot(*self);
    if (self->Erase(index, keepOrder)) {
        KVQArray<uint32_t> handles;
        for (uint32_t handle : before.handles)
            handles.Push(handle);
        handles.Erase(index, keepOrder);
        ArrayHandles()[self] = handles;
    }
    return 0;
}

int ArrayZeroSize(lua_State* L)
{
    WndArray* self = Self<WndArray>(L, kArrayType, "zero_size");
    self->ZeroSize();
    ArrayHandles()[self].ZeroSize();
    return 0;
}

// delete: the userdata is emptied first, so a later call through it (or its collection, for an
// array made by new_local) never reaches the freed array.
int ArrayDelete(lua_State* L)
{
    Self<WndArray>(L, kArrayType, "delete");
    auto* array = static_cast<WndArray*>(DetachScriptObject(L, 1));
    ForgetArray(array);
    delete array;
    return 0;
}

// Arrays made by new_local, collected with their handle list.
int ArrayCollect(lua_State* L)
{
    auto* array = static_cast<WndArray*>(tolua_tousertype(L, 1, nullptr));
    if (array != nullptr) {
        ForgetArray(array);
        delete array;
    }
    return 0;
}

void SetArrayCollector(lua_State* L, const char* typeName)
{
    luaL_getmetatable(L, typeName);
    if (lua_istable(L, -1)) {
        lua_pushstring(L, ".collector");
        lua_pushcfunction(L, ArrayCollect);
        lua_rawset(L, -3);
    }
    lua_pop(L, 1);
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

    SetArrayCollector(L, kArrayType);
    SetArrayCollector(L, "const WndArray");
    tolua_function(L, "KVQDoFile", DoFile);
}

// ---- members bound with tolua_outside ----

int RenderGetAttributeNameRef(IRender* self, const char* name, double index)
{
    return self->GetAttributeNameRef(name, ScriptToInt32(index));
}

std::string RenderGetAttribute(IRender* self, double index)
{
    return self->GetAttribute(ScriptToInt32(index));
}

bool RenderSetAttribute(IRender* self, double index, const char* text)
{
    return self->SetAttribute(ScriptToInt32(index), text);
}

double RenderGetAddress(IRender* self, double index)
{
    return static_cast<double>(self->GetAddress(ScriptToInt32(index)));
}

CKVQWindow* WindowGetChildByIndex(CKVQWindow* self, double index)
{
    return self->GetChildByIndex(ScriptToInt32(index));
}

CKVQWindow* WindowHitTest(CKVQWindow* self, double x, double y)
{
    return self->HitTest(ScriptToInt32(x), ScriptToInt32(y));
}

CKVQWindow* WindowHitTest0(CKVQWindow* self, double x, double y)
{
    return self->HitTest0(ScriptToInt32(x), ScriptToInt32(y));
}

void WindowSetHeight(CKVQWindow* self, double height) { self->SetHeight(ScriptToInt32(height)); }
void WindowSetWidth(CKVQWindow* self, double width) { self->SetWidth(ScriptToInt32(width)); }

void WindowSetPos(CKVQWindow* self, const KVQPoint* point)
{
    if (point != nullptr)
        self->SetPos(*point);
}

void WindowSetPosXY(CKVQWindow* self, double x, double y)
{
    self->SetPos(KVQPoint{ScriptToInt32(x), ScriptToInt32(y)});
}

void WindowSetHotPos(CKVQWindow* self, const KVQPoint* point)
{
    if (point != nullptr)
        self->SetHotPos(*point);
}

void WindowNormalAligned(CKVQWindow* self, const KVQRect* rect)
{
    if (rect != nullptr)
        self->NormalAligned(*rect);
}

void WindowSetBit(CKVQWindow* self, double bit) { self->SetBit(ScriptToInt32(bit)); }
void WindowDelBit(CKVQWindow* self, double bit) { self->DelBit(ScriptToInt32(bit)); }
bool WindowIsBitSet(CKVQWindow* self, double bit) { return self->IsBitSet(ScriptToInt32(bit)); }
void WindowSetExtX(CKVQWindow* self, double value) { self->SetExtX(ScriptToInt32(value)); }
void WindowSetExtY(CKVQWindow* self, double value) { self->SetExtY(ScriptToInt32(value)); }
void WindowSetExtW(CKVQWindow* self, double value) { self->SetExtW(ScriptToInt32(value)); }
void WindowSetExtH(CKVQWindow* self, double value) { self->SetExtH(ScriptToInt32(value)); }

void WindowSetState(CKVQWindow* self, double index, double notify)
{
    self->SetState(ScriptToInt32(index), ScriptToInt32(notify));
}

void WindowSetSideAligned(CKVQWindow* self, double side, double alignment)
{
    self->SetSideAligned(ScriptToInt32(side), ScriptToInt32(alignment));
}

void WindowSetAligned(CKVQWindow* self, double side, double alignment)
{
    self->SetAligned(ScriptToInt32(side), ScriptToInt32(alignment));
}

// The offsets are 16-bit fields: a number keeps its low 16 bits, as a C store would.
void WindowSetClipOffset(CKVQWindow* self, double left, double top, double right, double bottom)
{
    auto low16 = [](double value) { return static_cast<uint16_t>(ScriptToUInt32(value) & 0xFFFFu); };
    self->SetClipOffset(low16(left), low16(top), low16(right), low16(bottom));
}

void WindowHideChildren(CKVQWindow* self, double flag) { self->HideChildren(ScriptToInt32(flag)); }
bool WindowSetSelected(CKVQWindow* self, double flag) { return self->SetSelected(ScriptToInt32(flag)); }

std::string WindowGetAttribute(CKVQWindow* self, double index)
{
    return self->GetAttribute(ScriptToInt32(index));
}

bool WindowSetAttribute(CKVQWindow* self, double index, const char* text)
{
    return self->SetAttribute(ScriptToInt32(index), text);
}

void WindowSetAddData(CKVQWindow* self, double value) { self->SetAddData(ScriptToUInt32(value)); }

void WindowSetMask(CKVQWindow* self, double red, double green, double blue, double alpha)
{
    self->SetMask(ScriptToByte(red), ScriptToByte(green), ScriptToByte(blue), ScriptToByte(alpha));
}

void WindowGetCloseSiblings(CKVQWindow* self, const char* className, float distance, WndArray* array)
{
    if (array == nullptr)
        return;
    const ArraySnapshot before = Snapshot(*array);
    self->GetCloseSiblings(className, distance, *array);
    Resync(*array, before);
}

double WindowGetAddress(CKVQWindow* self, double index)
{
    return static_cast<double>(self->GetAddress(ScriptToInt32(index)));
}

void WindowSetExtraData(CKVQWindow* self, const char* name, const CKVQMessage* message)
{
    if (message != nullptr)
        self->SetExtraData(name, *message);
}

bool WindowLoadChildsFromFile(CKVQWindow* self, const char* path, WndArray* array)
{
    if (array == nullptr)
        return self->LoadChildsFromFile(path, nullptr);
    const ArraySnapshot before = Snapshot(*array);
    const bool loaded = self->LoadChildsFromFile(path, array);
    Resync(*array, before);
    return loaded;
}

bool WndArrayLoad(WndArray* self, const char* path)
{
    const ArraySnapshot before = Snapshot(*self);
    const bool loaded = self->load(path);
    Resync(*self, before);
    return loaded;
}

namespace window_glue {

// nBlendMode = number: stored as an int32 by the script conversion rules.
int SetRenderBlendMode(lua_State* L)
{
    IRender* self = Self<IRender>(L, kRenderType, "nBlendMode");
    self->BlendMode = ScriptToInt32(Number(L, 2, "nBlendMode"));
    return 0;
}

// CKVQWindow:FromHandle(handle) -> the live window of that handle, or nil.
int FromHandle(lua_State* L)
{
    tolua_Error error;
    if (!tolua_isusertable(L, 1, kWindowType, 0, &error))
        tolua_error(L, "#ferror in function 'FromHandle'.", &error);
    CKVQWindow* window = CKVQWindow::FromHandle(ScriptToUInt32(Number(L, 2, "FromHandle")));
    if (window == nullptr)
        lua_pushnil(L);
    else
        tolua_pushusertype(L, window, kWindowType);
    return 1;
}

}  // namespace window_glue
