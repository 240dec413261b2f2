// Timers as scripts call them: the members of CKVQTimerSystem (with the colon on the instance or
// the class, or with the dot) and the globals "KVQAPI_SetTimer" and "KVQAPI_SetTimer1".
//
// Arguments follow the script rules: a missing number is 0, a missing message or window is null,
// and an argument of the wrong kind reads as 0 or null (a window of the wrong class never reaches
// the engine as a window). Interval and delay are truncated to int32; counts and ids to uint32,
// so a count of -1 gives 4294967295, a practically endless timer.

#include <cstdint>
#include <initializer_list>

#include "script/bindings/geometry_glue.h"
#include "tolua++.h"
#include "ui/Message.h"
#include "ui/TimerSystem.h"
#include "ui/Window.h"

namespace {

constexpr const char* kTimerType = "CKVQTimerSystem";

// Where the arguments start: after the instance or class when the call passed one.
int FirstArgument(lua_State* L)
{
    tolua_Error error;
    if (!lua_isnil(L, 1) && tolua_isusertype(L, 1, kTimerType, 0, &error))
        return 2;
    if (tolua_isusertable(L, 1, kTimerType, 0, &error))
        return 2;
    return 1;
}

double NumberAt(lua_State* L, int index)
{
    return lua_type(L, index) == LUA_TNUMBER || lua_type(L, index) == LUA_TSTRING ? lua_tonumber(L, index) : 0.0;
}

int32_t Int32At(lua_State* L, int index)
{
    return ScriptToInt32(NumberAt(L, index));
}

uint32_t UInt32At(lua_State* L, int index)
{
    return ScriptToUInt32(NumberAt(L, index));
}

// A missing name is the empty text; a name of another kind (a number included) is none.
const char* NameAt(lua_State* L, int index)
{
    if (lua_isnone(L, index))
        return "";
    return lua_type(L, index) == LUA_TSTRING ? lua_tostring(L, index) : nullptr;
}

template <typename T>
T* ObjectAt(lua_State* L, int index, std::initializer_list<const char*> types)
{
    if (lua_type(L, index) != LUA_TUSERDATA)
        return nullptr;
    tolua_Error error;
    for (const char* type : types) {
        if (tolua_isusertype(L, index, type, 0, &error))
            return static_cast<T*>(tolua_tousertype(L, index, nullptr));
    }
    return nullptr;
}

CKVQWindow* WindowAt(lua_State* L, int index)
{
    return ObjectAt<CKVQWindow>(L, index, {"CKVQWindow", "const CKVQWindow"});
}

CKVQMessage* MessageAt(lua_State* L, int index)
{
    return ObjectAt<CKVQMessage>(L, index, {"CKVQMessage", "const CKVQMessage"});
}

int PushId(lua_State* L, uint32_t id)
{
    lua_pushnumber(L, id);
    return 1;
}

// (window, name, interval, count, delay[, message]) from index at.
uint32_t SetTimerFrom(lua_State* L, int at)
{
    CKVQWindow* window = WindowAt(L, at);
    const char* name = NameAt(L, at + 1);
    const int32_t interval = Int32At(L, at + 2);
    const uint32_t count = UInt32At(L, at + 3);
    const int32_t delay = Int32At(L, at + 4);
    CKVQMessage* message = MessageAt(L, at + 5);
    return CKVQTimerSystem::Instance().SetTimer(window, name, interval, count, delay, message);
}

int Instance(lua_State* L)
{
    tolua_pushusertype(L, &CKVQTimerSystem::Instance(), kTimerType);  // the engine keeps it
    return 1;
}

int SetTimer(lua_State* L)
{
    return PushId(L, SetTimerFrom(L, FirstArgument(L)));
}

// AddSubTimer(parent, window, name, interval, count, delay[, message])
int AddSubTimer(lua_State* L)
{
    const int at = FirstArgument(L);
    const uint32_t parent = UInt32At(L, at);
    CKVQWindow* window = WindowAt(L, at + 1);
    const char* name = NameAt(L, at + 2);
    const int32_t interval = Int32At(L, at + 3);
    const uint32_t count = UInt32At(L, at + 4);
    const int32_t delay = Int32At(L, at + 5);
    CKVQMessage* message = MessageAt(L, at + 6);
    return PushId(L, CKVQTimerSystem::Instance().AddSubTimer(parent, window, name, interval, count, delay, message));
}

int KillTimer(lua_State* L)
{
    CKVQTimerSystem::Instance().KillTimer(UInt32At(L, FirstArgument(L)));
    return 0;
}

int GetTimerLeftCount(lua_State* L)
{
    return PushId(L, CKVQTimerSystem::Instance().GetTimerLeftCount(UInt32At(L, FirstArgument(L))));
}

int GetTriggeredCount(lua_State* L)
{
    return PushId(L, CKVQTimerSystem::Instance().GetTriggeredCount(UInt32At(L, FirstArgument(L))));
}

int IsTimerEnd(lua_State* L)
{
    lua_pushboolean(L, CKVQTimerSystem::Instance().IsTimerEnd(UInt32At(L, FirstArgument(L))));
    return 1;
}

// KVQAPI_SetTimer(window, name, interval, count, delay[, message]) -> id
int GlobalSetTimer(lua_State* L)
{
    return PushId(L, SetTimerFrom(L, 1));
}

// KVQAPI_SetTimer1(id, interval, count)
int GlobalSetTimer1(lua_State* L)
{
    KVQAPI_SetTimer1(UInt32At(L, 1), Int32At(L, 2), UInt32At(L, 3));
    return 0;
}

}  // namespace

// Called by the generated module with the global module open, after the class is registered.
void RegisterTimerGlue(lua_State* L)
{
    tolua_beginmodule(L, kTimerType);
    tolua_function(L, "Instance", Instance);
    tolua_function(L, "SetTimer", SetTimer);
    tolua_function(L, "AddSubTimer", AddSubTimer);
    tolua_function(L, "KillTimer", KillTimer);
    tolua_function(L, "GetTimerLeftCount", GetTimerLeftCount);
    tolua_function(L, "GetTriggeredCount", GetTriggeredCount);
    tolua_function(L, "IsTimerEnd", IsTimerEnd);
    tolua_endmodule(L);
    tolua_function(L, "KVQAPI_SetTimer", GlobalSetTimer);
    tolua_function(L, "KVQAPI_SetTimer1", GlobalSetTimer1);
}
