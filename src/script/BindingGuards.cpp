#include "script/BindingGuards.h"

#include <cstring>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "io/Archive.h"
#include "tolua++.h"

// What tolua++ takes for granted, and what happens without a guard:
// - "__gc" reads the first argument as a userdata: any other value is a null dereference, and a
//   live object passed by a script is deleted while the script still holds it.
// - ".collector" deletes whatever its argument points at.
// - "__index" / "__newindex" read their arguments at fixed stack offsets: called with fewer
//   they read below the stack; called with a foreign userdata they write into that userdata's
//   environment table (the io library keeps the close function of its files there).
// - The accessors in ".get" / ".set" and the operator functions (".add", ".eq", ...) cast their
//   first argument to the class without checking it.
//
// Lua reports errors with a long jump: no object with a destructor is alive in this file's
// functions when one can be raised.

namespace {

// Registry keys (their addresses are unique light userdata).
char classesKey;     // class metatable -> class name, for every metatable tolua++ made
char collectingKey;  // the userdata whose collection is running

constexpr const char* kOperatorEvents[] = {"__add", "__sub", "__mul",    "__div", "__mod", "__pow",
                                           "__unm", "__len", "__concat", "__lt",  "__le",  "__eq"};
constexpr const char* kConstPrefix = "const ";

// ---- what a value is --------------------------------------------------------------------------

// Whether the value at index (absolute) is a class metatable: a key of the classes table at
// classes (absolute or pseudo index).
bool IsClassTable(lua_State* L, int index, int classes)
{
    if (!lua_istable(L, index) || !lua_istable(L, classes))
        return false;
    lua_pushvalue(L, index);
    lua_rawget(L, classes);
    const bool found = !lua_isnil(L, -1);
    lua_pop(L, 1);
    return found;
}

// A full userdata whose metatable is a class metatable: an object that tolua++ pushed.
bool IsBoundObject(lua_State* L, int index, int classes)
{
    if (lua_type(L, index) != LUA_TUSERDATA || !lua_getmetatable(L, index))
        return false;
    const bool bound = IsClassTable(L, lua_gettop(L), classes);
    lua_pop(L, 1);
    return bound;
}

// Whether a script can still reach the object at index: tolua++ keeps one userdata per object
// pointer in a weak table, and the garbage collector drops a userdata from weak tables before
// it runs the userdata's "__gc". So a "__gc" call for a userdata that table still names comes
// from a script. The one collection that leaves the table alone is the closing of the state,
// where no script runs: the main thread with no calling frame.
bool HeldByScripts(lua_State* L, int index)
{
    void* object = *static_cast<void**>(lua_touserdata(L, index));
    if (object == nullptr)
        return false;
    const bool mainThread = lua_pushthread(L) == 1;
    lua_pop(L, 1);
    lua_Debug caller;
    if (mainThread && lua_getstack(L, 1, &caller) == 0)
        return false;

    lua_getmetatable(L, index);
    lua_pushstring(L, "tolua_ubox");
    lua_rawget(L, -2);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        lua_pushstring(L, "tolua_ubox");
        lua_rawget(L, LUA_REGISTRYINDEX);
    }
    bool held = false;
    if (lua_istable(L, -1)) {
        lua_pushlightuserdata(L, object);
        lua_rawget(L, -2);
        held = lua_rawequal(L, -1, index) != 0;
        lua_pop(L, 1);
    }
    lua_pop(L, 2);
    return held;
}

// An object of the accessor's class (upvalue 2) or of its const form (upvalue 3), or of a class
// derived from either.
bool IsInstanceOfUpvalueClass(lua_State* L, int index)
{
    if (lua_type(L, index) != LUA_TUSERDATA)
        return false;
    tolua_Error error;
    return tolua_isusertype(L, index, lua_tostring(L, lua_upvalueindex(2)), 0, &error) ||
           tolua_isusertype(L, index, lua_tostring(L, lua_upvalueindex(3)), 0, &error);
}

