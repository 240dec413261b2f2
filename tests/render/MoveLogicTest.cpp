#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "io/EditHook.h"
#include "render/RenderRegistry.h"
#include "render/behaviour/MoveLogic.h"
#include "services/DBConfig.h"
#include "services/PathLine.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

// Records the messages the move logic sends to its window.
struct Recorder : IRender {
    static std::vector<std::string>* log;
    Recorder()
    {
        for (const char* name : {"OnMoving", "OnMoveToKeyPt", "OnMoveEnd"})
            RegisterHandler(name, [](IRender*, const char* n, CKVQWindow*, CKVQMessage*, CKVQWindow*) {
                log->push_back(n);
            });
    }
    const char* GetClassName() const override { return "Rectangle"; }
    void Describe(CIEditHook&) override {}
    CKVQEditHook& AttributeTable() const override
    {
        static CKVQEditHook table;
        return table;
    }
    size_t ObjectSize() const override { return sizeof(Recorder); }
};
std::vector<std::string>* Recorder::log = nullptr;

struct Tick {
    int x, y;
    std::string messages;  // sent in this tick, space separated
};

struct MoveCase {
    std::string name;
    std::vector<KVQPoint> points;
    float speed, acc;
    bool isAbs, stopAtKeyPt, moving;
    KVQPoint windowAt;
    std::vector<Tick> ticks;
};

class MoveLogicTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterRenderClasses();
        CKVQPathLineMgr::Instance().Reset();
        Recorder::log = &log;
    }
    void TearDown() override
    {
        for (CKVQWindow* w : made)
            w->Delete();
        WindowModule::Get().ReleaseDeleted();
        CKVQPathLineMgr::Instance().Reset();
    }
    CRenderObject_MoveLogic* Make(const std::vector<KVQPoint>& points, KVQPoint at)
    {
        auto line = std::make_unique<KVQPathLine>();
        line->nPathID = CKVQPathLineMgr::Instance().CreatePathID();
        for (const KVQPoint& p : points)
            line->vecPt.Push(p);
        const int32_t id = line->nPathID;
        EXPECT_TRUE(CKVQPathLineMgr::Instance().AddPathLine(std::move(line)));
        window = CKVQWindow::New();
        made.push_back(window);
        window->SetPos(at);
        auto* move = new CRenderObject_MoveLogic;
        move->PathID = id;
        window->AddRender(move);
        window->AddRender(new Recorder);
        return move;
    }
    std::string Update()
    {
        log.clear();
        window->ProcMessage("OnUpdate", nullptr, window);
        std::string joined;
        for (const std::string& m : log)
            joined += (joined.empty() ? "" : " ") + m;
        return joined;
    }
    CKVQWindow* window = nullptr;
    std::vector<CKVQWindow*> made;
    std::vector<std::string> log;
};

TEST_F(MoveLogicTest, PositionsAndMessagesPerTick)
{
    const std::vector<MoveCase> cases = {
        // 50 px/s at 33 ms: 1.65 px a tick.
        {"1.65 px a tick", {{0, 0}, {100, 0}}, 50, 0, true, false, true, {7, 7},
         {{0, 0, "OnMoveToKeyPt"}, {1, 0, ""}, {3, 0, ""}, {4, 0, ""}, {6, 0, ""}}},
        {"relative to the start position", {{0, 0}, {10, 10}}, 1000, 0, false, false, true, {100, 50},
         {{100, 50, "OnMoveToKeyPt"}, {110, 60, "OnMoveToKeyPt OnMoveEnd"}}},
        // 33 px a tick: the first tick passes (10, 0) and reports it, the second ends the path.
        {"passing a key point", {{0, 0}, {10, 0}, {10, 30}}, 1000, 0, true, false, true, {0, 0},
         {{0, 0, "OnMoveToKeyPt"}, {10, 23, "OnMoveToKeyPt"}, {10, 30, "OnMoveToKeyPt OnMoveEnd"}, {10, 30, ""}}},
        {"stopping at key points", {{0, 0}, {10, 0}, {10, 30}}, 1000, 0, true, true, true, {0, 0},
         {{0, 0, "OnMoveToKeyPt"}, {10, 0, "OnMoveToKeyPt"}, {10, 30, "OnMoveToKeyPt OnMoveEnd"}}},
        // One fast tick crosses two whole segments and stops at the end, not beyond.
        {"a fast tick through several segments", {{0, 0}, {5, 0}, {5, 5}, {0, 5}, {0, 100}}, 1000, 0, true, false,
         true, {0, 0}, {{0, 0, "OnMoveToKeyPt"}, {0, 23, "OnMoveToKeyPt"}, {0, 56, ""}}},
        // Speed grows by 1000 * 33 / 1000 = 33 before each step.
        {"acceleration", {{0, 0}, {1000, 0}}, 0, 1000, true, false, true, {0, 0},
         {{0, 0, "OnMoveToKeyPt"}, {2, 0, ""}, {5, 0, ""}, {9, 0, ""}}},
        {"not started: nothing moves", {{0, 0}, {100, 0}}, 50, 0, true, false, false, {7, 7}, {{7, 7, ""}}},
    };
    for (const MoveCase& c : cases) {
        SCOPED_TRACE(c.name);
        CRenderObject_MoveLogic* move = Make(c.points, c.windowAt);
        move->Speed = c.speed;
        move->AccSpeed = c.acc;
        move->flags = c.isAbs ? CRenderObject_MoveLogic::kIsAbs : 0;
        move->Move.bMustStopAtKeyPt = c.stopAtKeyPt;
        if (c.moving)
            window->ProcMessage("OnStartMove", nullptr, window);
        for (size_t i = 0; i < c.ticks.size(); ++i) {
            SCOPED_TRACE("tick " + std::to_string(i));
            EXPECT_EQ(Update(), c.ticks[i].messages);
            EXPECT_EQ(window->GetPos(), (KVQPoint{c.ticks[i].x, c.ticks[i].y}));
        }
    }
}

