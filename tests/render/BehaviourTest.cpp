// The behaviour components: dragging and selection driven through the window manager's input,
// arrangement of children, announced extra data, raising on show, sounds started and stopped by
// messages.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/CoreCfg.h"
#include "common/Notices.h"
#include "io/FileSystem.h"
#include "platform/Clock.h"
#include "render/RenderRegistry.h"
#include "render/behaviour/ArrayKVQWindowLogic.h"
#include "render/behaviour/DraggingLogic.h"
#include "render/behaviour/ExtraDataSet.h"
#include "render/behaviour/SelectKVQWindowLogic.h"
#include "render/behaviour/Sound.h"
#include "render/behaviour/TopmostLogic.h"
#include "services/SimpleAudioEngine.h"
#include "services/SoundFiles.h"
#include "support/TempFiles.h"
#include "support/WindowTestSupport.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

std::vector<std::string> received;
std::function<void(CKVQWindow*)> onSlotChanged;

// Logs "window:Message" for the messages the components send, OnArrayWindow with its totals.
class Recorder : public TestRenderObject<Recorder> {
public:
    static constexpr const char* kClassName = "TestRecorder";
    Recorder()
    {
        for (const char* name : {"OnSelected", "OnCancelSelected", "OnDraggingEnd", "OnSlotChanged", "OnArrayWindow"})
            RegisterHandler(name, [](IRender*, const char* n, CKVQWindow* w, CKVQMessage* m, CKVQWindow*) {
                int32_t tx = 0, ty = 0;
                const bool totals = std::strcmp(n, "OnArrayWindow") == 0 && m->Int32(tx) && m->Int32(ty);
                received.push_back(std::string(w->GetName()) + ":" + n +
                                   (totals ? "(" + std::to_string(tx) + "," + std::to_string(ty) + ")" : ""));
                if (std::strcmp(n, "OnSlotChanged") == 0 && onSlotChanged)
                    onSlotChanged(w);
            });
    }
};

class Behaviour : public ::testing::Test {
protected:
    CKVQWindowMgr& mgr = CKVQWindowMgr::Instance();
    CKVQWindow* root = nullptr;

    void SetUp() override
    {
        RegisterRenderClasses();
        received.clear();
        platform::SetVirtualClock(true);
        mgr.Reset();
        GetCoreCfg().IsAutoScale = false;
        root = Make("root", nullptr, {0, 1000, 0, 1000});
        mgr.SetRoot(root);
    }
    void TearDown() override
    {
        mgr.Reset();
        WindowModule::Get().ReleaseDeleted();
        platform::SetVirtualClock(false);
        onSlotChanged = nullptr;
    }
    // A window at rect relative to its parent, with a recorder and (optionally) a component.
    static CKVQWindow* Make(const char* name, CKVQWindow* parent, const KVQRect& rect, IRender* component = nullptr)
    {
        CKVQWindow* window = CKVQWindow::New();
        window->SetName(name);
        if (parent)
            parent->AppendChild(window);
        window->NormalAligned(rect);
        if (component)
            window->AddRender(component);
        window->AddRender(new Recorder);
        return window;
    }
};

// ---- dragging ----

struct DragCase {
    const char* name;
    bool fixChildren, hideFirst;  // hideFirst: the first child is hidden
    KVQRect box;                  // nMinX, nMaxX, nMinY, nMaxY
    std::vector<KVQRect> children;
    std::vector<KVQPoint> moves, positions;  // a position after each move
};

