#pragma once
// Registration of every script binding module into a Lua state, in the engine's start-up order.

struct lua_State;

void RegisterBindings(lua_State* L);
