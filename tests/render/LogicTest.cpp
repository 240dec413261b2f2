#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "app/CoreCfg.h"
#include "io/Archive.h"
#include "io/EditHook.h"
#include "io/MemFile.h"
#include "render/logic/BridgeMessage.h"
#include "render/logic/LuaLogic.h"
#include "render/logic/MiniLogic.h"
#include "render/Rectangle.h"
#include "render/RenderRegistry.h"
#include "render/logic/TimerLogic.h"
#include "render/logic/XMLLuaLogic.h"
#include "script/LuaHost.h"
#include "support/TempFiles.h"
#include "ui/Message.h"
#include "ui/TimerSystem.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

// An editor's view of a description: every attribute's full name with its widget kind and hint.
// The plain attribute kinds all record just the name, editor kind and hint.
#define KVQ_RECORD_PLAIN(Method, Type)                                                                  \
    void Method(Type*, const char* n, int32_t k, const char* h, AttributeCallback, void*, int32_t) override \
    {                                                                                                   \
        Add(n, k, h);                                                                                   \
    }

class RecordingHook : public CIEditHook {
public:
    struct Item {
        std::string name;
        int32_t kind;
        std::string hint;
    };
    std::vector<Item> items;

    const Item* Find(const std::string& name) const
    {
        for (const Item& i : items) {
            if (i.name == name)
                return &i;
        }
        return nullptr;
    }

    void FloatArray(float*, const char*, int32_t, const char* n, int32_t k, const char* h, AttributeCallback, void*,
                    int32_t) override { Add(n, k, h); }
    void Int32Array(int32_t*, int32_t, const char* n, int32_t k, const char* h, AttributeCallback, void*,
                    int32_t) override { Add(n, k, h); }
    void Bit(uint32_t*, int32_t, const char* n, int32_t k, const char* h, AttributeCallback, void*, int32_t) override
    {
        Add(n, k, h);
    }
    void LabelledValue(void*, int32_t, int32_t, const char* n, int32_t k, const char* h, AttributeCallback, void*,
                       int32_t) override { Add(n, k, h); }
    void Action(const char* n, int32_t k, const char* h, AttributeCallback, void*, int32_t) override { Add(n, k, h); }
    KVQ_RECORD_PLAIN(String, CKVQString)
    KVQ_RECORD_PLAIN(Opaque16, void)
    KVQ_RECORD_PLAIN(UInt32, uint32_t)
    KVQ_RECORD_PLAIN(UInt16, uint16_t)
    KVQ_RECORD_PLAIN(Int16, int16_t)
    void Float(float*, const char*, const char* n, int32_t k, const char* h, AttributeCallback, void*,
               int32_t) override { Add(n, k, h); }
    KVQ_RECORD_PLAIN(UInt8, uint8_t)
    KVQ_RECORD_PLAIN(Int8, int8_t)
    KVQ_RECORD_PLAIN(Opaque13, void)
    KVQ_RECORD_PLAIN(Int32AsBool, int32_t)
    KVQ_RECORD_PLAIN(BoolAsInt32, int32_t)
    KVQ_RECORD_PLAIN(Int32, int32_t)
    void BeginGroup(void*, const char* n, int32_t k, const char* h, AttributeCallback, void*, int32_t,
                    bool) override
    {
        Add(n, k, h);
        pendingGroup_ = n ? n : "";
    }
    void SetObject(void*, size_t) override {}
    void EnterGroup() override { path_.push_back(pendingGroup_); }
    void LeaveGroup() override
    {
        if (!path_.empty())
            path_.pop_back();
    }
    int32_t GetKind(int32_t) const override { return ATTR_NONE; }

private:
    void Add(const char* name, int32_t kind, const char* hint)
    {
        std::string full;
        for (const std::string& p : path_)
            full += p + ":";
        full += name ? name : "";
        items.push_back({full, kind, hint ? hint : ""});
    }
    std::vector<std::string> path_;
    std::string pendingGroup_;
};

#undef KVQ_RECORD_PLAIN

// Stores an object's record and reads it into a fresh object of the same class.
template <class T>
void RoundTrip(T& from, T& to, uint8_t version = 2)
{
    CKVQMessage record;
    record.SetVersion(version);
    from.TransferRecord(record);
    record.setMode(CIArchive::SM_READ);
    record.SetVersion(version);
    to.TransferRecord(record);
    EXPECT_EQ(record.GetError(), 0);
    EXPECT_EQ(record.Buffer().Tell(), record.GetSize());
}

// A stored record written out by hand: little-endian numbers; a string is its length with the
// terminating zero, that length again, then the bytes and the zero.
class ExpectedBytes {
public:
    ExpectedBytes& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
    ExpectedBytes& U32(uint32_t v)
    {
        for (int shift = 0; shift < 32; shift += 8)
            bytes_.push_back(static_cast<uint8_t>(v >> shift));
        return *this;
    }
    ExpectedBytes& Str(const std::string& text)
    {
        const auto n = static_cast<int32_t>(text.size() + 1);
        I32(n).I32(n);
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        bytes_.push_back(0);
        return *this;
    }
    const std::vector<uint8_t>& Get() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

std::vector<uint8_t> StoredRecord(IRender& object, uint8_t version = 2)
{
    CKVQMessage record;
    record.SetVersion(version);
    object.TransferRecord(record);
    EXPECT_EQ(record.GetError(), 0);
    return std::vector<uint8_t>(record.GetBuffer(), record.GetBuffer() + record.GetSize());
}

class Logic : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterRenderClasses();
        host = &InitScriptHost();
        L = host->GetState();
    }
    void TearDown() override
    {
        for (CKVQWindow* w : made)
            w->Delete();
        WindowModule::Get().ReleaseDeleted();
        CKVQTimerSystem::Instance().Clear();
        ShutdownScriptHost();
    }
    CKVQWindow* Make(const char* name, CKVQWindow* parent = nullptr)
    {
        CKVQWindow* w = CKVQWindow::New();
        w->SetName(name);
        if (parent)
            parent->AppendChild(w);
        else
            made.push_back(w);
        return w;
    }
    void Run(const char* script) { ASSERT_TRUE(host->DoBuffer(script, std::strlen(script))) << script; }
    std::string Global(const char* name)
    {
        lua_getglobal(L, name);
        const char* text = lua_tostring(L, -1);
        std::string value = text ? text : (lua_isboolean(L, -1) ? (lua_toboolean(L, -1) ? "true" : "false") : "nil");
        lua_pop(L, 1);
        return value;
    }
    template <class T>
    T* Attach(CKVQWindow* w)
    {
        auto* object = new T;
        w->AddRender(object);
        return object;
    }

    CKVQLuaHost* host = nullptr;
    lua_State* L = nullptr;
    std::vector<CKVQWindow*> made;
};