TEST_F(Behaviour, DragMovesTheWindowFromTheSecondMoveOfAPressWithinItsLimits)
{
    const KVQRect wide{0, 300, 0, 150};
    const std::vector<DragCase> cases = {
        {"box: clamped, the recorded point still follows the pointer", false, false, {-20, 30, 0, 10}, {},
         {{55, 55}, {60, 60}, {200, 200}, {190, 195}}, {{0, 0}, {5, 5}, {30, 10}, {20, 5}}},
        {"children that fit never move it", true, false, {}, {{0, 50, 0, 50}}, {{51, 51}, {10, 10}}, {{0, 0}, {0, 0}}},
        {"wider children: slides left and up, never past the origin", true, false, {}, {wide},
         {{51, 51}, {41, 31}, {-500, -500}, {1000, 1000}}, {{0, 0}, {-10, -20}, {-200, -50}, {0, 0}}},
        {"hidden children do not count", true, true, {}, {wide, {0, 50, 0, 50}}, {{51, 51}, {10, 10}}, {{0, 0}, {0, 0}}},
    };
    for (const DragCase& c : cases) {
        SCOPED_TRACE(c.name);
        received.clear();
        auto* logic = new CRenderObject_DraggingLogic;
        logic->IsFixChildrens = c.fixChildren;
        logic->nMinX = c.box.left, logic->nMaxX = c.box.right, logic->nMinY = c.box.top, logic->nMaxY = c.box.bottom;
        CKVQWindow* pane = Make("pane", root, {0, 100, 0, 100}, logic);
        pane->SetBit(STATUS_IsDisableChildren);  // presses over the children reach the pane
        for (size_t i = 0; i < c.children.size(); ++i) {
            CKVQWindow* child = Make("child", pane, c.children[i]);
            if (i == 0 && c.hideFirst)
                child->DelBit(STATUS_IsVisible);
        }
        mgr.OnSysLClickDown(50, 50);
        for (size_t i = 0; i < c.moves.size(); ++i) {
            mgr.OnSysMouseMove(c.moves[i].x, c.moves[i].y);
            EXPECT_EQ(pane->GetPos(), c.positions[i]) << "after move " << i;
            EXPECT_EQ(WindowModule::Get().drag, pane->GetWindowHandle()) << "the first move makes it the drag window";
        }
        mgr.OnSysLClickUp(0, 0);
        EXPECT_EQ(received, (std::vector<std::string>{"pane:OnDraggingEnd"}));
        EXPECT_EQ(WindowModule::Get().drag, 0u);
        root->DeleteChild(pane);
    }
}

// ---- selection ----

TEST_F(Behaviour, ClicksSelectChildrenOneAtATimeOrSeveral)
{
    const struct {
        bool multiple;
        std::vector<std::string> clicks;  // child names; "list" is the window's own background
        std::vector<std::string> messages;
    } cases[] = {
        {false, {"a", "b", "b", "c", "list"},
         {"a:OnSelected", "a:OnCancelSelected", "b:OnSelected", "b:OnCancelSelected", "b:OnSelected",
          "b:OnCancelSelected"}},
        {true, {"a", "b", "a", "added", "list"},
         {"a:OnSelected", "b:OnSelected", "added:OnSelected", "a:OnCancelSelected", "b:OnCancelSelected",
          "added:OnCancelSelected"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.multiple ? "several" : "one at a time");
        auto* logic = new CRenderObject_SelectKVQWindowLogic;
        logic->IsCanMultiSelected = c.multiple;
        CKVQWindow* list = Make("list", root, {0, 400, 0, 100}, logic);
        int32_t left = 0;
        for (const char* name : {"a", "b", "c"}) {
            CKVQWindow* child = Make(name, list, {left, left + 50, 0, 50});
            if (std::strcmp(name, "c") != 0)
                child->SetBit(STATUS_IsCanBeSelected);
            left += 100;
        }
        list->OnLoad();
        CKVQWindow* added = Make("added", nullptr, {300, 350, 0, 50});
        added->SetBit(STATUS_IsCanBeSelected);
        list->AddChild(added);
        received.clear();
        for (const std::string& name : c.clicks) {
            const KVQRect r = name == "list" ? KVQRect{0, 20, 70, 90} : list->GetChild(name.c_str())->GetRect();
            mgr.OnSysLClickDown(r.left + 10, r.top + 10);
            mgr.OnSysLClickUp(r.left + 10, r.top + 10);
        }
        EXPECT_EQ(received, c.messages);
        root->DeleteChild(list);
    }
}

// ---- arrangement ----

TEST_F(Behaviour, ArrangementPlacesVisibleChildrenAndReportsTheTotals)
{
    // Children 30x10, 40x20 (hidden, left at 200, 200) and 50x30; Offset (5, 7), steps 50 and 60.
    const struct {
        int32_t mode;
        KVQPoint first, last;
        const char* totals;
    } cases[] = {
        {0, {5, 7}, {55, 7}, "row:OnArrayWindow(100,0)"},
        {1, {5, 7}, {5, 67}, "row:OnArrayWindow(0,120)"},
        {2, {5, 7}, {240, 200}, "row:OnArrayWindow(40,0)"},  // the hidden sibling's edge, its width alone
        {3, {5, 7}, {200, 220}, "row:OnArrayWindow(0,20)"},
    };
    CKVQWindow* row = nullptr;
    CRenderObject_ArrayKVQWindowLogic* array = nullptr;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        if (row)
            root->DeleteChild(row);
        array = new CRenderObject_ArrayKVQWindowLogic;
        array->mode = c.mode, array->Offset = {5, 7}, array->FixHeight = 60;
        row = Make("row", root, {0, 500, 0, 500}, array);
        Make("first", row, {0, 30, 0, 10});
        Make("hidden", row, {200, 240, 200, 220})->DelBit(STATUS_IsVisible);
        Make("last", row, {0, 50, 0, 30});
        received.clear();
        row->OnLoad();
        EXPECT_EQ(row->GetChild("first")->GetPos(), c.first);
        EXPECT_EQ(row->GetChild("last")->GetPos(), c.last);
        EXPECT_EQ(row->GetChild("hidden")->GetPos(), (KVQPoint{200, 200}));
        EXPECT_EQ(received, (std::vector<std::string>{c.totals}));
    }
    // Setting changes and children coming or going arrange again.
    ASSERT_TRUE(array->SetAttribute(array->GetAttributeNameRef("ArrayKVQWindow:mode"), "0"));
    EXPECT_EQ(row->GetChild("last")->GetPos(), (KVQPoint{55, 7}));
    ASSERT_TRUE(array->SetAttribute(array->GetAttributeNameRef("ArrayKVQWindow:FixWidth"), "20"));
    EXPECT_EQ(row->GetChild("last")->GetPos(), (KVQPoint{25, 7}));
    CKVQWindow* added = Make("added", nullptr, {0, 5, 0, 5});
    row->AddChild(added);
    EXPECT_EQ(added->GetPos(), (KVQPoint{45, 7}));
    received.clear();
    row->DeleteChild(row->GetChild("first"));
    EXPECT_EQ(added->GetPos(), (KVQPoint{25, 7}));
    EXPECT_EQ(received, (std::vector<std::string>{"row:OnArrayWindow(40,0)"}));
}

