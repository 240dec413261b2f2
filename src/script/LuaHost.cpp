#include "script/LuaHost.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

#include <lua-cjson.h>
#include <lua-sql-sqlite3.h>
}

#include "tolua++.h"

#include "app/CoreCfg.h"
#include "app/SystemAPI.h"
#include "common/Notices.h"
#include "common/ScriptObjects.h"
#include "io/Archive.h"
#include "io/FileSystem.h"
#include "platform/MessageBox.h"
#include "script/Bindings.h"
#include "ui/Window.h"

namespace {

constexpr const char* kMissingFunctionSuffix = " Find lua global function no exist";
constexpr const char* kCallCaption = "Debug";
constexpr const char* kDoFileCaption = "DoFile";
// Shown when a failed script left something other than a text as its error.
constexpr const char* kNoMessageText = "TestError";
constexpr const char* kWindowClass = "CKVQWindow";
// What a person reads before a script failure's text.
constexpr const char* kScriptErrorPrefix = "script error: ";
// How many calls up the stack the error handler looks for the script line of a failure.
constexpr int kLocationSearchDepth = 32;

// Registry keys (their addresses are unique light userdata).
char hostKey;          // the host that owns the state
char objectTablesKey;  // the distinct pointer -> userdata tables of tolua++, in an array
char errorHandlerKey;  // the message handler of the host's protected calls

constexpr int kReservedReferences = 1024;
// Argument lists up to this long need no stack check (see CallGlobal).
constexpr int kArgumentsWithinReserve = 8;

CKVQLuaHost* currentHost = nullptr;
CKVQLuaHost* processHost = nullptr;

CKVQLuaHost* HostOf(lua_State* L)
{
    lua_pushlightuserdata(L, &hostKey);
    lua_rawget(L, LUA_REGISTRYINDEX);
    auto* host = static_cast<CKVQLuaHost*>(lua_touserdata(L, -1));
    lua_pop(L, 1);
    return host;
}

// The text of a failed call's error value; values that are not texts are described.
std::string ErrorValueText(lua_State* L, int index)
{
    if (const char* text = lua_tostring(L, index))
        return std::string(text, lua_objlen(L, index));
    char description[64];
    std::snprintf(description, sizeof description, "(error object is a %s value)", luaL_typename(L, index));
    return description;
}

// Whether className is a user type of tolua++ (every one is a key of "tolua_super"). Other
// metatables of the registry (those of the sqlite module, say) are not: an object pushed under
// one of them would be taken for that module's own data.
bool IsBoundClass(lua_State* L, const char* className)
{
    if (className == nullptr)
        return false;
    luaL_getmetatable(L, className);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return false;
    }
    lua_pushstring(L, "tolua_super");
    lua_rawget(L, LUA_REGISTRYINDEX);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 2);
        return false;
    }
    lua_pushvalue(L, -2);
    lua_rawget(L, -2);
    const bool bound = !lua_isnil(L, -1);
    lua_pop(L, 3);
    return bound;
}

// Pushes object as a typed user value, or nil when there is no object or no such class (tolua++
// itself must not be asked for a class it does not know).
void PushObject(lua_State* L, void* object, const char* className)
{
    if (object != nullptr && IsBoundClass(L, className))
        tolua_pushusertype(L, object, className);
    else
        lua_pushnil(L);
}

// ---- tolua++'s userdata tables -------------------------------------------------------------
// tolua++ keeps one table from object pointer to userdata per class hierarchy (in the root
// class's metatable, field "tolua_ubox") plus one in the registry for plain user types. Every
// class metatable is a key of the registry's "tolua_super" table. The distinct tables are
// gathered once, after the bindings are registered, so that forgetting an object is a handful
// of lookups.

void AddObjectTable(lua_State* L, int list, int seen)
{
    // stack: ... table
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return;
    }
    lua_pushvalue(L, -1);
    lua_rawget(L, seen);
    const bool known = !lua_isnil(L, -1);
    lua_pop(L, 1);
    if (known) {
        lua_pop(L, 1);
        return;
    }
    lua_pushvalue(L, -1);
    lua_pushboolean(L, 1);
    lua_rawset(L, seen);
    lua_rawseti(L, list, static_cast<int>(lua_objlen(L, list)) + 1);
}