CRenderObject_LuaLogic::Entry& AddEntry(CRenderObject_LuaLogic& logic, const char* msg, const char* function)
{
    logic.ExecuteCommand("AddLuaFunction");
    CRenderObject_LuaLogic::Entry& e = *logic.entries.back();
    e.Msg = msg;
    e.LuaFunc = function;
    return e;
}

CRenderObject_MiniLogic::Variable& AddVariable(CRenderObject_MiniLogic& mini, const char* msg)
{
    CRenderObject_MiniLogic::Logic* logic = nullptr;
    for (auto& l : mini.logics) {
        if (l->msg == msg)
            logic = l.get();
    }
    if (!logic) {
        mini.ExecuteCommand("AddLogic");
        logic = mini.logics.back().get();
        logic->msg = msg;
    }
    logic->varLst.push_back(std::make_unique<CRenderObject_MiniLogic::Variable>());
    return *logic->varLst.back();
}

// ---- LuaLogic ----

TEST_F(Logic, LuaLogicCallsTheFirstMatchingEntryWithTheWindowEventArguments)
{
    Run("calls = '' "
        "function First(w, name, msg, sender) calls = calls .. 'first:' .. w:GetName() .. ':' .. name .. ':' "
        "  .. tostring(msg:int()) .. ':' .. tostring(sender == nil) .. ';' end "
        "function Second() calls = calls .. 'second;' end");
    CKVQWindow* w = Make("button");
    auto* logic = Attach<CRenderObject_LuaLogic>(w);
    AddEntry(*logic, "OnLClickDown", "First");
    AddEntry(*logic, "OnLClickDown", "Second");

    w->SendEvent("OnLClickDown", nullptr);
    EXPECT_EQ(Global("calls"), "") << "entry handlers wait for the load";

    w->OnLoad();
    CKVQMessage message;
    message.setMode(CIArchive::SM_WRITE);
    int32_t value = 42;
    message.Int32(value);
    w->ProcMessage("OnLClickDown", &message, nullptr);
    EXPECT_EQ(Global("calls"), "first:button:OnLClickDown:42:true;");
}

TEST_F(Logic, LuaLogicRunsItsScriptOnlyWhenTheFunctionIsMissing)
{
    CKVQWindow* w = Make("w");
    auto* logic = Attach<CRenderObject_LuaLogic>(w);
    CRenderObject_LuaLogic::Entry& e = AddEntry(*logic, "OnLoad", "Defined");
    e.LuaScript = "scriptRuns = (scriptRuns or 0) + 1 function Defined() defined = (defined or 0) + 1 end";
    w->OnLoad();
    EXPECT_EQ(Global("scriptRuns"), "1");
    EXPECT_EQ(Global("defined"), "1");
    logic->Call("OnLoad", w, nullptr, nullptr);
    EXPECT_EQ(Global("scriptRuns"), "1");
    EXPECT_EQ(Global("defined"), "2");
}

TEST_F(Logic, LuaLogicRunsItsFileAtLoadAndSurvivesAMissingFunction)
{
    TempFolder folder;
    WriteFile(folder / "logic.lua", "loaded = 'yes' function FromFile() fromFile = 1 end");
    CKVQWindow* w = Make("w");
    auto* logic = Attach<CRenderObject_LuaLogic>(w);
    logic->strLuaFile = (folder / "logic.lua").c_str();
    AddEntry(*logic, "OnShow", "FromFile");
    AddEntry(*logic, "OnHide", "NoSuchFunction");
    w->OnLoad();
    EXPECT_EQ(Global("loaded"), "yes");
    EXPECT_EQ(logic->Call("OnHide", w, nullptr, nullptr), CKVQLuaHost::kCallNoFunction);
    EXPECT_EQ(logic->Call("OnShow", w, nullptr, nullptr), CKVQLuaHost::kCallOk);
    EXPECT_EQ(Global("fromFile"), "1");
    EXPECT_EQ(logic->Call("OnMove", w, nullptr, nullptr), -1);
}

TEST_F(Logic, LuaLogicRecordCarriesTheScriptFromVersionTwo)
{
    CRenderObject_LuaLogic from;
    CRenderObject_LuaLogic::Entry& e = AddEntry(from, "OnLoad", "Go");
    e.ListenGlobal = 1;
    e.LuaScript = "function Go() end";
    from.strLuaFile = "a.lua";

    CRenderObject_LuaLogic current, old;
    RoundTrip(from, current, 2);
    RoundTrip(from, old, 1);
    ASSERT_EQ(current.entries.size(), 1u);
    EXPECT_STREQ(current.entries[0]->LuaFunc.c_str(), "Go");
    EXPECT_EQ(current.entries[0]->ListenGlobal, 1);
    EXPECT_STREQ(current.entries[0]->LuaScript.c_str(), "function Go() end");
    EXPECT_STREQ(current.strLuaFile.c_str(), "a.lua");
    ASSERT_EQ(old.entries.size(), 1u);
    EXPECT_TRUE(old.entries[0]->LuaScript.IsEmpty());
    EXPECT_STREQ(old.strLuaFile.c_str(), "a.lua");
}