TEST_F(MoveLogicTest, PauseResumeStopAndTheEndOfThePath)
{
    CRenderObject_MoveLogic* move = Make({{0, 0}, {10, 0}}, {0, 0});
    move->Speed = 1000.0f / 33.0f * 3.0f;  // about 3 px a tick
    move->flags |= CRenderObject_MoveLogic::kTriggerMovingEvent;
    window->ProcMessage("OnStartMove", nullptr, window);
    EXPECT_EQ(Update(), "OnMoving OnMoveToKeyPt");
    EXPECT_EQ(Update(), "OnMoving");
    window->ProcMessage("OnPauseMove", nullptr, window);
    EXPECT_EQ(move->IsMoving, CRenderObject_MoveLogic::kPause);
    EXPECT_EQ(Update(), "");
    EXPECT_EQ(window->GetPos().x, 3);
    window->ProcMessage("OnResumeMove", nullptr, window);
    EXPECT_EQ(Update(), "OnMoving");
    window->ProcMessage("OnStopMove", nullptr, window);
    window->ProcMessage("OnResumeMove", nullptr, window);  // a stopped move does not resume
    EXPECT_EQ(move->IsMoving, CRenderObject_MoveLogic::kStop);
    EXPECT_EQ(Update(), "");
    window->ProcMessage("OnStartMove", nullptr, window);  // starts over from the first point
    EXPECT_EQ(Update(), "OnMoving OnMoveToKeyPt");
    EXPECT_EQ(window->GetPos().x, 0);
    for (int i = 0; i < 4; ++i)
        Update();
    EXPECT_EQ(move->IsMoving, CRenderObject_MoveLogic::kStop);
    EXPECT_EQ(window->GetPos().x, 10);
}

TEST_F(MoveLogicTest, PathLineIdsAndPointCells)
{
    CKVQPathLineMgr& mgr = CKVQPathLineMgr::Instance();
    EXPECT_EQ(mgr.CreatePathID(), 1);
    auto a = std::make_unique<KVQPathLine>();
    a->nPathID = 4;
    EXPECT_TRUE(mgr.AddPathLine(std::move(a)));
    auto b = std::make_unique<KVQPathLine>();
    b->nPathID = 4;
    EXPECT_FALSE(mgr.AddPathLine(std::move(b)));
    EXPECT_NE(mgr.GetPathLine(4), nullptr);
    EXPECT_EQ(mgr.GetPathLine(5), nullptr);
    const struct {
        const char* text;
        bool ok;
        KVQPoint p;
    } cells[] = {{"12|-4", true, {12, -4}}, {"3|", false, {}}, {"", false, {}}, {"7|8|9", true, {7, 8}}, {"x|1", false, {}}};
    for (const auto& c : cells) {
        KVQPoint p{};
        EXPECT_EQ(CKVQPathLineMgr::ParsePoint(c.text, p), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(p, c.p) << c.text;
        }
    }
}