// Pushes the array of distinct pointer -> userdata tables, building it when needed.
void PushObjectTables(lua_State* L)
{
    lua_pushlightuserdata(L, &objectTablesKey);
    lua_rawget(L, LUA_REGISTRYINDEX);
    if (lua_istable(L, -1))
        return;
    lua_pop(L, 1);

    lua_newtable(L);
    const int list = lua_gettop(L);
    lua_newtable(L);
    const int seen = lua_gettop(L);

    lua_pushstring(L, "tolua_ubox");
    lua_rawget(L, LUA_REGISTRYINDEX);
    AddObjectTable(L, list, seen);

    lua_pushstring(L, "tolua_super");
    lua_rawget(L, LUA_REGISTRYINDEX);
    if (lua_istable(L, -1)) {
        const int super = lua_gettop(L);
        lua_pushnil(L);
        while (lua_next(L, super) != 0) {
            lua_pop(L, 1);  // the value; the key is a class metatable
            if (lua_istable(L, -1)) {
                lua_pushstring(L, "tolua_ubox");
                lua_rawget(L, -2);
                AddObjectTable(L, list, seen);
            }
        }
    }
    lua_settop(L, seen);
    lua_pop(L, 1);  // seen

    lua_pushlightuserdata(L, &objectTablesKey);
    lua_pushvalue(L, list);
    lua_rawset(L, LUA_REGISTRYINDEX);
}

// The object's entry of the pointer -> userdata table at index table: its userdata stops
// pointing at the object and leaves the table.
void ClearObjectEntry(lua_State* L, int table, void* object)
{
    lua_pushlightuserdata(L, object);
    lua_rawget(L, table);
    if (lua_type(L, -1) == LUA_TUSERDATA) {
        *static_cast<void**>(lua_touserdata(L, -1)) = nullptr;
        lua_pushlightuserdata(L, object);
        lua_pushnil(L);
        lua_rawset(L, table);
    }
    lua_pop(L, 1);
}

// Whatever Lua owned at that address is gone too: its collector must not run for a new object
// that happens to take the address.
void ClearOwnership(lua_State* L, void* object)
{
    lua_pushstring(L, "tolua_gc");
    lua_rawget(L, LUA_REGISTRYINDEX);
    if (lua_istable(L, -1)) {
        lua_pushlightuserdata(L, object);
        lua_pushnil(L);
        lua_rawset(L, -3);
    }
    lua_pop(L, 1);
}

// Pushes what forgetting an object of className touches: { the class family's pointer ->
// userdata table, the one of plain user types, tolua++'s table of objects Lua owns } (false
// where there is none). Kept in the registry under the address of the name, so that the
// destructors that call this often hash no strings. False when the class is not bound.
bool PushForgetPlan(lua_State* L, const char* className)
{
    void* key = const_cast<char*>(className);
    lua_pushlightuserdata(L, key);
    lua_rawget(L, LUA_REGISTRYINDEX);
    if (lua_istable(L, -1))
        return true;
    lua_pop(L, 1);
    luaL_getmetatable(L, className);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return false;
    }
    lua_createtable(L, 3, 0);
    const char* const fields[] = {"tolua_ubox", "tolua_ubox", "tolua_gc"};
    for (int i = 0; i < 3; ++i) {
        lua_pushstring(L, fields[i]);
        lua_rawget(L, i == 0 ? -3 : LUA_REGISTRYINDEX);
        if (!lua_istable(L, -1)) {
            lua_pop(L, 1);
            lua_pushboolean(L, 0);
        }
        lua_rawseti(L, -2, i + 1);
    }
    lua_remove(L, -2);  // the metatable
    lua_pushlightuserdata(L, key);
    lua_pushvalue(L, -2);
    lua_rawset(L, LUA_REGISTRYINDEX);
    return true;
}