TEST_F(Logic, LuaLogicEditorCopiesAndDeletesEntries)
{
    CRenderObject_LuaLogic logic;
    AddEntry(logic, "OnShow", "Shown").LuaScript = "function Shown() end";
    EXPECT_TRUE(logic.ExecuteCommand("Copy", 0));
    EXPECT_TRUE(logic.ExecuteCommand("Paste"));
    ASSERT_EQ(logic.entries.size(), 2u);
    EXPECT_STREQ(logic.entries[1]->LuaFunc.c_str(), "Shown");
    EXPECT_STREQ(logic.entries[1]->LuaScript.c_str(), "function Shown() end");
    EXPECT_TRUE(logic.ExecuteCommand("Delete", 0));
    EXPECT_EQ(logic.entries.size(), 1u);
    EXPECT_FALSE(logic.ExecuteCommand("Delete", 5));
}

// ---- XMLLuaLogic ----

TEST_F(Logic, XmlLuaLogicBuildsItsTableFromEventsWithLongEnoughNames)
{
    TempFolder folder;
    WriteFile(folder / "events.xml",
                          "<?xml version=\"1.0\"?><GameLogic><!-- events -->"
                          "<Event call=\"OnClicked\" name=\"OnLClickUp\"/>"
                          "<Event call=\"abc\" name=\"OnShow\"/>"
                          "<Event name=\"OnHide\"/>"
                          "<Event call=\"Everywhere\" name=\"OnNews\" global=\"1\"/>"
                          "</GameLogic>");
    WriteFile(folder / "events.lua", "function OnClicked(w, name) clicked = name end");
    Run("function abc() abcCalled = true end");
    CKVQWindow* w = Make("w");
    auto* logic = Attach<CRenderObject_XMLLuaLogic>(w);
    logic->strXMLFile = (folder / "events.xml").c_str();
    logic->strLuaFile = (folder / "events.lua").c_str();
    w->OnLoad();
    ASSERT_EQ(logic->entries.size(), 2u);
    EXPECT_STREQ(logic->entries[1].Msg.c_str(), "OnNews");
    EXPECT_EQ(logic->entries[1].ListenGlobal, 1);

    w->ProcMessage("OnLClickUp", nullptr, nullptr);
    w->ProcMessage("OnShow", nullptr, nullptr);
    EXPECT_EQ(Global("clicked"), "OnLClickUp");
    EXPECT_EQ(Global("abcCalled"), "nil");
}

TEST_F(Logic, XmlLuaLogicWithoutAUsableFileHasNoEntries)
{
    TempFolder folder;
    WriteFile(folder / "wrongroot.xml", "<Logic><Event call=\"OnClicked\" name=\"OnShow\"/></Logic>");
    WriteFile(folder / "broken.xml", "<GameLogic><Event call=\"OnClicked\" name=");
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    WriteFile(folder / "deep.xml", "<GameLogic><Event call=\"OnClicked\" name=\"OnShow\"/>" + deep);
    CRenderObject_XMLLuaLogic logic;
    for (const char* file : {"wrongroot.xml", "broken.xml", "deep.xml", "missing.xml"}) {
        logic.strXMLFile = (folder / file).c_str();
        logic.ParseXML(nullptr);
        EXPECT_TRUE(logic.entries.empty()) << file;
    }
}

// ---- MiniLogic ----

TEST_F(Logic, MiniLogicChangesCurrentValuesByAttributeKind)
{
    CKVQWindow* w = Make("w");
    auto* rect = Attach<CRenderObject_Rectangle>(w);
    rect->Name = "frame";
    rect->nFrameWidth = 10;
    auto* mini = Attach<CRenderObject_MiniLogic>(w);
    auto& grow = AddVariable(*mini, "OnLClickUp");
    grow.RenderName = "frame";
    grow.AttributeName = "Rect:nFrameWidth";
    grow.nValueType = CRenderObject_MiniLogic::kIncrementSelf;
    grow.value = "5";
    auto& fill = AddVariable(*mini, "OnLClickUp");
    fill.RenderName = "frame";
    fill.AttributeName = "Rect:IsFill";
    fill.nValueType = CRenderObject_MiniLogic::kReverseSelf;
    auto& shrink = AddVariable(*mini, "OnRClickUp");
    shrink.RenderName = "frame";
    shrink.AttributeName = "Rect:nFrameWidth";
    shrink.nValueType = CRenderObject_MiniLogic::kDecrementSelf;
    shrink.value = "20";
    auto& text = AddVariable(*mini, "OnRClickUp");
    text.RenderName = "frame";
    text.AttributeName = "Rect:Base:Name";
    text.nValueType = CRenderObject_MiniLogic::kIncrementSelf;
    text.value = "1";

    w->OnLoad();
    w->ProcMessage("OnLClickUp", nullptr, nullptr);
    EXPECT_EQ(rect->nFrameWidth, 15);
    EXPECT_EQ(rect->IsFill, 1);
    w->ProcMessage("OnRClickUp", nullptr, nullptr);
    EXPECT_EQ(rect->nFrameWidth, -5);
    EXPECT_STREQ(rect->Name.c_str(), "") << "a string has no arithmetic: the empty value is written";
}

