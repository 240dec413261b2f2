// Path lines, their manager and the grid path finder as scripts call them. Arguments of the wrong
// kind read as 0 or nil, and every member tolerates nil.

#include <cmath>

#include "services/AStarFinder.h"
#include "services/PathLine.h"
#include "tolua++.h"

namespace {

constexpr const char* kLineType = "KVQPathLine";
constexpr const char* kManagerType = "CKVQPathLineMgr";
constexpr const char* kFinderType = "CKVQAStarFinder";

template <typename T>
T* Object(lua_State* L, int index, const char* type)
{
    tolua_Error error;
    if (!lua_isuserdata(L, index) || !tolua_isusertype(L, index, type, 0, &error))
        return nullptr;
    return static_cast<T*>(tolua_tousertype(L, index, nullptr));
}

// Numbers truncate toward zero; anything else, and values beyond int32, read as 0 or the ends.
int32_t Int(lua_State* L, int index)
{
    if (lua_type(L, index) != LUA_TNUMBER)
        return 0;
    const double v = std::trunc(lua_tonumber(L, index));
    if (!(v == v))
        return 0;
    return v <= -2147483648.0 ? INT32_MIN : v >= 2147483647.0 ? INT32_MAX : static_cast<int32_t>(v);
}

// Index of the first real argument of a manager member (called on the singleton or its class).
int ManagerArgument(lua_State* L)
{
    if (lua_istable(L, 1) || Object<CKVQPathLineMgr>(L, 1, kManagerType))
        return 2;
    return 1;
}

int ManagerInstance(lua_State* L)
{
    tolua_pushusertype(L, &CKVQPathLineMgr::Instance(), kManagerType);
    return 1;
}
int ManagerCreatePathID(lua_State* L)
{
    lua_pushnumber(L, CKVQPathLineMgr::Instance().CreatePathID());
    return 1;
}
int ManagerGetPathLine(lua_State* L)
{
    KVQPathLine* line = CKVQPathLineMgr::Instance().GetPathLine(Int(L, ManagerArgument(L)));
    if (!line)
        return 0;
    tolua_pushusertype(L, line, kLineType);
    return 1;
}
// Scripts only reach lines the manager already holds, so a line is never added twice: the
// answer is false for every line a script can name.
int ManagerAddPathLine(lua_State* L)
{
    auto* line = Object<KVQPathLine>(L, ManagerArgument(L), kLineType);
    (void)line;
    lua_pushboolean(L, 0);
    return 1;
}
int ManagerLoadCfg(lua_State* L)
{
    const int at = ManagerArgument(L);
    const char* name = lua_type(L, at) == LUA_TSTRING ? lua_tostring(L, at) : nullptr;
    lua_pushboolean(L, name && CKVQPathLineMgr::Instance().LoadCfg(name) ? 1 : 0);
    return 1;
}

CKVQAStarFinder* Finder(lua_State* L) { return Object<CKVQAStarFinder>(L, 1, kFinderType); }

int FinderNew(lua_State* L)
{
    tolua_pushusertype(L, new CKVQAStarFinder, kFinderType);
    return 1;
}
int FinderSetStart(lua_State* L)
{
    if (auto* f = Finder(L))
        f->setStart(Int(L, 2), Int(L, 3));
    return 0;
}
int FinderSetGoal(lua_State* L)
{
    if (auto* f = Finder(L))
        f->setGoal(Int(L, 2), Int(L, 3));
    return 0;
}
int FinderSetCollision(lua_State* L)
{
    if (auto* f = Finder(L))
        f->setCollision(Int(L, 2));
    return 0;
}
int FinderLoadMap(lua_State* L)
{
    auto* f = Finder(L);
    auto* cells = Object<IntArray>(L, 2, "IntArray");
    lua_pushboolean(L, f && f->loadMapFromMemory(cells, Int(L, 3), Int(L, 4), Int(L, 5)) ? 1 : 0);
    return 1;
}
int FinderFind(lua_State* L)
{
    auto* f = Finder(L);
    lua_pushboolean(L, f && f->find(lua_toboolean(L, 2) != 0) ? 1 : 0);
    return 1;
}
int FinderGetPathList(lua_State* L)
{
    auto* f = Finder(L);
    if (!f)
        return 0;
    tolua_pushusertype(L, f->GetPathList(), "KVQPointList");
    return 1;
}
int FinderClear(lua_State* L)
{
    if (auto* f = Finder(L))
        f->clear();
    return 0;
}

}  // namespace

void RegisterPathfindingGlue(lua_State* L)
{
    tolua_beginmodule(L, kManagerType);
    tolua_function(L, "Instance", ManagerInstance);
    tolua_function(L, "CreatePathID", ManagerCreatePathID);
    tolua_function(L, "GetPathLine", ManagerGetPathLine);
    tolua_function(L, "AddPathLine", ManagerAddPathLine);
    tolua_function(L, "LoadCfg", ManagerLoadCfg);
    tolua_endmodule(L);
    tolua_beginmodule(L, kFinderType);
    tolua_function(L, "new", FinderNew);
    tolua_function(L, "setStart", FinderSetStart);
    tolua_function(L, "setGoal", FinderSetGoal);
    tolua_function(L, "setCollision", FinderSetCollision);
    tolua_function(L, "loadMapFromMemory", FinderLoadMap);
    tolua_function(L, "find", FinderFind);
    tolua_function(L, "GetPathList", FinderGetPathList);
    tolua_function(L, "clear", FinderClear);
    tolua_endmodule(L);
}