// Forgets an object whose class is known (className must live as long as the process: a
// literal): only that class family's table and the one of plain user types are looked at. An
// unknown class falls back to looking everywhere.
void ForgetObjectOfClass(CKVQLuaHost* host, void* object, const char* className)
{
    lua_State* L = host != nullptr ? host->GetState() : nullptr;
    if (L == nullptr || object == nullptr || !lua_checkstack(L, 8))
        return;
    const int top = lua_gettop(L);
    if (className == nullptr || !PushForgetPlan(L, className)) {
        host->ForgetObject(object);
        return;
    }
    const int plan = lua_gettop(L);
    for (int i = 1; i <= 2; ++i) {
        lua_rawgeti(L, plan, i);
        if (lua_istable(L, -1))
            ClearObjectEntry(L, lua_gettop(L), object);
        lua_settop(L, plan);
    }
    lua_rawgeti(L, plan, 3);
    if (lua_istable(L, -1)) {
        lua_pushlightuserdata(L, object);
        lua_pushnil(L);
        lua_rawset(L, -3);
    }
    lua_settop(L, top);
}

void DropObjectTables(lua_State* L)
{
    lua_pushlightuserdata(L, &objectTablesKey);
    lua_pushnil(L);
    lua_rawset(L, LUA_REGISTRYINDEX);
}

// Pushes the userdata that scripts already hold for pointer under className (nil when none,
// or when that userdata is not of the class or a class derived from it).
void PushHeldObject(lua_State* L, void* pointer, const char* className)
{
    const int top = lua_gettop(L);
    if (!IsBoundClass(L, className)) {
        lua_pushnil(L);
        return;
    }
    luaL_getmetatable(L, className);
    lua_pushstring(L, "tolua_ubox");
    lua_rawget(L, -2);
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        lua_pushstring(L, "tolua_ubox");
        lua_rawget(L, LUA_REGISTRYINDEX);
    }
    if (!lua_istable(L, -1)) {
        lua_settop(L, top);
        lua_pushnil(L);
        return;
    }
    lua_pushlightuserdata(L, pointer);
    lua_rawget(L, -2);
    tolua_Error error{};
    // tolua++ wants an absolute index: it pushes while it looks.
    const int held = lua_gettop(L);
    if (lua_type(L, held) == LUA_TUSERDATA && tolua_isusertype(L, held, className, 0, &error)) {
        lua_replace(L, top + 1);
        lua_settop(L, top + 1);
        return;
    }
    lua_settop(L, top);
    lua_pushnil(L);
}

// ---- globals of the host ----------------------------------------------------------------------

int ScriptGetLastError(lua_State* L)
{
    CKVQLuaHost* host = HostOf(L);
    lua_pushstring(L, host != nullptr ? host->GetLastErrorText() : "");
    return 1;
}

int ScriptMessageBox(lua_State* L)
{
    const char* text = lua_isstring(L, 1) ? lua_tostring(L, 1) : "";
    platform::ShowMessageBox(text, kCallCaption);
    return 0;
}

// tousertype(number, class name): the object behind the number, typed as that class. A number
// is only trusted when the engine can vouch for it: a pointer token written for exactly that
// class (a message's typed pointer), or the address of an object that scripts already hold as
// that class. Anything else is nil; an arbitrary address is never dereferenced.
int ScriptToUserType(lua_State* L)
{
    const lua_Number number = lua_type(L, 1) == LUA_TNUMBER ? lua_tonumber(L, 1) : 0;
    const char* className = lua_type(L, 2) == LUA_TSTRING ? lua_tostring(L, 2) : nullptr;
    if (className == nullptr || !(number >= 1) || !(number < 18446744073709551616.0) ||
        std::floor(number) != number) {
        lua_pushnil(L);
        return 1;
    }
    const auto value = static_cast<uint64_t>(number);
    if (value <= UINT32_MAX) {
        const auto token = static_cast<uint32_t>(value);
        void* object = KVQPointerFromToken(token, className);
        // A token written without a type name resolves for any name: not good enough here.
        if (object != nullptr && KVQPointerFromToken(token, "\x01") == nullptr) {
            PushObject(L, object, className);
            return 1;
        }
    }
    PushHeldObject(L, reinterpret_cast<void*>(static_cast<uintptr_t>(value)), className);
    return 1;
}

// The modules open with whatever the script passed still on the stack; give them a clean one.
int OpenSqliteModule(lua_State* L)
{
    lua_settop(L, 0);
    return luaopen_luasql_sqlite3(L);
}

int OpenJsonModule(lua_State* L)
{
    lua_settop(L, 0);
    return luaopen_cjson(L);
}

