// Layouts whose logic components react to input: the windows are built here, stored as a layout
// file, loaded through the window manager, and driven through its input handlers; the effects are
// read back from the script side.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

extern "C" {
#include <lua.h>
}

#include "render/logic/BridgeMessage.h"
#include "render/logic/LuaLogic.h"
#include "render/logic/MiniLogic.h"
#include "render/RenderRegistry.h"
#include "render/logic/TimerLogic.h"
#include "script/LuaHost.h"
#include "support/TempFiles.h"
#include "ui/Message.h"
#include "ui/TimerSystem.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

constexpr const char* kScript =
    "clicks = 0 ticks = 0 forwardedFrom = 'none' "
    "function OnButtonUp(w, name, msg, sender) clicks = clicks + 1 lastWindow = w:GetName() end "
    "function OnTimerTick(w) ticks = ticks + 1 end "
    "function OnForwarded(w, name, msg, sender) forwardedFrom = sender and sender:GetName() or 'nil' "
    "  forwardedTo = w:GetName() end";

CKVQWindow* Place(const char* name, CKVQWindow* parent, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    CKVQWindow* w = CKVQWindow::New();
    w->SetName(name);
    w->Layout = LayoutRect{0, 0, 0, 0, left, right, top, bottom};
    if (parent)
        parent->AppendChild(w);
    return w;
}

void AddLua(CKVQWindow* w, const char* msg, const char* function)
{
    auto* logic = dynamic_cast<CRenderObject_LuaLogic*>(w->GetRender(CRenderObject_LuaLogic::kClassName));
    if (!logic) {
        logic = new CRenderObject_LuaLogic;
        w->AddRender(logic);
    }
    logic->ExecuteCommand("AddLuaFunction");
    logic->entries.back()->Msg = msg;
    logic->entries.back()->LuaFunc = function;
}

// The layout: a button whose release calls Lua, renames the label, is forwarded to a sibling and
// starts a two-tick timer whose ticks reach Lua.
std::string BuildLayout(const TempFolder& folder)
{
    CKVQWindow* root = Place("root", nullptr, 0, 0, 400, 300);
    CKVQWindow* button = Place("button", root, 10, 10, 110, 60);
    Place("label", root, 10, 100, 110, 150);
    CKVQWindow* target = Place("target", root, 200, 100, 300, 150);

    AddLua(button, "OnLClickUp", "OnButtonUp");
    AddLua(button, "OnTimerTick", "OnTimerTick");
    AddLua(target, "OnForwarded", "OnForwarded");

    auto* mini = new CRenderObject_MiniLogic;
    mini->ExecuteCommand("AddLogic");
    mini->logics[0]->msg = "OnLClickUp";
    mini->ExecuteCommand("AddVariable", 0);
    CRenderObject_MiniLogic::Variable& v = *mini->logics[0]->varLst[0];
    v.nObjectID = CRenderObject_MiniLogic::kSibling;
    v.KVQWindowName = "label";
    v.AttributeName = "CKVQWindow:Attribute:className";
    v.value = "clicked";
    button->AddRender(mini);

    auto* bridge = new CRenderObject_BridgeMessage;
    bridge->ExecuteCommand("AddMsg");
    CRenderObject_BridgeMessage::Link& link = *bridge->links[0];
    link.nLinkType = CRenderObject_BridgeMessage::kSibling;
    link.WndName = "target";
    link.flags = CRenderObject_BridgeMessage::kSenderSelf;
    link.msg = "OnLClickUp";
    link.transmsg = "OnForwarded";
    button->AddRender(bridge);

    auto* timer = new CRenderObject_TimerLogic;
    timer->TriggerMsg = "OnLClickUp";
    timer->TransMsg = "OnTimerTick";
    timer->Interval = 100;
    timer->Count = 2;
    button->AddRender(timer);

    CKVQMessage out(CKVQMessage::kWindowCapacity);
    root->WriteBlock(out);
    const std::string path = folder / "logic.layout";
    WriteFile(path, out.GetBuffer(), static_cast<size_t>(out.GetSize()));
    root->Delete();
    WindowModule::Get().ReleaseDeleted();
    return path;
}

class LogicLayout : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterRenderClasses();
        host = &InitScriptHost();
        ASSERT_TRUE(host->DoBuffer(kScript, std::strlen(kScript)));
    }
    void TearDown() override
    {
        CKVQWindowMgr::Instance().Reset();
        CKVQTimerSystem::Instance().Clear();
        WindowModule::Get().ReleaseDeleted();
        ShutdownScriptHost();
    }
    std::string Global(const char* name)
    {
        lua_State* L = host->GetState();
        lua_getglobal(L, name);
        const char* text = lua_tostring(L, -1);
        std::string value = text ? text : "nil";
        lua_pop(L, 1);
        return value;
    }
    CKVQWindow* LoadLayout()
    {
        const std::string path = BuildLayout(folder);
        CKVQWindowMgr& manager = CKVQWindowMgr::Instance();
        if (!manager.Load(path.c_str()) || !manager.GetRoot())
            return nullptr;
        manager.GetRoot()->OnLoad();
        return manager.GetRoot();
    }
    void Click(int32_t x, int32_t y)
    {
        CKVQWindowMgr& manager = CKVQWindowMgr::Instance();
        manager.OnSysLClickDown(x, y);
        manager.OnSysLClickUp(x, y);
    }

    TempFolder folder;
    CKVQLuaHost* host = nullptr;
};

TEST_F(LogicLayout, ClickReachesLuaMiniLogicAndBridge)
{
    CKVQWindow* root = LoadLayout();
    ASSERT_NE(root, nullptr);
    Click(50, 30);
    EXPECT_EQ(Global("clicks"), "1");
    EXPECT_EQ(Global("lastWindow"), "button");
    EXPECT_STREQ(root->GetChild("label")->GetClassName(), "clicked");
    EXPECT_EQ(Global("forwardedTo"), "target");
    EXPECT_EQ(Global("forwardedFrom"), "button");

    Click(350, 250);  // beside the button
    EXPECT_EQ(Global("clicks"), "1");
}

TEST_F(LogicLayout, ClickStartsATimerWhoseTicksReachLua)
{
    ASSERT_NE(LoadLayout(), nullptr);
    KVQAPI_UpdateTimer(100);
    EXPECT_EQ(Global("ticks"), "0") << "the timer waits for its trigger";
    Click(50, 30);
    for (int i = 0; i < 5; ++i)
        KVQAPI_UpdateTimer(100);
    EXPECT_EQ(Global("ticks"), "2");
}

}  // namespace
