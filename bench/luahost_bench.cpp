// A window event reaching its Lua handler: CallGlobal with the four event arguments (window, event
// name, message, sender; every one through its cached reference) against a bare lua_pcall of the
// same function with the same four values already in the registry. The host's share is the name
// lookup and the argument list; the goal is at most 1.5 times the bare call.

#include <cstdint>
#include <cstring>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "common/ScriptObjects.h"
#include "script/LuaHost.h"
#include "support/Ratio.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

constexpr const char* kHandler = "function OnBenchEvent(window, name, message, sender) end";

struct EventFixture {
    EventFixture()
    {
        host = &InitScriptHost();
        L = host->GetState();
        host->DoBuffer(kHandler, std::strlen(kHandler));
        window = CKVQWindow::New();
        sender = CKVQWindow::New();
        windowRef = window->GetScriptRef();
        senderRef = sender->GetScriptRef();
        args.AddObject(window, "CKVQWindow", &windowRef);
        args.AddString("OnClick", &nameRef);
        args.AddObject(&message, "CKVQMessage", &messageRef);
        args.AddObject(sender, "CKVQWindow", &senderRef);
        // The first call takes the references that are still missing.
        host->CallGlobal("OnBenchEvent", handlerRef, args);

        lua_getglobal(L, "OnBenchEvent");
        functionRef = luaL_ref(L, LUA_REGISTRYINDEX);
    }
    ~EventFixture()
    {
        window->Delete();
        sender->Delete();
        WindowModule::Get().ReleaseDeleted();
    }

    CKVQLuaHost* host = nullptr;
    lua_State* L = nullptr;
    CKVQWindow* window = nullptr;
    CKVQWindow* sender = nullptr;
    CKVQMessage message;
    int32_t windowRef = -1;
    int32_t senderRef = -1;
    int32_t nameRef = -1;
    int32_t messageRef = -1;
    int32_t handlerRef = -1;
    int32_t functionRef = -1;
    LuaArgList args;
};

EventFixture& Fixture()
{
    static EventFixture fixture;
    return fixture;
}

void BM_CallGlobalWindowEvent(benchmark::State& state)
{
    EventFixture& f = Fixture();
    for (auto _ : state) {
        int32_t result = f.host->CallGlobal("OnBenchEvent", f.handlerRef, f.args);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_CallGlobalWindowEvent);

void BM_BarePcallWindowEvent(benchmark::State& state)
{
    EventFixture& f = Fixture();
    lua_State* L = f.L;
    for (auto _ : state) {
        lua_rawgeti(L, LUA_REGISTRYINDEX, f.functionRef);
        lua_rawgeti(L, LUA_REGISTRYINDEX, f.windowRef);
        lua_rawgeti(L, LUA_REGISTRYINDEX, f.nameRef);
        lua_rawgeti(L, LUA_REGISTRYINDEX, f.messageRef);
        lua_rawgeti(L, LUA_REGISTRYINDEX, f.senderRef);
        int result = lua_pcall(L, 4, 0, 0);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_BarePcallWindowEvent);

// For the record: a caller that builds its argument list for every event.
void BM_CallGlobalWithFreshArgumentList(benchmark::State& state)
{
    EventFixture& f = Fixture();
    for (auto _ : state) {
        LuaArgList args;
        args.AddObject(f.window, "CKVQWindow", &f.windowRef);
        args.AddString("OnClick", &f.nameRef);
        args.AddObject(&f.message, "CKVQMessage", &f.messageRef);
        args.AddObject(f.sender, "CKVQWindow", &f.senderRef);
        int32_t result = f.host->CallGlobal("OnBenchEvent", f.handlerRef, args);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_CallGlobalWithFreshArgumentList);

// For the record: what every destroyed message or render object pays when scripts never saw it.
void BM_ForgetObjectScriptsNeverSaw(benchmark::State& state)
{
    EventFixture& f = Fixture();
    CKVQMessage unseen;
    benchmark::DoNotOptimize(f.host);
    for (auto _ : state)
        KVQForgetScriptObject(&unseen, "CKVQMessage");
}
BENCHMARK(BM_ForgetObjectScriptsNeverSaw);

}  // namespace

int main(int argc, char** argv)
{
    return RunWithRatios(argc, argv,
                         {
                             {"BM_CallGlobalWindowEvent", "BM_BarePcallWindowEvent", 1.5},
                             {"BM_CallGlobalWithFreshArgumentList", "BM_BarePcallWindowEvent", 0},
                         });
}