// Run inside lua_cpcall: a failing step becomes an error text instead of a panic.
int OpenSteps(lua_State* L)
{
    auto* host = static_cast<CKVQLuaHost*>(lua_touserdata(L, 1));
    lua_settop(L, 0);
    luaL_openlibs(L);
    tolua_open(L);
    tolua_module(L, nullptr, 0);
    tolua_beginmodule(L, nullptr);
    tolua_function(L, "GetLastError", ScriptGetLastError);
    tolua_endmodule(L);
    lua_pushlightuserdata(L, &hostKey);
    lua_pushlightuserdata(L, host);
    lua_rawset(L, LUA_REGISTRYINDEX);
    // Kept rather than made per call: handlers run every frame.
    lua_pushlightuserdata(L, &errorHandlerKey);
    lua_pushcfunction(L, &CKVQLuaHost::ErrorHandler);
    lua_rawset(L, LUA_REGISTRYINDEX);

    // References are integer keys of the registry. Taken as one block and given back (last
    // first, so they come out again in order), they sit in the registry's array part, where
    // every later lookup is a plain index rather than a walk along a hash chain.
    int refs[kReservedReferences];
    for (int& ref : refs) {
        lua_pushboolean(L, 1);
        ref = luaL_ref(L, LUA_REGISTRYINDEX);
    }
    for (int i = kReservedReferences - 1; i >= 0; --i)
        luaL_unref(L, LUA_REGISTRYINDEX, refs[i]);
    return 0;
}

int RegisterSteps(lua_State* L)
{
    lua_settop(L, 0);
    RegisterBindings(L);
    lua_register(L, "luaopen_sqlite3", OpenSqliteModule);
    lua_register(L, "luaopen_cjson", OpenJsonModule);
    lua_register(L, "GetLuaError", ScriptGetLastError);
    lua_register(L, "KVQMessageBox", ScriptMessageBox);
    lua_register(L, "tousertype", ScriptToUserType);
    return 0;
}

// Looks the key on the stack up in the globals with their metamethods (called protected).
int LookupGlobal(lua_State* L)
{
    lua_gettable(L, LUA_GLOBALSINDEX);
    return 1;
}

void ForgetInCurrentHost(void* object, const char* className)
{
    ForgetObjectOfClass(currentHost, object, className);
}

// A window's reference is released only when it still holds that window: a reference taken in
// an interpreter that has been closed since must not free a slot of the new one.
void DropWindowRef(CKVQWindow* window)
{
    CKVQLuaHost* host = currentHost;
    lua_State* L = host != nullptr ? host->GetState() : nullptr;
    if (L == nullptr)
        return;
    const int32_t ref = window->GetScriptRef();
    if (ref > 0) {
        lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
        void* held = lua_type(L, -1) == LUA_TUSERDATA ? *static_cast<void**>(lua_touserdata(L, -1)) : nullptr;
        lua_pop(L, 1);
        if (held == window)
            host->Unref(ref);
    }
    ForgetObjectOfClass(host, window, kWindowClass);
}

// A message's reference is given back only when it still holds that message (see DropWindowRef).
void ReleaseObjectRef(int ref, void* object)
{
    CKVQLuaHost* host = currentHost;
    lua_State* L = host != nullptr ? host->GetState() : nullptr;
    if (L == nullptr || ref <= 0)
        return;
    lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
    void* held = lua_type(L, -1) == LUA_TUSERDATA ? *static_cast<void**>(lua_touserdata(L, -1)) : nullptr;
    lua_pop(L, 1);
    if (held == object)
        host->Unref(ref);
}

void ResetNotifyReference()
{
    CKVQSystemAPI& api = CKVQSystemAPI::Instance();
    const std::string hook = api.GetNotifyHook();
    api.HookSystemNotify(hook.c_str());
}

// " (window 'play', message 'OnLClickUp')" for a handler call; "" without a site.
std::string SiteText(const ScriptCallSite* site)
{
    if (site == nullptr)
        return "";
    std::string parts;
    if (CKVQWindow* window = site->window != 0 ? CKVQWindow::FromHandle(site->window) : nullptr) {
        const char* name = window->GetName();
        parts = name != nullptr && *name != 0 ? std::string("window '") + name + "'" : std::string("an unnamed window");
    }
    if (site->message != nullptr && *site->message != 0) {
        if (!parts.empty())
            parts += ", ";
        parts += std::string("message '") + site->message + "'";
    }
    return parts.empty() ? parts : " (" + parts + ")";
}

}  // namespace