// Calls the wrapped function (upvalue 1) with the whole stack as arguments.
int CallWrapped(lua_State* L, int results)
{
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, results);
    return results == LUA_MULTRET ? lua_gettop(L) : results;
}

void SetCollecting(lua_State* L, int index)
{
    lua_pushlightuserdata(L, &collectingKey);
    lua_pushvalue(L, index);
    lua_rawset(L, LUA_REGISTRYINDEX);
}

// ---- the guards (upvalue 1: tolua++'s function) --------------------------------------------------

// upvalue 2: the classes table.
int GuardedIndex(lua_State* L)
{
    lua_settop(L, 2);
    const int classes = lua_upvalueindex(2);
    if (!IsBoundObject(L, 1, classes) && !IsClassTable(L, 1, classes))
        return luaL_error(L, "cannot index a %s value as an object of the engine", luaL_typename(L, 1));
    return CallWrapped(L, 1);
}

int GuardedNewIndex(lua_State* L)
{
    lua_settop(L, 3);
    const int classes = lua_upvalueindex(2);
    if (!IsBoundObject(L, 1, classes) && !IsClassTable(L, 1, classes))
        return luaL_error(L, "cannot assign to a field of a %s value as an object of the engine",
                          luaL_typename(L, 1));
    return CallWrapped(L, 0);
}

int GuardedOperatorEvent(lua_State* L)
{
    lua_settop(L, 2);
    if (!IsBoundObject(L, 1, lua_upvalueindex(2)))
        return luaL_error(L, "attempt to perform an operation on a %s value", luaL_typename(L, 1));
    return CallWrapped(L, 1);
}

// The functions behind the operators (".add", ".eq", ...): the first argument is the object.
int GuardedOperatorFunction(lua_State* L)
{
    if (!IsBoundObject(L, 1, lua_upvalueindex(2)))
        return luaL_error(L, "invalid 'self' (a %s value) in an operator of the engine", luaL_typename(L, 1));
    return CallWrapped(L, LUA_MULTRET);
}

// Anything but an object that only the collector can reach is left alone.
int GuardedGc(lua_State* L)
{
    if (!IsBoundObject(L, 1, lua_upvalueindex(2)) || HeldByScripts(L, 1))
        return 0;
    lua_settop(L, 1);
    lua_pushlightuserdata(L, &collectingKey);
    lua_rawget(L, LUA_REGISTRYINDEX);  // 2: the collection this one runs inside, if any
    SetCollecting(L, 1);
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_pushvalue(L, 1);
    const int status = lua_pcall(L, 1, 0, 0);
    SetCollecting(L, 2);
    if (status != 0)
        return lua_error(L);
    return 0;
}

int GuardedCollector(lua_State* L)
{
    lua_pushlightuserdata(L, &collectingKey);
    lua_rawget(L, LUA_REGISTRYINDEX);
    const bool collecting = lua_type(L, 1) == LUA_TUSERDATA && lua_rawequal(L, -1, 1);
    lua_pop(L, 1);
    if (!collecting)
        return luaL_error(L, "'.collector' is run by the garbage collector only");
    return CallWrapped(L, 0);
}

// upvalues 2 and 3: the class name and its const form. No argument and nil are let through:
// tolua++ calls static accessors without one, and reports a nil self itself.
int GuardedGetter(lua_State* L)
{
    if (!lua_isnoneornil(L, 1) && !IsInstanceOfUpvalueClass(L, 1))
        return luaL_error(L, "invalid 'self' (a %s value) in accessing a variable of '%s'", luaL_typename(L, 1),
                          lua_tostring(L, lua_upvalueindex(2)));
    return CallWrapped(L, 1);
}