// ---- extra data and raising ----

TEST_F(Behaviour, WritingASlotValueSendsItsMessageOnce)
{
    auto* data = new CRenderObject_ExtraDataSet;
    Make("w", root, {0, 10, 0, 10}, data);
    data->ExtraData[2].TransMsg = "OnSlotChanged";
    auto set = [data](const char* name, const char* text) {
        return data->SetAttribute(data->GetAttributeNameRef(name), text);
    };
    // A handler that writes the slot again is not answered again.
    onSlotChanged = [&set](CKVQWindow*) { set("ExtraDataSet:ExtraData[2]:Value", "again"); };
    ASSERT_TRUE(set("ExtraDataSet:ExtraData[2]:Name", "x"));
    ASSERT_TRUE(set("ExtraDataSet:ExtraData[0]:Value", "x"));
    EXPECT_TRUE(received.empty()) << "a name, or a slot without a message, sends nothing";
    ASSERT_TRUE(set("ExtraDataSet:ExtraData[2]:Value", "7"));
    EXPECT_EQ(received, (std::vector<std::string>{"w:OnSlotChanged"}));
    EXPECT_STREQ(data->ExtraData[2].Value.c_str(), "again");
}

TEST_F(Behaviour, AShownWindowGoesOnTopOfItsSiblings)
{
    CKVQWindow* top = Make("top", root, {0, 10, 0, 10}, new CRenderObject_TopmostLogic);
    Make("other", root, {0, 10, 0, 10});
    top->Hide();
    EXPECT_EQ(root->GetFirstChild(), top);
    top->Show();
    EXPECT_EQ(root->GetLastChild(), top);
}

// ---- sound ----

class BehaviourSound : public Behaviour {
protected:
    void SetUp() override
    {
        Behaviour::SetUp();
        UseDummyAudioDriver();
        ASSERT_TRUE(folder_.ok());
        GetFileSystem().Reset();
        GetFileSystem().SetApplicationFolder(folder_.path() + "/");
        GetFileSystem().SetPackageName("NULL");
        ASSERT_TRUE(WriteFile(folder_ / "beep.wav", SilentWav(2000)));
        ASSERT_TRUE(WriteFile(folder_ / "hum.wav", SilentWav(2000)));
        engine_ = SimpleAudioEngine::sharedEngine();
        notices::Reset();
    }
    void TearDown() override
    {
        SimpleAudioEngine::end();
        GetFileSystem().Reset();
        notices::Reset();
        Behaviour::TearDown();
    }
    CRenderObject_Sound::Entry& AddEntry(CRenderObject_Sound& sound, const char* start, const char* stop,
                                         const char* file, int32_t loop = 0)
    {
        sound.ExecuteCommand("AddMsg");
        CRenderObject_Sound::Entry& e = *sound.entries.back();
        e.startmsg = start, e.stopmsg = stop, e.strSoundFile = file, e.IsLoop = loop;
        return e;
    }
    bool Active(const CRenderObject_Sound::Entry& e) { return engine_->isEffectActive(static_cast<uint32_t>(e.effectId)); }
    TempFolder folder_;
    SimpleAudioEngine* engine_ = nullptr;
};