// ---- argument list ------------------------------------------------------------------------------

void LuaArgList::AddInteger(int32_t value)
{
    Entry& entry = entries_.emplace_back();
    entry.kind = kInteger;
    entry.integer = value;
}

void LuaArgList::AddFloat(float value)
{
    Entry& entry = entries_.emplace_back();
    entry.kind = kFloat;
    entry.number = value;
}

void LuaArgList::AddString(const char* text, int32_t* cachedRef)
{
    Entry& entry = entries_.emplace_back();
    entry.kind = kString;
    entry.text = text;
    entry.ref = cachedRef;
}

void LuaArgList::AddObject(void* object, const char* typeName, int32_t* cachedRef)
{
    Entry& entry = entries_.emplace_back();
    entry.kind = kObject;
    entry.object = object;
    entry.typeName = typeName;
    entry.ref = cachedRef;
}

// ---- host -------------------------------------------------------------------------------------

CKVQLuaHost::~CKVQLuaHost()
{
    Close();
    if (currentHost == this)
        currentHost = nullptr;
}

int32_t CKVQLuaHost::Open()
{
    Close();
    lua_State* L = luaL_newstate();
    if (L == nullptr) {
        SetLastError("not enough memory for the script interpreter");
        return -1;
    }
    if (lua_cpcall(L, OpenSteps, this) != 0) {
        SetLastError(ErrorValueText(L, -1).c_str());
        lua_close(L);
        return -1;
    }
    state_ = L;
    ClearLastError();
    return 0;
}

void CKVQLuaHost::Close()
{
    if (state_ == nullptr)
        return;
    // Objects that collectors destroy while the state closes report themselves gone; with the
    // state already detached from the host those reports do nothing.
    lua_State* L = state_;
    state_ = nullptr;
    lua_close(L);
    loadedFiles_.clear();
}

void CKVQLuaHost::SetLastError(const char* text)
{
    lastErrorShown_ = false;
    pendingLocation_.clear();
    if (text == nullptr) {
        lastError_[0] = 0;
        return;
    }
    const size_t length = strnlen(text, kLastErrorMax);
    std::memcpy(lastError_, text, length);
    lastError_[length] = 0;
}

void CKVQLuaHost::ReportFailure(int top, const char* caption, bool messageBox, const ScriptCallSite* site)
{
    lua_State* L = state_;
    const bool hasValue = lua_gettop(L) > top;
    const std::string text = hasValue ? ErrorValueText(L, -1) : std::string(kNoMessageText);
    SetLastError(text.c_str());
    lua_settop(L, top);
    std::string location;
    location.swap(errorLocation_);
    if (!messageBox) {
        pendingLocation_ = location;
        return;
    }
    KVQAPI_OutputDebugStr(lastError_);
    ShowError(location.empty() ? text : location + ": " + text, caption, site);
}

// A failure is shown once per distinct text (with its call site): on standard error, and in a
// dialog while a window is shown. A handler failing every frame is then one line and a count.
void CKVQLuaHost::ShowError(const std::string& text, const char* caption, const ScriptCallSite* site)
{
    lastErrorShown_ = true;
    // One line: a text of several lines (the engine's argument errors) is joined at its breaks.
    std::string shown;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r') {
            shown += text[i];
            continue;
        }
        while (i + 1 < text.size() && std::isspace(static_cast<unsigned char>(text[i + 1])) != 0)
            ++i;
        shown += ' ';
    }
    while (!shown.empty() && shown.back() == ' ')
        shown.pop_back();
    shown += SiteText(site);
    const std::string line = kScriptErrorPrefix + shown;
    if (notices::NoticeOnce(line, line, true))
        platform::ShowMessageDialog(shown.c_str(), caption);
}

void CKVQLuaHost::ShowPendingError()
{
    if (lastError_[0] == 0 || lastErrorShown_)
        return;
    const std::string location = pendingLocation_;
    ShowError(location.empty() ? std::string(lastError_) : location + ": " + lastError_, kCallCaption, nullptr);
}