TEST_F(Logic, MiniLogicArithmeticWrapsInsteadOfOverflowing)
{
    CKVQWindow* w = Make("w");
    auto* rect = Attach<CRenderObject_Rectangle>(w);
    rect->Name = "frame";
    rect->nFrameWidth = INT32_MAX;
    auto* mini = Attach<CRenderObject_MiniLogic>(w);
    auto& grow = AddVariable(*mini, "OnTick");
    grow.RenderName = "frame";
    grow.AttributeName = "Rect:nFrameWidth";
    grow.nValueType = CRenderObject_MiniLogic::kIncrementSelf;
    grow.value = "1";
    mini->Run("OnTick", w, nullptr);
    EXPECT_EQ(rect->nFrameWidth, INT32_MIN);
    grow.nValueType = CRenderObject_MiniLogic::kReverseSelf;
    mini->Run("OnTick", w, nullptr);
    EXPECT_EQ(rect->nFrameWidth, INT32_MIN);
}

TEST_F(Logic, MiniLogicReadsParametersAtRememberedPositions)
{
    CKVQWindow* w = Make("w");
    CKVQWindow* label = Make("label", w);
    CKVQWindow* other = Make("other", w);
    auto* mini = Attach<CRenderObject_MiniLogic>(label);
    auto& name = AddVariable(*mini, "OnData");
    name.nObjectID = CRenderObject_MiniLogic::kSibling;
    name.KVQWindowName = "other";
    name.AttributeName = "CKVQWindow:Attribute:name";
    name.nValueType = CRenderObject_MiniLogic::kParamString;
    name.nParamIndex = 1;
    auto& data = AddVariable(*mini, "OnData");
    data.AttributeName = "CKVQWindow:Attribute:addData";
    data.nValueType = CRenderObject_MiniLogic::kParamInt;
    data.nParamIndex = 2;
    auto& missing = AddVariable(*mini, "OnData");
    missing.nObjectID = CRenderObject_MiniLogic::kParent;
    missing.AttributeName = "CKVQWindow:Attribute:className";
    missing.nValueType = CRenderObject_MiniLogic::kParamString;
    missing.nParamIndex = 7;

    CKVQMessage message;
    message.setMode(CIArchive::SM_WRITE);
    int32_t first = 1, third = 77;
    message.PushAddress();
    message.Int32(first);
    message.PushAddress();
    message.ScriptString("renamed");
    message.PushAddress();
    message.Int32(third);
    w->SetClassName("kept");
    label->ProcMessage("OnLoad", nullptr, nullptr);
    label->ProcMessage("OnData", &message, nullptr);
    EXPECT_STREQ(other->GetName(), "renamed");
    EXPECT_EQ(label->GetAddData(), 77u);
    EXPECT_STREQ(w->GetClassName(), "") << "a parameter the sender did not mark reads as empty";
}

// Neither the engine nor a script marks where parameters begin: a logic still reads any of them.
TEST_F(Logic, MiniLogicReadsEveryParameterOfEngineAndScriptEvents)
{
    GetCoreCfg().IsAutoScale = false;
    CKVQWindowMgr& mgr = CKVQWindowMgr::Instance();
    mgr.Reset();
    CKVQWindow* root = CKVQWindow::New();
    root->SetName("root");
    root->NormalAligned(KVQRect{0, 1000, 0, 1000});
    mgr.SetRoot(root);
    CKVQWindow* button = Make("button", root);
    button->NormalAligned(KVQRect{100, 300, 100, 300});
    Run("function Send(name) local m = CKVQMessage.new_local() m:int(1) m:float(2.5) m:string('third') "
        "  CKVQWindowMgr:Instance():GetRoot():GetChild('button'):ProcMessage(name, m, nil) end");

    using Mini = CRenderObject_MiniLogic;
    struct Case {
        const char* event;
        int32_t valueType;
        int32_t index;
        std::function<void()> send;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"OnLClickDown", Mini::kParamInt, 1, [&] { mgr.OnSysLClickDown(150, 250); }, "250"},
        {"OnMouseMove", Mini::kParamInt, 1, [&] { mgr.OnSysMouseMove(160, 270); }, "270"},
        {"OnMouseWheel", Mini::kParamInt, 2, [&] { mgr.OnSysMouseWheel(10, 20, 120 << 16); }, "7864320"},
        {"OnMove", Mini::kParamInt, 1, [&] { button->SetPos(KVQPoint{40, 60}); }, "60"},
        {"OnScriptFloat", Mini::kParamFloat, 1, [&] { Run("Send('OnScriptFloat')"); }, "2.500000"},
        {"OnScriptString", Mini::kParamString, 2, [&] { Run("Send('OnScriptString')"); }, "third"},
        {"OnScriptMissing", Mini::kParamInt, 3, [&] { Run("Send('OnScriptMissing')"); }, "0"},
    };
    auto* mini = Attach<CRenderObject_MiniLogic>(button);
    for (const Case& c : cases) {
        auto& v = AddVariable(*mini, c.event);
        v.nObjectID = Mini::kParent;
        v.AttributeName = "CKVQWindow:Attribute:name";
        v.nValueType = c.valueType;
        v.nParamIndex = c.index;
    }
    button->ProcMessage("OnLoad", nullptr, nullptr);
    for (const Case& c : cases) {
        root->SetName("unchanged");
        c.send();
        EXPECT_STREQ(root->GetName(), c.expected) << c.event;
    }
    mgr.Reset();
}

TEST_F(Logic, MiniLogicCachedTargetThatWasDeletedIsSkipped)
{
    CKVQWindow* w = Make("w");
    CKVQWindow* child = Make("child", w);
    auto* mini = Attach<CRenderObject_MiniLogic>(w);
    auto& v = AddVariable(*mini, "OnGo");
    v.nObjectID = CRenderObject_MiniLogic::kChild;
    v.KVQWindowName = "child";
    v.AttributeName = "CKVQWindow:Attribute:className";
    v.value = "first";
    mini->Run("OnGo", w, nullptr);
    EXPECT_STREQ(child->GetClassName(), "first");
    w->DeleteChild(child);
    CKVQWindow* again = Make("child", w);
    v.value = "second";
    mini->Run("OnGo", w, nullptr);
    EXPECT_STREQ(again->GetClassName(), "");
}

