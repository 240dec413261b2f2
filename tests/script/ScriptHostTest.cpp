// The process's script host with every binding: windows reach scripts through their reference,
// destroyed engine objects stop being reachable, deletions reach the notify hook, and the host's
// own globals are there.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

extern "C" {
#include <lua.h>
}

#include "app/SystemAPI.h"
#include "common/Notices.h"
#include "io/Archive.h"
#include "render/logic/LuaLogic.h"
#include "script/LuaHost.h"
#include "script/ScriptTestSupport.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

// Registry slots that hold a value of the given type (a freed slot holds a number).
int CountRegistrySlotsOfType(lua_State* L, int type)
{
    int count = 0;
    lua_pushnil(L);
    while (lua_next(L, LUA_REGISTRYINDEX) != 0) {
        if (lua_type(L, -2) == LUA_TNUMBER && lua_type(L, -1) == type)
            ++count;
        lua_pop(L, 1);
    }
    return count;
}

int SlotType(lua_State* L, int32_t ref)
{
    lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
    const int type = lua_type(L, -1);
    lua_pop(L, 1);
    return type;
}

class ScriptHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        host = &InitScriptHost();
        L = host->GetState();
        ASSERT_NE(L, nullptr);
        ASSERT_STREQ(host->GetLastErrorText(), "");
    }
    void TearDown() override
    {
        CKVQSystemAPI::Instance().HookSystemNotify("");
        WindowModule::Get().ReleaseDeleted();
        ShutdownScriptHost();
        WindowModule::Get().DrainPool();
    }

    bool Run(const std::string& code) { return host->DoBuffer(code.data(), code.size()); }
    std::string Global(const char* name) { return LuaGlobal(L, name); }
    bool GlobalIsTrue(const char* name) { return LuaGlobalIsTrue(L, name); }
    void SetGlobalFromRef(const char* name, int32_t ref) { ::SetGlobalFromRef(L, name, ref); }
    bool LastErrorHas(const char* text) { return std::string(host->GetLastErrorText()).find(text) != std::string::npos; }

    CKVQLuaHost* host = nullptr;
    lua_State* L = nullptr;
};

TEST_F(ScriptHost, WindowReachesHandlersAsOneUserdataWithTheEventArguments)
{
    CKVQWindow* window = CKVQWindow::New();
    ASSERT_NE(window, nullptr);
    window->SetName("panel");
    int32_t windowRef = window->GetScriptRef();
    ASSERT_NE(windowRef, -1);

    ASSERT_TRUE(Run("function OnEvent(w, name, msg, sender) "
                    "  calls = (calls or 0) + 1 "
                    "  first = first or w "
                    "  same = rawequal(first, w) and w:GetName() == 'panel' "
                    "  eventName, other, messageKind = name, sender, type(msg) "
                    "end"));
    CKVQMessage message;
    int32_t nameRef = -1;
    int32_t handlerRef = -1;
    LuaArgList args;
    args.AddObject(window, "CKVQWindow", &windowRef);
    args.AddString("OnClick", &nameRef);
    args.AddObject(&message, "CKVQMessage");
    args.AddObject(nullptr, "CKVQWindow");
    ASSERT_EQ(host->CallGlobal("OnEvent", handlerRef, args), CKVQLuaHost::kCallOk);
    ASSERT_EQ(host->CallGlobal("OnEvent", handlerRef, args), CKVQLuaHost::kCallOk) << host->GetLastErrorText();
    EXPECT_EQ(Global("calls"), "2");
    EXPECT_TRUE(GlobalIsTrue("same"));
    EXPECT_EQ(Global("eventName"), "OnClick");
    EXPECT_EQ(Global("other"), "nil");
    EXPECT_EQ(Global("messageKind"), "userdata");
    window->Delete();
}

