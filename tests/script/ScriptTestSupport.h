#pragma once
// Reading and setting Lua globals from the host tests.

#include <string>

extern "C" {
#include <lua.h>
}

// The global's value as text ("nil" when absent, "?" for values without a text form).
inline std::string LuaGlobal(lua_State* L, const char* name)
{
    lua_getglobal(L, name);
    const char* text = lua_tostring(L, -1);
    std::string value = lua_isnil(L, -1) ? "nil" : (text ? text : "?");
    lua_pop(L, 1);
    return value;
}

inline bool LuaGlobalIsTrue(lua_State* L, const char* name)
{
    lua_getglobal(L, name);
    const bool value = lua_toboolean(L, -1) != 0;
    lua_pop(L, 1);
    return value;
}

// The registry value of ref becomes a global, as if a script had stored what it was given.
inline void SetGlobalFromRef(lua_State* L, const char* name, int ref)
{
    lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
    lua_setglobal(L, name);
}
