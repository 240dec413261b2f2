// The guards around tolua++'s entry points, on a counted class of the test's own: objects that
// Lua owns are still destroyed when they are collected and when the state closes, while scripts
// that call the collector events themselves on a live object destroy nothing.

#include <gtest/gtest.h>

#include <string>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include "script/BindingGuards.h"
#include "tolua++.h"

namespace {

constexpr const char* kProbe = "Probe";

struct Probe {
    static int destroyed;
    int value = 0;
    ~Probe() { ++destroyed; }
};
int Probe::destroyed = 0;

int CollectProbe(lua_State* L)
{
    delete static_cast<Probe*>(tolua_tousertype(L, 1, nullptr));
    return 0;
}

// Probe:new_local(value): the class table first, as tolua++ generates statics.
int NewLocalProbe(lua_State* L)
{
    tolua_Error error;
    if (!tolua_isusertable(L, 1, kProbe, 0, &error))
        tolua_error(L, "#ferror in function 'new_local'.", &error);
    const int value = static_cast<int>(luaL_optnumber(L, 2, 0));
    auto* probe = new Probe;
    probe->value = value;
    tolua_pushusertype(L, probe, kProbe);
    tolua_register_gc(L, lua_gettop(L));
    return 1;
}

int ProbeValue(lua_State* L)
{
    tolua_Error error;
    if (!tolua_isusertype(L, 1, kProbe, 0, &error))
        tolua_error(L, "#ferror in function 'value'.", &error);
    auto* probe = static_cast<Probe*>(tolua_tousertype(L, 1, nullptr));
    if (probe == nullptr)
        return luaL_error(L, "invalid 'self' in function 'value'");
    lua_pushnumber(L, probe->value);
    return 1;
}

class BindingGuards : public ::testing::Test {
protected:
    void SetUp() override
    {
        Probe::destroyed = 0;
        L = luaL_newstate();
        ASSERT_NE(L, nullptr);
        luaL_openlibs(L);
        tolua_open(L);
        tolua_usertype(L, kProbe);
        tolua_module(L, nullptr, 0);
        tolua_beginmodule(L, nullptr);
        tolua_cclass(L, kProbe, kProbe, "", CollectProbe);
        tolua_beginmodule(L, kProbe);
        tolua_function(L, "new_local", NewLocalProbe);
        tolua_function(L, "value", ProbeValue);
        tolua_endmodule(L);
        tolua_endmodule(L);
        guarded = GuardBoundClasses(L);
    }
    void TearDown() override
    {
        if (L != nullptr)
            lua_close(L);
    }

    // Runs code; the error text, or "" when it ran.
    std::string Run(const std::string& code)
    {
        if (luaL_loadbuffer(L, code.data(), code.size(), "test") == 0 && lua_pcall(L, 0, 0, 0) == 0)
            return "";
        std::string error = lua_tostring(L, -1) != nullptr ? lua_tostring(L, -1) : "?";
        lua_pop(L, 1);
        return error.empty() ? "?" : error;
    }

    lua_State* L = nullptr;
    int guarded = 0;
};

TEST_F(BindingGuards, ObjectsLuaOwnsAreDestroyedWhenCollected)
{
    EXPECT_GE(guarded, 2);  // the probe and its const form
    ASSERT_EQ(Run("local p = Probe:new_local(4) assert(p:value() == 4) p = nil collectgarbage('collect')"), "");
    EXPECT_EQ(Probe::destroyed, 1);
    // Collected while a script frame runs (the usual case inside a game).
    ASSERT_EQ(Run("for i = 1, 3 do Probe:new_local(i) end collectgarbage('collect')"), "");
    EXPECT_EQ(Probe::destroyed, 4);
}

TEST_F(BindingGuards, ClosingTheStateDestroysObjectsStillHeld)
{
    ASSERT_EQ(Run("held = Probe:new_local(1) also = { Probe:new_local(2) }"), "");
    lua_close(L);
    L = nullptr;
    EXPECT_EQ(Probe::destroyed, 2);
}

TEST_F(BindingGuards, ScriptCallsOfTheCollectorEventsDestroyNothing)
{
    ASSERT_EQ(Run("p = Probe:new_local(7)\n"
                  "getmetatable(p).__gc(p)\n"
                  "Probe.__gc(p)\n"
                  "coroutine.wrap(function(x) return Probe.__gc(x) end)(p)\n"
                  "Probe.__gc(5) Probe.__gc() Probe.__gc({}) Probe.__gc(io.stdout)\n"
                  "local ok, err = pcall(Probe['.collector'], p)\n"
                  "assert(not ok and err:find('garbage collector'), tostring(err))\n"
                  "ok = pcall(Probe['.collector'], io.stdout)\n"
                  "assert(not ok)\n"
                  "assert(p:value() == 7)"),
              "");
    EXPECT_EQ(Probe::destroyed, 0);
    ASSERT_EQ(Run("p = nil collectgarbage('collect')"), "");
    EXPECT_EQ(Probe::destroyed, 1);
}

TEST_F(BindingGuards, MetatableEventsRefuseValuesThatAreNotObjects)
{
    EXPECT_NE(Run("getmetatable(Probe).__index(5, 'value')").find("cannot index"), std::string::npos);
    EXPECT_NE(Run("Probe.__newindex(io.stdout, '__close', 1)").find("cannot assign"), std::string::npos);
    EXPECT_NE(Run("Probe.__add(5, 6)").find("operation"), std::string::npos);
    // Too few arguments are padded rather than read from below the stack.
    EXPECT_EQ(Run("assert(getmetatable(Probe).__index(Probe) == nil)"), "");
    // Objects and class tables still index as before, and getmetatable answers as before.
    EXPECT_EQ(Run("local p = Probe:new_local(3)\n"
                  "assert(getmetatable(p).__index(p, 'value') == Probe.value)\n"
                  "assert(getmetatable(p) == Probe and p:value() == 3)\n"
                  "assert(Probe.nothing == nil)"),
              "");
}

TEST_F(BindingGuards, StaticsAcceptTheDotAndTheColon)
{
    EXPECT_EQ(Run("assert(Probe.new_local(5):value() == 5 and Probe:new_local(6):value() == 6)\n"
                  "assert(Probe.new_local():value() == 0)"),
              "");
}

TEST_F(BindingGuards, GuardingAgainAddsNoLayer)
{
    lua_getglobal(L, kProbe);
    lua_getfield(L, -1, "__gc");
    const void* gc = lua_topointer(L, -1);
    lua_getfield(L, -2, "new_local");
    const void* make = lua_topointer(L, -1);
    lua_pop(L, 3);

    GuardBoundClasses(L);
    AcceptDotCalls(L, kProbe, {"new_local"});

    lua_getglobal(L, kProbe);
    lua_getfield(L, -1, "__gc");
    EXPECT_EQ(lua_topointer(L, -1), gc);
    lua_getfield(L, -2, "new_local");
    EXPECT_EQ(lua_topointer(L, -1), make);
    lua_pop(L, 3);
    EXPECT_EQ(Run("assert(Probe.new_local(2):value() == 2)"), "");
}

}  // namespace