TEST_F(ScriptHost, ReleasedWindowThatAScriptStillHoldsGivesInvalidSelf)
{
    CKVQWindow* window = CKVQWindow::New();
    ASSERT_NE(window, nullptr);
    window->SetName("kept");
    SetGlobalFromRef("held", window->GetScriptRef());
    ASSERT_TRUE(Run("name = held:GetName()"));
    EXPECT_EQ(Global("name"), "kept");

    window->Delete();
    WindowModule::Get().ReleaseDeleted();
    EXPECT_FALSE(Run("held:GetName()"));
    EXPECT_TRUE(LastErrorHas("invalid 'self'")) << host->GetLastErrorText();

    // The pool hands the same memory out again: the new window is a new userdata.
    CKVQWindow* reused = CKVQWindow::New();
    ASSERT_NE(reused, nullptr);
    ASSERT_EQ(reused, window);
    SetGlobalFromRef("fresh", reused->GetScriptRef());
    ASSERT_TRUE(Run("distinct = not rawequal(fresh, held) and fresh:GetName() == ''"));
    EXPECT_TRUE(GlobalIsTrue("distinct"));
    reused->Delete();
}

TEST_F(ScriptHost, DestroyedMessageThatAScriptStillHoldsGivesInvalidSelf)
{
    auto* message = new CKVQMessage;
    message->setData(12);
    SetGlobalFromRef("held", host->RefObject(message, "CKVQMessage"));
    ASSERT_TRUE(Run("data = held:getData()"));
    EXPECT_EQ(Global("data"), "12");
    delete message;
    EXPECT_FALSE(Run("held:getData()"));
    EXPECT_TRUE(LastErrorHas("invalid 'self'")) << host->GetLastErrorText();
}

TEST_F(ScriptHost, DeletedWindowIsAnnouncedToTheHookWithItsHandleAsDecimalText)
{
    ASSERT_TRUE(Run("function OnSystem(event, data) seenEvent, seenData = event, data end"));
    CKVQSystemAPI::Instance().HookSystemNotify("OnSystem");
    CKVQWindow* window = CKVQWindow::New();
    ASSERT_NE(window, nullptr);
    const uint32_t handle = window->GetWindowHandle();
    window->Delete();
    EXPECT_EQ(Global("seenEvent"), "OnWindowDelete");
    EXPECT_EQ(Global("seenData"), std::to_string(handle));

    // An empty name switches the notifications off.
    ASSERT_TRUE(Run("seenEvent = nil"));
    CKVQSystemAPI::Instance().HookSystemNotify("");
    CKVQWindow* second = CKVQWindow::New();
    ASSERT_NE(second, nullptr);
    second->Delete();
    EXPECT_EQ(Global("seenEvent"), "nil");

    // A hook that names no function is reported like any missing handler.
    CKVQSystemAPI::Instance().HookSystemNotify("NoSuchHook");
    CKVQSystemAPI::Instance().Notify("OnPing", "2");
    EXPECT_STREQ(host->GetLastErrorText(), "NoSuchHook Find lua global function no exist");
}

// A logic's handler that fails, or names no function, is reported with the window and the
// message it was called for, once however many times the message arrives.
TEST_F(ScriptHost, HandlerFailuresNameTheirWindowAndMessageOnce)
{
    ASSERT_TRUE(Run("function OnPlayUp(w, name) error('boom') end"));
    CKVQWindow* named = CKVQWindow::New();
    CKVQWindow* unnamed = CKVQWindow::New();
    ASSERT_TRUE(named && unnamed);
    named->SetName("play");
    const struct {
        CKVQWindow* window;
        const char* function;
        const char* line;
    } cases[] = {
        {named, "OnPlayUp", "kvq: script error: [string \"\"]:1: boom (window 'play', message 'OnLClickUp')\n"},
        {named, "OnNothing",
         "kvq: script error: OnNothing Find lua global function no exist (window 'play', message 'OnLClickUp')\n"},
        {unnamed, "OnPlayUp", "kvq: script error: [string \"\"]:1: boom (an unnamed window, message 'OnLClickUp')\n"},
    };
    CKVQMessage message;
    for (const auto& c : cases) {
        CRenderObject_LuaLogic logic;
        auto entry = std::make_unique<CRenderObject_LuaLogic::Entry>();
        entry->Msg = "OnLClickUp";
        entry->LuaFunc = c.function;
        logic.entries.push_back(std::move(entry));
        notices::Reset();
        ::testing::internal::CaptureStderr();
        EXPECT_NE(logic.Call("OnLClickUp", c.window, &message, nullptr), CKVQLuaHost::kCallOk);
        EXPECT_NE(logic.Call("OnLClickUp", c.window, &message, nullptr), CKVQLuaHost::kCallOk);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.line);
    }
    notices::Reset();
    named->Delete();
    unnamed->Delete();
}