TEST_F(BehaviourSound, EntriesStartAndStopOnTheirMessages)
{
    auto* sound = new CRenderObject_Sound;
    CKVQWindow* w = Make("w", root, {0, 10, 0, 10}, sound);
    auto& go = AddEntry(*sound, "OnGo", "OnHalt", "beep.wav");
    auto& both = AddEntry(*sound, "OnGo", "OnGo", "hum.wav");
    auto& atLoad = AddEntry(*sound, "OnLoad", "OnHalt", "hum.wav", 1);
    w->OnLoad();
    EXPECT_TRUE(atLoad.playing && Active(atLoad)) << "an OnLoad entry starts with the load";
    EXPECT_TRUE(engine_->lastLoopFlag());
    const int32_t looped = atLoad.effectId;
    w->ProcMessage("OnLoad", nullptr, w);
    EXPECT_FALSE(engine_->isEffectActive(static_cast<uint32_t>(looped))) << "a loop started again replaces itself";

    w->ProcMessage("OnGo", nullptr, w);
    EXPECT_TRUE(go.playing && Active(go));
    EXPECT_TRUE(both.playing && Active(both)) << "start wins over stop";
    EXPECT_GT(both.effectId, go.effectId);
    w->ProcMessage("OnHalt", nullptr, w);
    EXPECT_FALSE(go.playing || Active(go) || atLoad.playing || Active(atLoad));
    EXPECT_TRUE(Active(both));
}

TEST_F(BehaviourSound, AnEntryWithoutAFileOrWithAMissingOnePlaysNothingAndSaysSoOnce)
{
    const std::string lookedIn = folder_.path() + "/, " + folder_.path() + "/sound/";
    const struct {
        const char* file;
        std::string notice;
    } cases[] = {
        {"gone.wav", "kvq: missing sound 'gone.wav' (looked in: " + lookedIn + ")\n"},
        {"", "kvq: a Sound entry started by 'OnGo' names no sound file; it plays nothing\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        auto* sound = new CRenderObject_Sound;
        CKVQWindow* w = Make("w", root, {0, 10, 0, 10}, sound);
        auto& e = AddEntry(*sound, "OnGo", "OnHalt", c.file);
        w->OnLoad();
        ::testing::internal::CaptureStderr();
        for (int i = 0; i < 3; ++i)
            w->ProcMessage("OnGo", nullptr, w);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.notice);
        EXPECT_EQ(e.effectId, -1);
        EXPECT_FALSE(e.playing);
        root->DeleteChild(w);
    }
}

// An editor describes the entries, which the runtime table leaves out, and writes them.
TEST_F(BehaviourSound, EditingAPlayingEntryPlaysTheNewSettings)
{
    struct EditorTable : CKVQEditHook {
        void BeginGroup(void* at, const char* n, int32_t k, const char* h, AttributeCallback cb, void* o, int32_t f,
                        bool) override { CKVQEditHook::BeginGroup(at, n, k, h, cb, o, f, false); }
    };
    CRenderObject_Sound sound;
    auto& e = AddEntry(sound, "OnGo", "", "beep.wav");
    auto edit = [&sound](const char* name, const char* text) {
        EditorTable table;
        table.SetObject(&sound, sizeof sound);
        sound.Describe(table);
        return table.SetAttribute(table.GetAttributeNameRef((std::string("Sound:entries:Entry0:") + name).c_str()), text);
    };
    sound.Play("OnGo");
    const int32_t first = e.effectId;
    ASSERT_TRUE(edit("strSoundFile", "hum.wav"));
    EXPECT_TRUE(Active(e) && !engine_->isEffectActive(static_cast<uint32_t>(first)));
    const int32_t second = e.effectId;
    ASSERT_TRUE(edit("IsLoop", "true"));
    EXPECT_TRUE(Active(e) && e.effectId != second && engine_->lastLoopFlag());
    ASSERT_TRUE(edit("fVolume", "0.25"));
    EXPECT_FLOAT_EQ(engine_->getEffectsVolume(), 0.25f);
    e.Stop();
    ASSERT_TRUE(edit("strSoundFile", "beep.wav"));
    EXPECT_FALSE(e.playing || Active(e)) << "a stopped entry's file is only stored";
}

}  // namespace