TEST_F(Logic, MiniLogicAppSetSplitsAtTheFirstLoneAt)
{
    std::string section, key;
    EXPECT_TRUE(CRenderObject_MiniLogic::SplitConfigPath("@Game@width", section, key));
    EXPECT_EQ(section, "Game");
    EXPECT_EQ(key, "width");
    EXPECT_TRUE(CRenderObject_MiniLogic::SplitConfigPath("@@x", section, key));
    EXPECT_EQ(section, "@x");
    EXPECT_EQ(key, "");
    EXPECT_TRUE(CRenderObject_MiniLogic::SplitConfigPath("@a@b@c", section, key));
    EXPECT_EQ(section, "a");
    EXPECT_EQ(key, "b@c");
    EXPECT_TRUE(CRenderObject_MiniLogic::SplitConfigPath("@" + std::string(300, 's') + "@k", section, key));
    EXPECT_EQ(section.size(), CRenderObject_MiniLogic::kMaxConfigPart);
    EXPECT_FALSE(CRenderObject_MiniLogic::SplitConfigPath("plain", section, key));
}

TEST_F(Logic, MiniLogicRecordAndEditorCommands)
{
    CRenderObject_MiniLogic from;
    auto& v = AddVariable(from, "OnShow");
    v.nObjectID = 3;
    v.KVQWindowName = "sib";
    v.RenderName = "r";
    v.AttributeName = "a";
    v.nValueType = 4;
    v.nParamIndex = 2;
    v.value = "x";
    from.logics[0]->ListenGlobal = 1;
    AddVariable(from, "OnHide");

    CRenderObject_MiniLogic to;
    RoundTrip(from, to);
    ASSERT_EQ(to.logics.size(), 2u);
    ASSERT_EQ(to.logics[0]->varLst.size(), 1u);
    const auto& read = *to.logics[0]->varLst[0];
    EXPECT_EQ(read.nObjectID, 3);
    EXPECT_STREQ(read.KVQWindowName.c_str(), "sib");
    EXPECT_STREQ(read.RenderName.c_str(), "r");
    EXPECT_STREQ(read.AttributeName.c_str(), "a");
    EXPECT_EQ(read.nValueType, 4);
    EXPECT_EQ(read.nParamIndex, 2);
    EXPECT_STREQ(read.value.c_str(), "x");
    EXPECT_EQ(to.logics[0]->ListenGlobal, 1);

    EXPECT_TRUE(to.ExecuteCommand("Copy", 0));
    EXPECT_TRUE(to.ExecuteCommand("ReplaceByPaste", 1));
    EXPECT_STREQ(to.logics[1]->msg.c_str(), "OnShow");
    EXPECT_EQ(to.logics[1]->varLst.size(), 1u);
    EXPECT_TRUE(to.ExecuteCommand("Copy", 1, 0));
    EXPECT_TRUE(to.ExecuteCommand("Paste", 0));
    EXPECT_EQ(to.logics[0]->varLst.size(), 2u);
    EXPECT_TRUE(to.ExecuteCommand("Delete", 0, 1));
    EXPECT_EQ(to.logics[0]->varLst.size(), 1u);
    EXPECT_FALSE(to.HasHandler("OnShow"));
    EXPECT_TRUE(to.ExecuteCommand("Run", 0));
    EXPECT_TRUE(to.HasHandler("OnShow"));
    EXPECT_EQ(to.IsInitialize, 1);
}

TEST_F(Logic, LogicRecordsWithHostileCountsLoadBounded)
{
    CKVQMessage record;
    record.setMode(CIArchive::SM_WRITE);
    int32_t count = INT32_MAX;
    record.Int32(count);
    record.Int32(count);
    record.setMode(CIArchive::SM_READ);
    CRenderObject_MiniLogic mini;
    mini.TransferRecord(record);
    EXPECT_TRUE(mini.logics.empty());
    record.setMode(CIArchive::SM_READ);
    CRenderObject_BridgeMessage bridge;
    bridge.TransferRecord(record);
    EXPECT_TRUE(bridge.links.empty());
    record.setMode(CIArchive::SM_READ);
    CRenderObject_LuaLogic lua;
    lua.TransferRecord(record);
    EXPECT_TRUE(lua.entries.empty());
}

// ---- BridgeMessage ----

TEST_F(Logic, BridgeParentLinkWalksUpToTheNamedAncestor)
{
    Run("got = '' function Note(w, name, msg, sender) got = got .. w:GetName() .. ':' .. name .. ':' "
        "  .. (sender and sender:GetName() or 'nil') .. ';' end");
    CKVQWindow* root = Make("root");
    CKVQWindow* middle = Make("middle", root);
    CKVQWindow* leaf = Make("leaf", middle);
    for (CKVQWindow* w : {root, middle}) {
        auto* listener = Attach<CRenderObject_LuaLogic>(w);
        AddEntry(*listener, "OnBridged", "Note");
        listener->Start(w);
    }
    auto* bridge = Attach<CRenderObject_BridgeMessage>(leaf);
    bridge->ExecuteCommand("AddMsg");
    bridge->links[0]->msg = "OnLClickUp";
    bridge->links[0]->transmsg = "OnBridged";
    bridge->links[0]->WndName = "root";
    bridge->links[0]->flags = CRenderObject_BridgeMessage::kSenderSelf;
    bridge->ExecuteCommand("AddMsg");
    bridge->links[1]->msg = "OnLClickUp";
    bridge->links[1]->transmsg = "OnBridged";
    bridge->links[1]->WndName = "nowhere";
    leaf->ProcMessage("OnLoad", nullptr, nullptr);
    leaf->ProcMessage("OnLClickUp", nullptr, nullptr);
    EXPECT_EQ(Global("got"), "root:OnBridged:leaf;");
}

