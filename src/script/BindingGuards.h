#pragma once
// Guards around the entry points that tolua++ puts in every class table. Scripts can reach them
// directly (`KVQPoint.__gc(5)`, `getmetatable(KVQPoint).__index(KVQPoint)`,
// `KVQPoint[".get"].x(io.stdout)`), and tolua++ trusts its arguments there: a wrong value is
// dereferenced, a live object is deleted. Each guard checks what the entry point takes for
// granted and turns anything else into a script error (or, for the collector events, into
// nothing), then hands over to tolua++'s own function.

#include <initializer_list>

struct lua_State;

// The statics that scripts call with the dot on any class that has them (tolua++ generates them
// for the colon form, with the class table first).
inline constexpr const char* kDotCalledStatics[] = {"new", "new_local", "Instance", "FromHandle", "sharedEngine"};

// Lets the named statics of the class be called with the dot as well as the colon: a call whose
// first argument is not a class table gets the class table put in front. Wrapping twice is a
// no-op, and names the class does not have are skipped.
void AcceptDotCalls(lua_State* L, const char* typeName, std::initializer_list<const char*> names);

// Guards every class metatable that tolua++ has registered so far, and lets the dot-called
// statics of every class be called with the dot. Safe to run again after more classes are
// registered. Returns the number of class metatables looked at.
int GuardBoundClasses(lua_State* L);

// Sets the ".collector" of the class metatable named typeName (tolua++ runs it when a value made
// by new_local is collected). Does nothing when no such metatable is registered.
void SetClassCollector(lua_State* L, const char* typeName, int (*collect)(lua_State*));

// For a collector: the object the collected value points at (null if none), with its pointer
// token already forgotten so nothing written earlier can lead back to it. The caller deletes it.
void* TakeCollectedObject(lua_State* L);