TEST_F(ScriptHost, ToUserTypeTrustsOnlyObjectsTheEngineCanVouchFor)
{
    CKVQWindow* window = CKVQWindow::New();
    ASSERT_NE(window, nullptr);
    SetGlobalFromRef("held", window->GetScriptRef());
    const std::string address = std::to_string(reinterpret_cast<uintptr_t>(window));
    const std::string token = std::to_string(KVQPointerToken(window, "CKVQWindow"));
    ASSERT_TRUE(Run("byAddress = rawequal(tousertype(" + address + ", 'CKVQWindow'), held)"));
    EXPECT_TRUE(GlobalIsTrue("byAddress"));
    ASSERT_TRUE(Run("byToken = rawequal(tousertype(" + token + ", 'CKVQWindow'), held)"));
    EXPECT_TRUE(GlobalIsTrue("byToken"));
    ASSERT_TRUE(Run("refused = tousertype(0, 'CKVQWindow') == nil "
                    "and tousertype(123456789, 'CKVQWindow') == nil "
                    "and tousertype(" + address + ", 'CKVQMessage') == nil "
                    "and tousertype(" + address + ", 'NoSuchClass') == nil "
                    "and tousertype(" + token + ", 'CKVQMessage') == nil "
                    "and tousertype(-1, 'CKVQWindow') == nil and tousertype(0.5, 'CKVQWindow') == nil "
                    "and tousertype('x', {}) == nil and tousertype() == nil"));
    EXPECT_TRUE(GlobalIsTrue("refused"));
    window->Delete();
}

// A message that holds a registry reference gives it back when it is destroyed, but only a
// reference that still names it.
TEST_F(ScriptHost, DestroyedMessageGivesItsOwnReferenceBackAndNoOtherSlot)
{
    auto* message = new CKVQMessage;
    const int32_t ref = host->RefObject(message, "CKVQMessage");
    ASSERT_GT(ref, 0);
    message->SetScriptRef(ref);
    ASSERT_EQ(SlotType(L, ref), LUA_TUSERDATA);
    delete message;
    EXPECT_NE(SlotType(L, ref), LUA_TUSERDATA);

    // A stale number that names another object's slot leaves that slot alone.
    CKVQMessage other;
    const int32_t otherRef = host->RefObject(&other, "CKVQMessage");
    ASSERT_GT(otherRef, 0);
    auto* stale = new CKVQMessage;
    stale->SetScriptRef(otherRef);
    delete stale;
    EXPECT_EQ(SlotType(L, otherRef), LUA_TUSERDATA);
    other.SetScriptRef(otherRef);
}

TEST_F(ScriptHost, RehookingTheNotifyHookGivesItsNameReferenceBack)
{
    ASSERT_TRUE(Run("function Hooked() hooked = (hooked or 0) + 1 end"));
    CKVQSystemAPI& api = CKVQSystemAPI::Instance();
    api.HookSystemNotify("Hooked");
    api.Notify("Event", "1");
    const int names = CountRegistrySlotsOfType(L, LUA_TSTRING);
    for (int i = 0; i < 20; ++i) {
        api.HookSystemNotify("Hooked");
        api.Notify("Event", "1");
    }
    EXPECT_EQ(Global("hooked"), "21");
    EXPECT_EQ(CountRegistrySlotsOfType(L, LUA_TSTRING), names);
}

}  // namespace
