// "OnUpdate" delivered through LuaLogic to 1,000 active windows (the update cascade, each window's
// render object finding its entry and calling the handler with the four window-event arguments)
// against 1,000 bare lua_pcall calls of the same handler with the same arguments already in the
// registry. The goal is at most 2 times the bare calls.

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "render/logic/LuaLogic.h"
#include "render/RenderRegistry.h"
#include "script/LuaHost.h"
#include "support/Ratio.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

constexpr int kWindows = 1000;
constexpr const char* kHandler = "updates = 0 function OnBenchUpdate(window, name, message, sender) end";

struct UpdateFixture {
    UpdateFixture()
    {
        RegisterRenderClasses();
        host = &InitScriptHost();
        L = host->GetState();
        host->DoBuffer(kHandler, std::strlen(kHandler));
        root = CKVQWindow::New();
        for (int i = 0; i < kWindows; ++i) {
            CKVQWindow* w = CKVQWindow::New();
            w->SetBit(STATUS_IsActive);
            auto* logic = new CRenderObject_LuaLogic;
            logic->ExecuteCommand("AddLuaFunction");
            logic->entries.back()->Msg = "OnUpdate";
            logic->entries.back()->LuaFunc = "OnBenchUpdate";
            w->AddRender(logic);
            root->AppendChild(w);
            windows.push_back(w);
        }
        root->OnLoad();
        root->Update(16);  // every entry takes its references

        lua_getglobal(L, "OnBenchUpdate");
        functionRef = luaL_ref(L, LUA_REGISTRYINDEX);
        lua_pushstring(L, "OnUpdate");
        nameRef = luaL_ref(L, LUA_REGISTRYINDEX);
        messageRef = host->RefObject(&message, "CKVQMessage");
        for (CKVQWindow* w : windows)
            windowRefs.push_back(w->GetScriptRef());
    }

    CKVQLuaHost* host = nullptr;
    lua_State* L = nullptr;
    CKVQWindow* root = nullptr;
    std::vector<CKVQWindow*> windows;
    std::vector<int32_t> windowRefs;
    CKVQMessage message;
    int functionRef = -1;
    int nameRef = -1;
    int messageRef = -1;
};

UpdateFixture& Fixture()
{
    static UpdateFixture fixture;
    return fixture;
}

void BM_LuaLogicOnUpdate1000Windows(benchmark::State& state)
{
    UpdateFixture& f = Fixture();
    for (auto _ : state)
        f.root->Update(16);
}
BENCHMARK(BM_LuaLogicOnUpdate1000Windows);

void BM_BarePcall1000Handlers(benchmark::State& state)
{
    UpdateFixture& f = Fixture();
    lua_State* L = f.L;
    for (auto _ : state) {
        for (int32_t ref : f.windowRefs) {
            lua_rawgeti(L, LUA_REGISTRYINDEX, f.functionRef);
            lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
            lua_rawgeti(L, LUA_REGISTRYINDEX, f.nameRef);
            lua_rawgeti(L, LUA_REGISTRYINDEX, f.messageRef);
            lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
            int result = lua_pcall(L, 4, 0, 0);
            benchmark::DoNotOptimize(result);
        }
    }
}
BENCHMARK(BM_BarePcall1000Handlers);

}  // namespace

int main(int argc, char** argv)
{
    return RunWithRatios(argc, argv, {{"BM_LuaLogicOnUpdate1000Windows", "BM_BarePcall1000Handlers", 2.0}});
}
