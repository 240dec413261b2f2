// Hand-written side of the services module: the log system's members and the keyed hash's
// constructors and Update.

#include <cstdint>

#include "script/bindings/geometry_glue.h"
#include "services/Event.h"
#include "services/HMAC.h"
#include "services/Lock.h"
#include "services/LogSystem.h"
#include "tolua++.h"

namespace {

constexpr const char* kLogType = "CKVQLogSystem";
constexpr const char* kHMACType = "CKVQHMAC";

// Where the arguments start: after the instance or class when the call passed one.
int FirstArgument(lua_State* L)
{
    const int type = lua_type(L, 1);
    return type == LUA_TTABLE || type == LUA_TUSERDATA ? 2 : 1;
}

double NumberAt(lua_State* L, int index)
{
    return lua_type(L, index) == LUA_TNUMBER || lua_type(L, index) == LUA_TSTRING ? lua_tonumber(L, index) : 0.0;
}

int Instance(lua_State* L)
{
    tolua_pushusertype(L, &CKVQLogSystem::Instance(), kLogType);
    return 1;
}

// XLog(channel, text): a text of another kind (nil included) logs nothing.
int XLog(lua_State* L)
{
    const int at = FirstArgument(L);
    const int32_t channel = ScriptToInt32(NumberAt(L, at));
    const int type = lua_type(L, at + 1);
    if (type == LUA_TSTRING || type == LUA_TNUMBER)
        CKVQLogSystem::Instance().XLog(channel, lua_tostring(L, at + 1));
    else if (type == LUA_TNONE)
        CKVQLogSystem::Instance().XLog(channel, "");
    return 0;
}

int FlushAll(lua_State* L)
{
    (void)L;
    CKVQLogSystem::Instance().FlushAll();
    return 0;
}

// (class, key, keyLength, kind): a key length beyond the key's own bytes is refused (the object
// is made with its error flag set) rather than read past the text.
CKVQHMAC* MakeHMAC(lua_State* L)
{
    tolua_Error err;
    if (!tolua_isusertable(L, 1, kHMACType, 0, &err))
        tolua_error(L, "#ferror in function 'new'.", &err);
    size_t keyBytes = 0;
    const char* key = lua_type(L, 2) == LUA_TSTRING ? lua_tolstring(L, 2, &keyBytes) : nullptr;
    const int32_t keyLength = ScriptToInt32(NumberAt(L, 3));
    const int32_t kind = ScriptToInt32(NumberAt(L, 4));
    if (keyLength < 0 || static_cast<size_t>(keyLength) > keyBytes)
        return new CKVQHMAC(nullptr, -1, kind);
    return new CKVQHMAC(key != nullptr ? key : "", keyLength, kind);
}

// obj:delete(): deletes the object once; the userdata is emptied (see DetachScriptObject).
template <typename T>
int Delete(lua_State* L, const char* type)
{
    tolua_Error err;
    if (!tolua_isusertype(L, 1, type, 0, &err) || !tolua_isnoobj(L, 2, &err))
        tolua_error(L, "#ferror in function 'delete'.", &err);
    if (tolua_tousertype(L, 1, nullptr) == nullptr)
        tolua_error(L, "invalid 'self' in function 'delete'", nullptr);
    delete static_cast<T*>(DetachScriptObject(L, 1));
    return 0;
}

}  // namespace

namespace services_glue {

int DeleteHMAC(lua_State* L)
{
    return Delete<CKVQHMAC>(L, kHMACType);
}

int DeleteLock(lua_State* L)
{
    return Delete<CKVQLock>(L, "CKVQLock");
}

int DeleteEvent(lua_State* L)
{
    return Delete<CKVQEvent>(L, "CKVQEvent");
}

int NewHMAC(lua_State* L)
{
    tolua_pushusertype(L, MakeHMAC(L), kHMACType);
    return 1;
}

int NewLocalHMAC(lua_State* L)
{
    tolua_pushusertype(L, MakeHMAC(L), kHMACType);
    tolua_register_gc(L, lua_gettop(L));
    return 1;
}

// Update(data, length) -> boolean; a length beyond the data's bytes is refused.
int Update(lua_State* L)
{
    tolua_Error err;
    if (!tolua_isusertype(L, 1, kHMACType, 0, &err))
        tolua_error(L, "#ferror in function 'Update'.", &err);
    auto* mac = static_cast<CKVQHMAC*>(tolua_tousertype(L, 1, nullptr));
    if (mac == nullptr)
        tolua_error(L, "invalid 'self' in function 'Update'", nullptr);
    size_t dataBytes = 0;
    const char* data = lua_type(L, 2) == LUA_TSTRING ? lua_tolstring(L, 2, &dataBytes) : "";
    const int32_t length = ScriptToInt32(NumberAt(L, 3));
    const bool fits = length >= 0 && static_cast<size_t>(length) <= dataBytes;
    lua_pushboolean(L, mac->Update(data, fits ? length : -1) ? 1 : 0);
    return 1;
}

void Register(lua_State* L)
{
    tolua_beginmodule(L, kLogType);
    tolua_function(L, "Instance", Instance);
    tolua_function(L, "XLog", XLog);
    tolua_function(L, "FlushAll", FlushAll);
    tolua_endmodule(L);
}

}  // namespace services_glue