// A Self link that sends its own message would re-enter its window until the depth limit.
TEST_F(Logic, BridgeSelfLoopsAreSkippedByBothRegistrationsAndLaterLinksStillWork)
{
    Run("function Ping() pings = pings + 1 end function Pong() pongs = pongs + 1 end");
    for (const bool editor : {true, false}) {
        Run("pings = 0 pongs = 0");
        CKVQWindow* w = Make("w");
        auto* listener = Attach<CRenderObject_LuaLogic>(w);
        AddEntry(*listener, "OnPing", "Ping");
        AddEntry(*listener, "OnPong", "Pong");
        listener->Start(w);
        auto* bridge = Attach<CRenderObject_BridgeMessage>(w);
        const char* links[][2] = {{"OnLoop", "OnLoop"}, {"OnPing", "OnPing"}, {"OnPing", "OnPong"}};
        for (const auto& link : links) {
            bridge->ExecuteCommand("AddMsg");
            bridge->links.back()->nLinkType = CRenderObject_BridgeMessage::kSelf;
            bridge->links.back()->msg = link[0];
            bridge->links.back()->transmsg = link[1];
        }
        if (editor)
            EXPECT_TRUE(bridge->SetAttribute(bridge->GetAttributeNameRef("BridgeMessage:IsInitialize"), "true"));
        else
            w->ProcMessage("OnLoad", nullptr, nullptr);
        EXPECT_FALSE(bridge->HasHandler("OnLoop")) << "editor " << editor;
        EXPECT_TRUE(bridge->HasHandler("OnPing")) << "editor " << editor;
        w->ProcMessage("OnPing", nullptr, nullptr);
        EXPECT_EQ(Global("pings"), "1") << "editor " << editor;
        EXPECT_EQ(Global("pongs"), "1") << "editor " << editor;
    }
}

TEST_F(Logic, BridgeRecordReplacesItsLinksAndCopiesThem)
{
    CRenderObject_BridgeMessage from, to;
    from.ExecuteCommand("AddMsg");
    from.links[0]->nLinkType = 2;
    from.links[0]->WndName = "child";
    from.links[0]->flags = 3;
    from.links[0]->msg = "A";
    from.links[0]->transmsg = "B";
    to.ExecuteCommand("AddMsg");
    to.ExecuteCommand("AddMsg");
    RoundTrip(from, to);
    ASSERT_EQ(to.links.size(), 1u);
    EXPECT_EQ(to.links[0]->nLinkType, 2);
    EXPECT_EQ(to.links[0]->flags, 3u);
    EXPECT_STREQ(to.links[0]->transmsg.c_str(), "B");
    EXPECT_TRUE(to.ExecuteCommand("Copy", 0));
    EXPECT_TRUE(to.ExecuteCommand("Paste"));
    ASSERT_EQ(to.links.size(), 2u);
    EXPECT_STREQ(to.links[1]->WndName.c_str(), "child");
}

// ---- TimerLogic ----

TEST_F(Logic, TimerLogicWithoutIntervalNeverStarts)
{
    CKVQWindow* w = Make("w");
    auto* timer = Attach<CRenderObject_TimerLogic>(w);
    timer->Interval = 0;
    timer->TriggerMsg = "OnLClickUp";
    timer->TransMsg = "OnTick";
    w->OnLoad();
    EXPECT_FALSE(timer->HasHandler("OnLClickUp"));
    EXPECT_FALSE(timer->StartTimer(w));
    EXPECT_EQ(timer->timerId, 0u);
}

TEST_F(Logic, TimerLogicStartsOnTriggerAndStopsOnCancel)
{
    CKVQWindow* w = Make("w");
    auto* timer = Attach<CRenderObject_TimerLogic>(w);
    timer->TriggerMsg = "OnLClickUp";
    timer->CancelMsg = "OnRClickUp";
    timer->TransMsg = "OnTick";
    timer->Count = 3;
    w->OnLoad();
    EXPECT_EQ(timer->timerId, 0u);
    CKVQTimerSystem& timers = CKVQTimerSystem::Instance();
    const uint32_t before = timers.GetTimerCount();
    w->ProcMessage("OnLClickUp", nullptr, nullptr);
    const uint32_t id = timer->timerId;
    ASSERT_NE(id, 0u);
    EXPECT_EQ(timers.GetTimerLeftCount(id), 3u);
    w->ProcMessage("OnLClickUp", nullptr, nullptr);  // again before the timers ran: one timer
    EXPECT_EQ(timer->timerId, id);
    w->ProcMessage("OnRClickUp", nullptr, nullptr);
    EXPECT_EQ(timer->timerId, 0u);
    EXPECT_EQ(timers.GetTimerLeftCount(id), 0u);
    EXPECT_EQ(timers.GetTimerCount(), before) << "the cancel reached every timer the triggers made";
}

TEST_F(Logic, TimerLogicRecordAndEditorTiming)
{
    CRenderObject_TimerLogic from, to;
    from.Delay = 7;
    from.Interval = 250;
    from.Count = 4;
    from.TriggerMsg = "OnShow";
    from.CancelMsg = "OnHide";
    from.TransMsg = "OnTick";
    RoundTrip(from, to);
    EXPECT_EQ(to.Delay, 7u);
    EXPECT_EQ(to.Interval, 250);
    EXPECT_EQ(to.Count, 4);
    EXPECT_STREQ(to.TriggerMsg.c_str(), "OnShow");
    EXPECT_STREQ(to.CancelMsg.c_str(), "OnHide");
    EXPECT_STREQ(to.TransMsg.c_str(), "OnTick");
    EXPECT_FALSE(to.HasHandler("OnShow"));
    EXPECT_TRUE(to.SetAttribute(to.GetAttributeNameRef("TimerLogic:Interval"), "300"));
    EXPECT_TRUE(to.HasHandler("OnShow"));
    EXPECT_TRUE(to.HasHandler("OnHide"));
}