int CKVQLuaHost::ErrorHandler(lua_State* L)
{
    lua_settop(L, 1);
    CKVQLuaHost* host = lua_checkstack(L, 4) ? HostOf(L) : nullptr;
    if (host == nullptr)
        return 1;
    host->errorLocation_.clear();
    // Errors raised by Lua code carry "FILE:LINE:" of some script on the stack already; those of
    // the engine's functions (a wrong argument, say) and error(text, 0) do not.
    const char* message = lua_type(L, 1) == LUA_TSTRING ? lua_tostring(L, 1) : nullptr;
    std::string nearest;
    lua_Debug ar;
    for (int level = 1; level <= kLocationSearchDepth && lua_getstack(L, level, &ar) != 0; ++level) {
        if (lua_getinfo(L, "Sl", &ar) == 0 || ar.currentline <= 0)
            continue;
        const size_t length = std::strlen(ar.short_src);
        if (message != nullptr && std::strncmp(message, ar.short_src, length) == 0 && message[length] == ':')
            return 1;
        if (nearest.empty())
            nearest = std::string(ar.short_src) + ":" + std::to_string(ar.currentline);
    }
    host->errorLocation_ = nearest;
    return 1;
}

void CKVQLuaHost::PushErrorHandler()
{
    lua_pushlightuserdata(state_, &errorHandlerKey);
    lua_rawget(state_, LUA_REGISTRYINDEX);
}

int32_t CKVQLuaHost::ProtectedCall(int32_t argumentCount)
{
    lua_State* L = state_;
    const int base = lua_gettop(L) - argumentCount;  // the function
    PushErrorHandler();
    lua_insert(L, base);
    errorLocation_.clear();
    const int status = lua_pcall(L, argumentCount, 0, base);
    lua_remove(L, base);
    if (status != 0)
        lua_gc(L, LUA_GCCOLLECT, 0);
    return status;
}

bool CKVQLuaHost::DoFile(const char* path)
{
    if (state_ == nullptr || path == nullptr)
        return false;
    CFileSystem& fs = GetFileSystem();

    auto loaded = loadedFiles_.find(path);
    if (loaded != loadedFiles_.end()) {
        IFile* file = fs.Open(path, true);
        if (file == nullptr)
            return true;  // a file that can no longer be opened counts as unchanged
        const int32_t length = file->GetSize();
        fs.Close(file);
        if (length == loaded->second)
            return true;
    }

    IFile* file = fs.Open(path, true);
    if (file == nullptr) {
        notices::ReportMissing("script", path, ScriptLookupText(path));
        return false;
    }
    const int32_t length = file->GetSize();
    if (length < 0) {
        fs.Close(file);
        return false;
    }
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(length) + 1]);
    if (!buffer) {
        fs.Close(file);
        SetLastError((std::string(path) + ": not enough memory to load the script").c_str());
        return false;
    }
    const int32_t read = length > 0 ? file->Read(buffer.get(), length) : 0;
    fs.Close(file);
    if (read != length)
        return false;  // a short read would run half a script
    buffer[static_cast<size_t>(length)] = 0;

    lua_State* L = state_;
    const int top = lua_gettop(L);
    // "@" makes Lua name the chunk as a file: errors read "lua/main.lua:3: ...".
    const std::string chunkName = std::string("@") + path;
    int status = luaL_loadbuffer(L, buffer.get(), static_cast<size_t>(length), chunkName.c_str());
    if (status == 0)
        status = ProtectedCall(0);
    buffer.reset();
    if (status == 0) {
        lua_settop(L, top);
        loadedFiles_[path] = length;
        return true;
    }
    ReportFailure(top, kDoFileCaption, true);
    return false;
}

bool CKVQLuaHost::DoBuffer(const char* text, size_t length, const char* chunkName)
{
    if (state_ == nullptr || text == nullptr)
        return false;
    lua_State* L = state_;
    const int top = lua_gettop(L);
    int status = luaL_loadbuffer(L, text, length, chunkName != nullptr ? chunkName : "");
    if (status == 0)
        status = ProtectedCall(0);
    if (status == 0) {
        lua_settop(L, top);
        return true;
    }
    ReportFailure(top, nullptr, false);
    return false;
}

int32_t CKVQLuaHost::RefName(const char* name)
{
    if (state_ == nullptr)
        return -1;
    if (name != nullptr)
        lua_pushstring(state_, name);
    else
        lua_pushnil(state_);
    return luaL_ref(state_, LUA_REGISTRYINDEX);  // nil gives -1: nothing taken
}