// upvalue 4: the classes table. Static setters get the class table first.
int GuardedSetter(lua_State* L)
{
    if (!lua_isnoneornil(L, 1) && !IsInstanceOfUpvalueClass(L, 1) && !IsClassTable(L, 1, lua_upvalueindex(4)))
        return luaL_error(L, "invalid 'self' (a %s value) in setting a variable of '%s'", luaL_typename(L, 1),
                          lua_tostring(L, lua_upvalueindex(2)));
    return CallWrapped(L, 0);
}

// upvalue 2: the class table, upvalue 3: the classes table.
int CallOnClass(lua_State* L)
{
    if (!IsClassTable(L, 1, lua_upvalueindex(3))) {
        lua_pushvalue(L, lua_upvalueindex(2));
        lua_insert(L, 1);
    }
    return CallWrapped(L, LUA_MULTRET);
}

// The "tolua" library that tolua++ opens for scripts.

// tolua.cast(object, className): only to the object's own class (const or not) or a base of it.
// tolua++ would type any pointer, a light userdata included, as any class, and fails hard on a
// class name it does not know.
int GuardedCast(lua_State* L)
{
    lua_settop(L, 2);
    if (lua_isnil(L, 1)) {
        lua_pushnil(L);
        return 1;
    }
    const int classes = lua_upvalueindex(2);
    if (!IsBoundObject(L, 1, classes))
        return luaL_error(L, "tolua.cast: a %s value is not an object of the engine", luaL_typename(L, 1));
    if (lua_type(L, 2) != LUA_TSTRING)
        return luaL_error(L, "tolua.cast: argument #2 is '%s'; a class name expected", luaL_typename(L, 2));
    const char* target = lua_tostring(L, 2);
    const char* plainTarget = std::strncmp(target, kConstPrefix, std::strlen(kConstPrefix)) == 0
                                  ? target + std::strlen(kConstPrefix)
                                  : target;
    lua_getmetatable(L, 1);
    lua_rawget(L, classes);  // 3: the object's class name
    const char* own = lua_tostring(L, 3);
    const char* plainOwn =
        std::strncmp(own, kConstPrefix, std::strlen(kConstPrefix)) == 0 ? own + std::strlen(kConstPrefix) : own;
    bool allowed = std::strcmp(plainOwn, plainTarget) == 0;
    if (!allowed) {
        lua_pushstring(L, "tolua_super");
        lua_rawget(L, LUA_REGISTRYINDEX);
        lua_getmetatable(L, 1);
        lua_rawget(L, -2);
        if (lua_istable(L, -1)) {
            lua_pushvalue(L, 2);
            lua_rawget(L, -2);
            allowed = lua_toboolean(L, -1) != 0;
        }
    }
    if (!allowed)
        return luaL_error(L, "tolua.cast: an object of '%s' cannot be used as '%s'", own, target);
    lua_settop(L, 2);
    return CallWrapped(L, 1);
}

// Who owns an object is the engine's decision (new versus new_local): an object that Lua came
// to own by a script's request would be deleted while the engine still holds it.
int RefusedTakeOwnership(lua_State* L)
{
    return luaL_error(L, "tolua.takeownership: the engine decides which objects scripts own");
}

// tolua.inherit(table, object) writes into the table without checking it is one.
int GuardedInherit(lua_State* L)
{
    lua_settop(L, 2);
    if (!lua_istable(L, 1))
        return luaL_error(L, "tolua.inherit: argument #1 is '%s'; 'table' expected", luaL_typename(L, 1));
    return CallWrapped(L, 0);
}

// tolua.setpeer(object, table) hands its last value to lua_setfenv, which takes anything but a
// table (or nil, for "no peer") as one: only a full userdata and a table or nil get through.
int GuardedSetPeer(lua_State* L)
{
    lua_settop(L, 2);
    if (lua_type(L, 1) != LUA_TUSERDATA)
        return luaL_error(L, "tolua.setpeer: argument #1 is '%s'; 'userdata' expected", luaL_typename(L, 1));
    if (!lua_istable(L, 2) && !lua_isnil(L, 2))
        return luaL_error(L, "tolua.setpeer: argument #2 is '%s'; 'table' expected", luaL_typename(L, 2));
    return CallWrapped(L, 0);
}

