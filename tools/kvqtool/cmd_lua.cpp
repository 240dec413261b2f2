// kvqtool lua: runs a script inside an initialised engine (configuration and file system of the
// application folder, every script binding, no window).

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

extern "C" {
#include <lua.h>
}

#include "Commands.h"
#include "app/CoreCfg.h"
#include "common/Notices.h"
#include "render/RenderRegistry.h"
#include "script/LuaHost.h"
#include "ui/Window.h"

namespace {

// A script named by a path that exists on disk is run from there, wherever it lies; any other
// name is looked up by the file system (application folder, search paths, package).
std::string ScriptPath(const std::string& file)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        return file;
    std::filesystem::path absolute = std::filesystem::absolute(file, error);
    return error ? file : absolute.string();
}

// The global table "arg": arg[0] is the script as named, arg[1 ..] its arguments.
void SetScriptArguments(lua_State* L, const ToolArgs& args)
{
    lua_createtable(L, static_cast<int>(args.size()), 1);
    for (size_t i = 0; i < args.size(); ++i) {
        lua_pushlstring(L, args[i].data(), args[i].size());
        lua_rawseti(L, -2, static_cast<int>(i));
    }
    lua_setglobal(L, "arg");
}

// Test aid: "ReleaseDeletedWindows()" runs the frame-boundary release that a running game does
// every tick (windows deleted since the last one leave the handle table and their script
// objects are emptied). Without a frame loop, scripts that test what happens to a window they
// still hold after its release call it where the tick would fall. kvqtool only; the game has
// no such global.
int ScriptReleaseDeletedWindows(lua_State*)
{
    WindowModule::Get().ReleaseDeleted();
    return 0;
}

}  // namespace

int RunLua(const ToolArgs& args)
{
    if (WantsHelp("lua", args))
        return 0;
    if (args.empty())
        return ToolError("lua", "needs a script file (kvqtool lua FILE.lua [ARGS...])");

    LoadConfig();
    RegisterRenderClasses();
    CKVQLuaHost& host = InitScriptHost();
    lua_State* L = host.GetState();
    if (L == nullptr)
        return ToolError("lua", std::string("the script interpreter did not start: ") + host.GetLastErrorText());
    if (host.GetLastErrorText()[0] != 0)
        return ToolError("lua", std::string("registering the bindings failed: ") + host.GetLastErrorText());
    SetScriptArguments(L, args);
    lua_register(L, "ReleaseDeletedWindows", ScriptReleaseDeletedWindows);

    const std::string path = ScriptPath(args[0]);
    // A failed run, a missing file and a failed call were each said once as they happened; an
    // error left by an in-memory chunk is said here. Repeats are counted at the end.
    const bool ran = host.DoFile(path.c_str());
    const bool failed = !ran || host.GetLastErrorText()[0] != 0;
    host.ShowPendingError();
    notices::PrintRepeatCounts();
    return failed ? 1 : 0;
}