int32_t CKVQLuaHost::RefObject(void* object, const char* className)
{
    if (state_ == nullptr)
        return -1;
    PushObject(state_, object, className);
    return luaL_ref(state_, LUA_REGISTRYINDEX);
}

void CKVQLuaHost::Unref(int32_t ref)
{
    if (state_ != nullptr && ref > 0)
        luaL_unref(state_, LUA_REGISTRYINDEX, ref);
}

int32_t CKVQLuaHost::CallGlobal(const char* functionName, int32_t& cachedRef, const LuaArgList& args,
                                const ScriptCallSite* site)
{
    const std::vector<LuaArgList::Entry>& entries = args.Entries();
    const int count = static_cast<int>(entries.size());
    lua_State* L = state_;
    // Lua leaves every caller (the engine's loop, or a bound function calling back into the
    // engine) at least LUA_MINSTACK free slots: short lists fit without asking for more.
    if (L == nullptr || (count > kArgumentsWithinReserve && !lua_checkstack(L, count + 5))) {
        SetLastError(L == nullptr ? "no script interpreter" : "too many arguments for a script call");
        KVQAPI_OutputDebugStr(lastError_);
        ShowError(lastError_, kCallCaption, site);
        return kCallError;
    }
    // The stack height at entry is only needed on the failure paths, where exactly one value (the
    // looked-up value or the error) lies above it.

    if (cachedRef == -1)
        cachedRef = RefName(functionName);
    // A plain lookup first; metamethods of the globals (a "strict" guard that raises on unknown
    // names, say) run only for a miss, and protected, so that they cannot unwind into the engine.
    lua_rawgeti(L, LUA_REGISTRYINDEX, cachedRef);
    lua_rawget(L, LUA_GLOBALSINDEX);
    int found = lua_type(L, -1);
    if (found == LUA_TNIL && lua_getmetatable(L, LUA_GLOBALSINDEX)) {
        lua_pop(L, 2);
        lua_pushcfunction(L, LookupGlobal);
        lua_rawgeti(L, LUA_REGISTRYINDEX, cachedRef);
        if (lua_pcall(L, 1, 1, 0) != 0) {
            ReportFailure(lua_gettop(L) - 1, kCallCaption, true, site);
            return kCallError;
        }
        found = lua_type(L, -1);
    }
    if (found != LUA_TFUNCTION) {
        lua_pop(L, 1);
        const std::string text = std::string(functionName != nullptr ? functionName : "") + kMissingFunctionSuffix;
        SetLastError(text.c_str());
        KVQAPI_OutputDebugStr(lastError_);
        ShowError(text, kCallCaption, site);
        return kCallNoFunction;
    }
    // The handler sits below the function and its arguments.
    PushErrorHandler();
    lua_insert(L, -2);
    const int handler = lua_gettop(L) - 1;

    for (const LuaArgList::Entry& entry : entries) {
        // Texts and objects with a cached reference (the usual case) come from the registry.
        if (entry.ref != nullptr && entry.kind >= LuaArgList::kString) {
            if (*entry.ref == -1) {
                *entry.ref = entry.kind == LuaArgList::kString ? RefName(entry.text)
                                                               : RefObject(entry.object, entry.typeName);
            }
            if (*entry.ref != -1) {
                lua_rawgeti(L, LUA_REGISTRYINDEX, *entry.ref);
                continue;
            }
        }
        switch (entry.kind) {
        case LuaArgList::kInteger:
            lua_pushnumber(L, entry.integer);
            break;
        case LuaArgList::kFloat:
            lua_pushnumber(L, static_cast<lua_Number>(entry.number));
            break;
        case LuaArgList::kString:
            if (entry.text != nullptr)
                lua_pushstring(L, entry.text);
            else
                lua_pushnil(L);
            break;
        case LuaArgList::kObject:
            PushObject(L, entry.object, entry.typeName);
            break;
        default:
            lua_pushnil(L);
            break;
        }
    }

    // Without results the call leaves the stack as it was before the function was pushed.
    errorLocation_.clear();
    if (lua_pcall(L, count, 0, handler) != 0) {
        ReportFailure(handler - 1, kCallCaption, true, site);
        return kCallError;
    }
    lua_pop(L, 1);  // the handler
    return kCallOk;
}