TEST_F(MoveLogicTest, LoadsPathLinesFromATableAndKeepsTheFirstLineOfAnId)
{
    CKVQDBConfig table;
    table.LoadFromMemory("id,data,p1,p2,p3,\n"
                         "3,7,0|0,100|0,100|50,\n"
                         "4,0,5|5,oops,6|,\n"
                         "3,9,1|1,\n",
                         "paths.csv");
    CKVQPathLineMgr& mgr = CKVQPathLineMgr::Instance();
    mgr.LoadTable(table);
    const struct {
        int32_t id, addData;
        std::vector<KVQPoint> points;
    } expected[] = {{3, 7, {{0, 0}, {100, 0}, {100, 50}}}, {4, 0, {{5, 5}}}};
    for (const auto& e : expected) {
        const KVQPathLine* line = mgr.GetPathLine(e.id);
        ASSERT_NE(line, nullptr) << e.id;
        EXPECT_EQ(line->nAddData, e.addData);
        std::vector<KVQPoint> points;
        for (int32_t i = 0; i < line->vecPt.Size(); ++i)
            points.push_back(*line->vecPt.Get(i));
        EXPECT_EQ(points, e.points) << e.id;
    }
    EXPECT_FALSE(mgr.LoadCfg("no/such/paths.csv"));
}

// Records the full names an editor would be shown, collapsed groups included.
class NameRecorder : public CIEditHook {
public:
    std::vector<std::string> names;
#define KVQ_NAME_ONLY(Method, Type)                                                                      \
    void Method(Type*, const char* n, int32_t, const char*, AttributeCallback, void*, int32_t) override \
    {                                                                                                    \
        Add(n);                                                                                          \
    }
    KVQ_NAME_ONLY(String, CKVQString)
    KVQ_NAME_ONLY(Opaque16, void)
    KVQ_NAME_ONLY(UInt32, uint32_t)
    KVQ_NAME_ONLY(UInt16, uint16_t)
    KVQ_NAME_ONLY(Int16, int16_t)
    KVQ_NAME_ONLY(UInt8, uint8_t)
    KVQ_NAME_ONLY(Int8, int8_t)
    KVQ_NAME_ONLY(Opaque13, void)
    KVQ_NAME_ONLY(Int32AsBool, int32_t)
    KVQ_NAME_ONLY(BoolAsInt32, int32_t)
    KVQ_NAME_ONLY(Int32, int32_t)
#undef KVQ_NAME_ONLY
    void FloatArray(float*, const char*, int32_t, const char* n, int32_t, const char*, AttributeCallback, void*,
                    int32_t) override { Add(n); }
    void Int32Array(int32_t*, int32_t, const char* n, int32_t, const char*, AttributeCallback, void*,
                    int32_t) override { Add(n); }
    void Bit(uint32_t*, int32_t, const char* n, int32_t, const char*, AttributeCallback, void*, int32_t) override
    {
        Add(n);
    }
    void LabelledValue(void*, int32_t, int32_t, const char* n, int32_t, const char*, AttributeCallback, void*,
                       int32_t) override { Add(n); }
    void Action(const char* n, int32_t, const char*, AttributeCallback, void*, int32_t) override { Add(n); }
    void Float(float*, const char*, const char* n, int32_t, const char*, AttributeCallback, void*,
               int32_t) override { Add(n); }
    void BeginGroup(void*, const char* n, int32_t, const char*, AttributeCallback, void*, int32_t, bool) override
    {
        Add(n);
        pending_ = n;
    }
    void SetObject(void*, size_t) override {}
    void EnterGroup() override { path_.push_back(pending_); }
    void LeaveGroup() override { path_.pop_back(); }
    int32_t GetKind(int32_t) const override { return ATTR_NONE; }

private:
    void Add(const char* name)
    {
        std::string full;
        for (const std::string& p : path_)
            full += p + ":";
        names.push_back(full + name);
    }
    std::vector<std::string> path_;
    std::string pending_;
};

TEST_F(MoveLogicTest, DescribesEveryPointOfThePathForTheEditor)
{
    CRenderObject_MoveLogic* move = Make({{0, 0}, {30, -4}}, {0, 0});
    window->ProcMessage("OnStartMove", nullptr, window);
    NameRecorder hook;
    move->Describe(hook);
    std::vector<std::string> points;
    for (const std::string& n : hook.names)
        if (n.find("PtList") != std::string::npos)
            points.push_back(n.substr(n.find("PtList")));
    const std::vector<std::string> expected = {"PtList",       "PtList:Pt0", "PtList:Pt0:x", "PtList:Pt0:y",
                                               "PtList:Pt1",   "PtList:Pt1:x", "PtList:Pt1:y"};
    EXPECT_EQ(points, expected);
    // The runtime table addresses storage inside the object only, so it leaves the points out.
    CKVQEditHook table;
    move->Describe(table);
    for (const std::string& n : table.FullNames())
        EXPECT_EQ(n.find("Pt0"), std::string::npos) << n;
}

}  // namespace