// ---- installing them -----------------------------------------------------------------------------

// Replaces the function at key of the table at index t (absolute) with guard closed over it and
// the extra values on top of the stack (popped). Functions already guarded are left alone.
void Wrap(lua_State* L, int t, const char* key, lua_CFunction guard, int extras)
{
    lua_pushstring(L, key);
    lua_rawget(L, t);
    if (!lua_isfunction(L, -1) || lua_tocfunction(L, -1) == guard) {
        lua_pop(L, 1 + extras);
        return;
    }
    lua_insert(L, -1 - extras);  // the function goes under the extras: upvalue 1
    lua_pushcclosure(L, guard, 1 + extras);
    lua_pushstring(L, key);
    lua_insert(L, -2);
    lua_rawset(L, t);
}

// Pushes the registry's classes table, creating it on first use.
void PushClasses(lua_State* L)
{
    lua_pushlightuserdata(L, &classesKey);
    lua_rawget(L, LUA_REGISTRYINDEX);
    if (lua_istable(L, -1))
        return;
    lua_pop(L, 1);
    lua_newtable(L);
    lua_pushlightuserdata(L, &classesKey);
    lua_pushvalue(L, -2);
    lua_rawset(L, LUA_REGISTRYINDEX);
}

// Adds every metatable tolua++ made to the classes table at index classes: tolua++ records the
// name of each under the metatable itself (registry[mt] = name, beside registry[name] = mt),
// which the metatables of other libraries lack.
void CollectClasses(lua_State* L, int classes)
{
    lua_pushnil(L);
    while (lua_next(L, LUA_REGISTRYINDEX) != 0) {
        if (lua_type(L, -2) == LUA_TSTRING && lua_istable(L, -1)) {
            lua_pushvalue(L, -1);
            lua_rawget(L, LUA_REGISTRYINDEX);
            if (lua_type(L, -1) == LUA_TSTRING && lua_rawequal(L, -1, -3)) {
                lua_pushvalue(L, -2);
                lua_pushvalue(L, -2);
                lua_rawset(L, classes);
            }
            lua_pop(L, 1);
        }
        lua_pop(L, 1);
    }
}

// Guards every accessor of the ".get" or ".set" table of the class metatable at mt.
void GuardAccessors(lua_State* L, int mt, const char* tableName, lua_CFunction guard, const char* className,
                    int classes)
{
    lua_pushstring(L, tableName);
    lua_rawget(L, mt);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return;
    }
    const int accessors = lua_gettop(L);
    const char* plain = std::strncmp(className, kConstPrefix, std::strlen(kConstPrefix)) == 0
                            ? className + std::strlen(kConstPrefix)
                            : className;
    lua_pushnil(L);
    while (lua_next(L, accessors) != 0) {
        lua_pop(L, 1);
        if (lua_type(L, -1) != LUA_TSTRING)
            continue;
        // Wrap looks the key up by name; the key itself stays for lua_next.
        const char* key = lua_tostring(L, -1);
        lua_pushstring(L, plain);
        lua_pushfstring(L, "%s%s", kConstPrefix, plain);
        int extras = 2;
        if (guard == GuardedSetter) {
            lua_pushvalue(L, classes);
            extras = 3;
        }
        Wrap(L, accessors, key, guard, extras);
    }
    lua_pop(L, 1);
}