void CKVQLuaHost::ForgetObject(void* object)
{
    lua_State* L = state_;
    if (L == nullptr || object == nullptr || !lua_checkstack(L, 16))
        return;
    const int top = lua_gettop(L);
    PushObjectTables(L);
    const int list = lua_gettop(L);
    const int count = static_cast<int>(lua_objlen(L, list));
    for (int i = 1; i <= count; ++i) {
        lua_rawgeti(L, list, i);
        ClearObjectEntry(L, lua_gettop(L), object);
        lua_settop(L, list);
    }
    ClearOwnership(L, object);
    lua_settop(L, top);
}

CKVQLuaHost* SetCurrentHost(CKVQLuaHost* host)
{
    CKVQLuaHost* previous = currentHost;
    currentHost = host;
    return previous;
}

CKVQLuaHost* GetCurrentHost()
{
    return currentHost;
}

CKVQLuaHost& InitScriptHost()
{
    // Never destroyed: the interpreter lives to the end of the process, past static destruction.
    if (processHost == nullptr)
        processHost = new CKVQLuaHost();
    CKVQLuaHost& host = *processHost;
    SetCurrentHost(&host);
    if (host.GetState() != nullptr)
        return host;  // already initialised

    host.Open();
    lua_State* L = host.GetState();
    if (L != nullptr) {
        if (lua_cpcall(L, RegisterSteps, nullptr) != 0) {
            host.SetLastError(ErrorValueText(L, -1).c_str());
            lua_settop(L, 0);
            KVQAPI_OutputDebugStr(host.GetLastErrorText());
        }
        DropObjectTables(L);
    }

    WindowModule& windows = WindowModule::Get();
    windows.makeScriptRef = [](CKVQWindow* window) -> int32_t {
        return currentHost != nullptr ? currentHost->RefObject(window, kWindowClass) : -1;
    };
    windows.dropScriptRef = DropWindowRef;
    windows.notify = [](const char* event, const char* argument) {
        CKVQSystemAPI::Instance().Notify(event, argument);
    };
    windows.setIMEState = [](bool open) { CKVQSystemAPI::Instance().SetIMEState(open); };
    SetScriptObjectForgetter(ForgetInCurrentHost);
    SetScriptRefReleaser(ReleaseObjectRef);
    ResetNotifyReference();
    // The message shared by "OnLoad", "OnUnload" and "OnUpdate" reaches scripts on every frame:
    // it keeps one object reference for the life of the interpreter.
    windows.sharedMessage.SetScriptRef(L != nullptr ? host.RefObject(&windows.sharedMessage, "CKVQMessage") : -1);
    return host;
}

void ShutdownScriptHost()
{
    WindowModule& windows = WindowModule::Get();
    windows.makeScriptRef = nullptr;
    windows.dropScriptRef = nullptr;
    windows.notify = nullptr;
    windows.setIMEState = nullptr;
    windows.sharedMessage.SetScriptRef(-1);
    SetScriptObjectForgetter(nullptr);
    SetScriptRefReleaser(nullptr);
    ResetNotifyReference();
    if (processHost != nullptr) {
        processHost->Close();
        processHost->ClearLastError();
        if (currentHost == processHost)
            currentHost = nullptr;
    }
}

std::string ScriptLookupText(const char* path)
{
    CFileSystem& fs = GetFileSystem();
    const std::string& app = fs.GetApplicationFolder();
    std::string name = path != nullptr ? path : "";
    std::string places;
    auto add = [&places](const std::string& place) {
        if (!places.empty())
            places += ", ";
        places += place;
    };
    if (name.find_first_of("/\\") == std::string::npos) {
        // A bare name is looked for in the application folder, below it and along the search paths.
        add(app + " and the folders below it");
        for (const std::string& folder : fs.GetSearchPaths())
            add("search path '" + folder + "'");
    } else if (name[0] == '/') {
        add(name);
    } else {
        add(app + name);
    }
    const std::string& package = fs.GetPackageName();
    if (!package.empty()) {
        CPackage* opened = fs.FindPackage(package);
        if (opened != nullptr && !opened->Entries().empty())
            add("package '" + package + ".KVQ'");
    }
    return places;
}