TEST_F(Logic, TimerLogicStartedAtLoadStopsOnCancel)
{
    CKVQWindow* w = Make("w");
    auto* timer = Attach<CRenderObject_TimerLogic>(w);
    timer->TriggerMsg = "OnLoad";
    timer->CancelMsg = "OnRClickUp";
    timer->TransMsg = "OnTick";
    timer->Count = 3;
    w->OnLoad();
    const uint32_t id = timer->timerId;
    ASSERT_NE(id, 0u);
    EXPECT_EQ(CKVQTimerSystem::Instance().GetTimerLeftCount(id), 3u);
    w->ProcMessage("OnRClickUp", nullptr, nullptr);
    EXPECT_EQ(timer->timerId, 0u);
    EXPECT_EQ(CKVQTimerSystem::Instance().GetTimerLeftCount(id), 0u);
}

// ---- stored byte layouts ----

TEST_F(Logic, TimerLogicRecordLayout)
{
    CRenderObject_TimerLogic timer;
    timer.Delay = 0x80000001u;
    timer.Interval = 250;
    timer.Count = -1;
    timer.TransMsg = "OnTick";
    timer.TriggerMsg = "OnShow";
    timer.CancelMsg = "OnHide";
    ExpectedBytes expected;
    expected.U32(0x80000001u).I32(250).I32(-1).Str("OnTick").Str("OnShow").Str("OnHide");
    EXPECT_EQ(StoredRecord(timer), expected.Get());
}

TEST_F(Logic, LuaLogicRecordLayoutByVersion)
{
    CRenderObject_LuaLogic logic;
    AddEntry(logic, "OnShow", "Shown").ListenGlobal = 1;
    logic.entries.back()->LuaScript = "function Shown() end";
    AddEntry(logic, "OnHide", "Hidden");
    logic.strLuaFile = "ui.lua";
    ExpectedBytes v2;
    v2.I32(2).Str("OnShow").Str("Shown").I32(1).Str("function Shown() end");
    v2.Str("OnHide").Str("Hidden").I32(0).Str("");
    v2.Str("ui.lua");
    EXPECT_EQ(StoredRecord(logic, 2), v2.Get());
    // Older records carry no script.
    ExpectedBytes v1;
    v1.I32(2).Str("OnShow").Str("Shown").I32(1).Str("OnHide").Str("Hidden").I32(0).Str("ui.lua");
    EXPECT_EQ(StoredRecord(logic, 1), v1.Get());
}

TEST_F(Logic, XmlLuaLogicRecordLayout)
{
    CRenderObject_XMLLuaLogic logic;
    logic.strLuaFile = "game.lua";
    logic.strXMLFile = "game.xml";
    ExpectedBytes expected;
    expected.Str("game.lua").Str("game.xml");
    EXPECT_EQ(StoredRecord(logic), expected.Get());
}

TEST_F(Logic, MiniLogicRecordLayout)
{
    CRenderObject_MiniLogic mini;
    CRenderObject_MiniLogic::Variable& v = AddVariable(mini, "OnShow");
    v.KVQWindowName = "child";
    v.RenderName = "pic";
    v.AttributeName = "Alpha";
    v.value = "128";
    v.nObjectID = 2;
    v.nValueType = 3;
    v.nParamIndex = 5;
    mini.logics.back()->ListenGlobal = 1;
    ExpectedBytes expected;
    expected.I32(1).Str("OnShow");
    expected.I32(1).Str("child").Str("pic").Str("Alpha").Str("128").I32(2).I32(3).I32(5);
    expected.I32(1);  // ListenGlobal
    EXPECT_EQ(StoredRecord(mini), expected.Get());
}

TEST_F(Logic, BridgeMessageRecordLayout)
{
    CRenderObject_BridgeMessage bridge;
    bridge.ExecuteCommand("AddMsg");
    CRenderObject_BridgeMessage::Link& link = *bridge.links.back();
    link.nLinkType = 3;
    link.WndName = "panel";
    link.msg = "OnLClickUp";
    link.transmsg = "OnOpen";
    link.flags = 0x80000002u;
    ExpectedBytes expected;
    expected.I32(1).I32(3).Str("panel").Str("OnLClickUp").Str("OnOpen").U32(0x80000002u);
    EXPECT_EQ(StoredRecord(bridge), expected.Get());
}

// ---- editor commands through the window ----