void GuardClass(lua_State* L, int mt, const char* className, int classes)
{
    const struct {
        const char* key;
        lua_CFunction guard;
    } events[] = {{"__index", GuardedIndex}, {"__newindex", GuardedNewIndex}, {"__gc", GuardedGc}};
    for (const auto& event : events) {
        lua_pushvalue(L, classes);
        Wrap(L, mt, event.key, event.guard, 1);
    }
    for (const char* event : kOperatorEvents) {
        lua_pushvalue(L, classes);
        Wrap(L, mt, event, GuardedOperatorEvent, 1);
    }
    Wrap(L, mt, ".collector", GuardedCollector, 0);

    // The operator functions: every other function whose name starts with a dot (".call" is the
    // constructor behind `Class(...)` and takes the class table).
    lua_pushnil(L);
    while (lua_next(L, mt) != 0) {
        const bool candidate = lua_type(L, -2) == LUA_TSTRING && lua_isfunction(L, -1);
        lua_pop(L, 1);
        if (!candidate)
            continue;
        const char* key = lua_tostring(L, -1);
        if (key[0] != '.' || std::strcmp(key, ".call") == 0 || std::strcmp(key, ".collector") == 0)
            continue;
        lua_pushvalue(L, classes);
        Wrap(L, mt, key, GuardedOperatorFunction, 1);
    }

    GuardAccessors(L, mt, ".get", GuardedGetter, className, classes);
    GuardAccessors(L, mt, ".set", GuardedSetter, className, classes);
}

void GuardToluaLibrary(lua_State* L, int classes)
{
    lua_getglobal(L, "tolua");
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return;
    }
    const int library = lua_gettop(L);
    lua_pushvalue(L, classes);
    Wrap(L, library, "cast", GuardedCast, 1);
    Wrap(L, library, "takeownership", RefusedTakeOwnership, 0);
    Wrap(L, library, "inherit", GuardedInherit, 0);
    Wrap(L, library, "setpeer", GuardedSetPeer, 0);
    lua_pop(L, 1);
}

}  // namespace

void AcceptDotCalls(lua_State* L, const char* typeName, std::initializer_list<const char*> names)
{
    luaL_getmetatable(L, typeName);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return;
    }
    const int mt = lua_gettop(L);
    PushClasses(L);
    const int classes = lua_gettop(L);
    // A class registered after the last full pass is still a class table to the wrappers.
    lua_pushvalue(L, mt);
    lua_pushstring(L, typeName);
    lua_rawset(L, classes);
    for (const char* name : names) {
        lua_pushvalue(L, mt);
        lua_pushvalue(L, classes);
        Wrap(L, mt, name, CallOnClass, 2);
    }
    lua_pop(L, 2);
}

int GuardBoundClasses(lua_State* L)
{
    const int top = lua_gettop(L);
    PushClasses(L);
    const int classes = lua_gettop(L);
    CollectClasses(L, classes);

    int count = 0;
    lua_pushnil(L);
    while (lua_next(L, classes) != 0) {
        // stack: ... mt name
        const int mt = lua_gettop(L) - 1;
        if (lua_istable(L, mt) && lua_type(L, -1) == LUA_TSTRING) {
            const char* name = lua_tostring(L, -1);
            GuardClass(L, mt, name, classes);
            if (std::strncmp(name, kConstPrefix, std::strlen(kConstPrefix)) != 0) {
                for (const char* statics : kDotCalledStatics) {
                    lua_pushvalue(L, mt);
                    lua_pushvalue(L, classes);
                    Wrap(L, mt, statics, CallOnClass, 2);
                }
            }
            ++count;
        }
        lua_pop(L, 1);
    }
    GuardToluaLibrary(L, classes);
    lua_settop(L, top);
    return count;
}

void SetClassCollector(lua_State* L, const char* typeName, int (*collect)(lua_State*))
{
    luaL_getmetatable(L, typeName);
    if (lua_istable(L, -1)) {
        lua_pushstring(L, ".collector");
        lua_pushcfunction(L, collect);
        lua_rawset(L, -3);
    }
    lua_pop(L, 1);
}

void* TakeCollectedObject(lua_State* L)
{
    void* object = tolua_tousertype(L, 1, nullptr);
    if (object != nullptr)
        KVQForgetPointer(object);
    return object;
}