TEST_F(Logic, WindowOffersEditorCommandsToTheComponentFirst)
{
    CKVQWindow* w = Make("w");
    auto* logic = Attach<CRenderObject_LuaLogic>(w);
    const size_t renders = w->RenderLst().size();
    ASSERT_TRUE(w->ExecuteCommand("CKVQWindow:RenderLst:LuaLogic:LuaLogic", "AddLuaFunction", logic));
    ASSERT_EQ(logic->entries.size(), 1u);
    logic->entries[0]->Msg = "OnShow";
    // Copy and Paste on an entry group work on the entries, not on the window's render objects.
    ASSERT_TRUE(w->ExecuteCommand("CKVQWindow:RenderLst:LuaLogic:LuaLogic:entries:Entry0", "Copy", logic));
    ASSERT_TRUE(w->ExecuteCommand("CKVQWindow:RenderLst:LuaLogic:LuaLogic:entries:Entry0", "Paste", logic));
    ASSERT_EQ(logic->entries.size(), 2u);
    EXPECT_STREQ(logic->entries[1]->Msg.c_str(), "OnShow");
    EXPECT_EQ(w->RenderLst().size(), renders);
    ASSERT_TRUE(w->ExecuteCommand("CKVQWindow:RenderLst:LuaLogic:LuaLogic:entries:Entry0", "Delete", logic));
    EXPECT_EQ(logic->entries.size(), 1u);
    EXPECT_FALSE(w->ExecuteCommand("CKVQWindow:RenderLst:LuaLogic:LuaLogic:entries:Entry7", "Delete", logic));
    // On the window's own group for the object, Copy and Paste are still the window's.
    ASSERT_TRUE(w->ExecuteCommand("CKVQWindow:RenderLst:LuaLogic", "Copy", logic));
    ASSERT_TRUE(w->ExecuteCommand("CKVQWindow:RenderLst:LuaLogic", "Paste", logic));
    EXPECT_EQ(w->RenderLst().size(), renders + 1);
    EXPECT_EQ(logic->entries.size(), 1u);
}

TEST_F(Logic, ComponentCommandsReadTheirItemNumbersFromTheGroupPath)
{
    CKVQWindow* w = Make("w");
    auto* mini = Attach<CRenderObject_MiniLogic>(w);
    ASSERT_TRUE(w->ExecuteCommand("CKVQWindow:RenderLst:MiniLogic:MiniLogic", "AddLogic", mini));
    ASSERT_TRUE(w->ExecuteCommand("CKVQWindow:RenderLst:MiniLogic", "AddLogic", mini));
    ASSERT_TRUE(w->ExecuteCommand("CKVQWindow:RenderLst:MiniLogic:MiniLogic:logics:Logic1:varLst", "AddVariable",
                                  mini));
    ASSERT_EQ(mini->logics.size(), 2u);
    EXPECT_TRUE(mini->logics[0]->varLst.empty());
    ASSERT_EQ(mini->logics[1]->varLst.size(), 1u);
    EXPECT_TRUE(w->ExecuteCommand("CKVQWindow:RenderLst:MiniLogic:MiniLogic:logics:Logic1:varLst:Variable0",
                                  "Delete", mini));
    EXPECT_TRUE(mini->logics[1]->varLst.empty());
    EXPECT_EQ(mini->logics.size(), 2u);

    auto* bridge = Attach<CRenderObject_BridgeMessage>(w);
    ASSERT_TRUE(w->ExecuteCommand("CKVQWindow:RenderLst:BridgeMessage:BridgeMessage", "AddMsg", bridge));
    ASSERT_TRUE(w->ExecuteCommand("CKVQWindow:RenderLst:BridgeMessage:BridgeMessage", "AddMsg", bridge));
    bridge->links[1]->msg = "second";
    ASSERT_TRUE(w->ExecuteCommand("CKVQWindow:RenderLst:BridgeMessage:BridgeMessage:links:Link0", "Delete", bridge));
    ASSERT_EQ(bridge->links.size(), 1u);
    EXPECT_STREQ(bridge->links[0]->msg.c_str(), "second");
    // A number too long for any list names no item.
    EXPECT_FALSE(w->ExecuteCommand("CKVQWindow:RenderLst:BridgeMessage:BridgeMessage:links:Link99999999999",
                                   "Delete", bridge));
    EXPECT_EQ(bridge->links.size(), 1u);
}

// ---- descriptions ----

TEST_F(Logic, DescriptionsOfferTheEditorCommandsAndKeepListsOutOfTheRuntimeTable)
{
    CRenderObject_MiniLogic mini;
    AddVariable(mini, "OnShow");
    RecordingHook hook;
    mini.Describe(hook);
    ASSERT_NE(hook.Find("MiniLogic"), nullptr);
    EXPECT_EQ(hook.Find("MiniLogic")->hint, "AddLogic|Paste|");
    ASSERT_NE(hook.Find("MiniLogic:logics:Logic0"), nullptr);
    EXPECT_EQ(hook.Find("MiniLogic:logics:Logic0")->hint, "Delete|Copy|ReplaceByPaste|Run|");
    EXPECT_EQ(hook.Find("MiniLogic:logics:Logic0:varLst")->hint, "AddVariable|Paste|");
    ASSERT_NE(hook.Find("MiniLogic:logics:Logic0:varLst:Variable0:nValueType"), nullptr);
    EXPECT_EQ(hook.Find("MiniLogic:logics:Logic0:varLst:Variable0:nValueType")->hint,
              "String|Attribute|AppSet|ParamString|ParamInt|ParamFloat|IncrementSelf|DecrementSelf|ReverseSelf|");

    CRenderObject_LuaLogic lua;
    AddEntry(lua, "OnShow", "F");
    RecordingHook luaHook;
    lua.Describe(luaHook);
    EXPECT_EQ(luaHook.Find("LuaLogic")->hint, "AddLuaFunction|Paste|");
    EXPECT_EQ(luaHook.Find("LuaLogic:entries:Entry0")->hint, "Delete|Copy|");
    EXPECT_EQ(luaHook.Find("LuaLogic:strLuaFile")->kind, 7);
    EXPECT_EQ(luaHook.Find("LuaLogic:strLuaFile")->hint, "*.lua");

    // The runtime table is shared by every object of the class: list items are not in it.
    EXPECT_EQ(mini.GetAttributeNameRef("MiniLogic:logics:Logic0:msg"), -1);
    EXPECT_GE(mini.GetAttributeNameRef("MiniLogic:IsInitialize"), 0);
    EXPECT_GE(lua.GetAttributeNameRef("LuaLogic:strLuaFile"), 0);
}

}  // namespace
