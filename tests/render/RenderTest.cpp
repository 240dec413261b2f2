#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/EditHook.h"
#include "render/Line.h"
#include "render/Rectangle.h"
#include "render/Render.h"
#include "render/RenderRegistry.h"
#include "support/Bytes.h"
#include "support/RecordingDC.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

// A minimal class for message tests: counts what reaches its handler.
class Probe : public IRender {
public:
    const char* GetClassName() const override { return "Probe"; }
    void Describe(CIEditHook& hook) override
    {
        hook.BeginGroup(this, "Probe", ATTR_GROUP, "", nullptr, nullptr, 0, false);
        hook.EnterGroup();
        DescribeBase(hook);
        hook.LeaveGroup();
    }
    CKVQEditHook& AttributeTable() const override
    {
        static CKVQEditHook table;
        return table;
    }
    size_t ObjectSize() const override { return sizeof(Probe); }

    std::vector<std::string> seen;
    int32_t firstParameter = 0;
};

std::vector<std::string> g_order;

void Note(IRender* self, const char* name, CKVQWindow*, CKVQMessage* message, CKVQWindow*)
{
    auto* probe = static_cast<Probe*>(self);
    probe->seen.push_back(name);
    if (message)
        message->Int32(probe->firstParameter);
    g_order.push_back(probe->Name.c_str());
}

void NoteOther(IRender* self, const char*, CKVQWindow*, CKVQMessage*, CKVQWindow*)
{
    static_cast<Probe*>(self)->seen.push_back("other");
}

void DeleteOwner(IRender*, const char*, CKVQWindow* owner, CKVQMessage*, CKVQWindow*)
{
    owner->Delete();
}

class RenderObjects : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterRenderClasses();
        previous = SetCurrentDevice(&dc);
        g_order.clear();
    }
    void TearDown() override
    {
        SetCurrentDevice(previous);
        for (CKVQWindow* w : made)
            w->Delete();
        WindowModule::Get().ReleaseDeleted();
    }
    CKVQWindow* Make()
    {
        made.push_back(CKVQWindow::New());
        return made.back();
    }

    RecordingDC dc;
    CKVQDC* previous = nullptr;
    std::vector<CKVQWindow*> made;
};

TEST_F(RenderObjects, RegistryKeepsStartUpOrderAndRegistersOnce)
{
    RegisterRenderClasses();
    const std::vector<std::string> names = CRenderRegistry::Instance().GetClassNames();
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names[0], "Rectangle");
    EXPECT_EQ(names[1], "Line");
    EXPECT_EQ(CRenderRegistry::Instance().GetClassListText().rfind("Rectangle|Line|", 0), 0u);
    EXPECT_EQ(CRenderRegistry::Instance().GetClassListText().find("Rectangle|", 1), std::string::npos);
    IRender* rect = CRenderRegistry::Instance().Create("Rectangle");
    ASSERT_NE(rect, nullptr);
    EXPECT_STREQ(rect->GetClassName(), "Rectangle");
    DestroyRender(rect);
    EXPECT_EQ(CRenderRegistry::Instance().Create("rectangle"), nullptr);  // exact match only
    EXPECT_EQ(CRenderRegistry::Instance().Create("NoSuchClass"), nullptr);
}

TEST_F(RenderObjects, FirstHandlerRegistrationWins)
{
    Probe probe;
    probe.RegisterHandler("OnClick", Note);
    probe.RegisterHandler("OnClick", NoteOther);
    CKVQMessage message;
    EXPECT_EQ(probe.ProcMessage(nullptr, "OnClick", &message, nullptr), 1);
    EXPECT_EQ(probe.seen, (std::vector<std::string>{"OnClick"}));
    probe.RemoveHandler("OnClick");
    EXPECT_EQ(probe.ProcMessage(nullptr, "OnClick", &message, nullptr), 0);
    EXPECT_EQ(probe.seen.size(), 1u);
}

TEST_F(RenderObjects, MessagesDescendIntoVisibleChildrenOnlyEachFromTheStart)
{
    CKVQWindow* w = Make();
    auto* parent = new Probe;
    parent->Name = "parent";
    auto* shown = new Probe;
    shown->Name = "shown";
    auto* hidden = new Probe;
    hidden->Name = "hidden";
    hidden->IsVisible = 0;
    for (Probe* p : {parent, shown, hidden})
        p->RegisterHandler("OnPing", Note);
    parent->AddChildObject(hidden);
    parent->AddChildObject(shown);
    w->AddRender(parent);

    CKVQMessage message;
    int32_t value = 42;
    message.Int32(value);
    w->ProcMessage("OnPing", &message, w, true);  // forced: the hidden child still gets nothing
    EXPECT_EQ(g_order, (std::vector<std::string>{"parent", "shown"}));
    EXPECT_EQ(parent->firstParameter, 42);
    EXPECT_EQ(shown->firstParameter, 42);
    EXPECT_TRUE(hidden->seen.empty());
    EXPECT_EQ(shown->GetOwner(), w);
}

TEST_F(RenderObjects, OfferingStopsWhenAHandlerDeletesTheWindow)
{
    CKVQWindow* w = Make();
    auto* parent = new Probe;
    parent->RegisterHandler("OnPing", DeleteOwner);
    auto* child = new Probe;
    child->RegisterHandler("OnPing", Note);
    parent->AddChildObject(child);
    w->AddRender(parent);
    CKVQMessage message;
    parent->ProcMessage(w, "OnPing", &message, w);
    EXPECT_TRUE(w->IsDeleted());
    EXPECT_TRUE(child->seen.empty());
}

TEST_F(RenderObjects, ColorIsStreamedAlphaRedBlueGreen)
{
    CKVQMessage m;
    RGBA color{1, 2, 3, 4};
    IRender::TransferColor(m, color);
    EXPECT_EQ(BytesOf(m), Bytes({0x04, 0x01, 0x03, 0x02}));
    m.setMode(CIArchive::SM_READ);
    RGBA back;
    IRender::TransferColor(m, back);
    EXPECT_EQ(back, color);
}

TEST_F(RenderObjects, RectangleRecordLayout)
{
    CRenderObject_Rectangle rect;
    rect.FillColor = RGBA{1, 2, 3, 4};
    rect.LeftColor = RGBA{5, 6, 7, 8};
    rect.IsFill = 1;
    rect.nFrameWidth = 3;
    CKVQMessage m;
    rect.Serialize(m);
    const std::vector<uint8_t> bytes = BytesOf(m);
    // Base: IsVisible, BlendMode, Name (1, 1, 0), layout 20 bytes, Layer; then 5 colours and 3 ints.
    ASSERT_EQ(bytes.size(), 4u + 4 + 9 + 20 + 4 + 20 + 12);
    const size_t own = 4 + 4 + 9 + 20 + 4;
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 17, bytes.begin() + 21), Bytes({0, 0, 1, 1}));  // anchors
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + own, bytes.begin() + own + 8),
              Bytes({4, 1, 3, 2, 8, 5, 7, 6}));
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 12, bytes.end()), Bytes({1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0}));
}

TEST_F(RenderObjects, CloneCopiesTheRecordWithoutOwner)
{
    CKVQWindow* w = Make();
    auto* line = new CRenderObject_Line;
    line->Name = "diagonal";
    line->nLineType = 1;
    line->nLineWidth = 4;
    line->LineColor = RGBA{9, 8, 7, 6};
    line->BlendMode = BLEND_ADDITIVE;
    line->Layout.Left = -5;
    w->AddRender(line);
    IRender* copy = line->Clone();
    ASSERT_NE(copy, nullptr);
    auto* cloned = static_cast<CRenderObject_Line*>(copy);
    EXPECT_STREQ(cloned->GetClassName(), "Line");
    EXPECT_STREQ(cloned->Name.c_str(), "diagonal");
    EXPECT_EQ(cloned->nLineType, 1);
    EXPECT_EQ(cloned->nLineWidth, 4);
    EXPECT_EQ(cloned->LineColor, (RGBA{9, 8, 7, 6}));
    EXPECT_EQ(cloned->BlendMode, BLEND_ADDITIVE);
    EXPECT_EQ(cloned->Layout, line->Layout);
    EXPECT_EQ(cloned->GetOwner(), nullptr);
    DestroyRender(copy);

    Probe unregistered;
    EXPECT_EQ(unregistered.Clone(), nullptr);
}

TEST_F(RenderObjects, NewRectangleCoversTheWindow)
{
    CRenderObject_Rectangle rect;
    EXPECT_EQ(rect.ResolveRect(KVQRect{0, 100, 0, 40}), (KVQRect{0, 100, 0, 40}));
    EXPECT_EQ(rect.ResolveRect(KVQRect{30, 130, 10, 50}), (KVQRect{30, 130, 10, 50}));
}

TEST_F(RenderObjects, RectangleFillsAndDrawsFourEdges)
{
    CRenderObject_Rectangle rect;
    rect.IsFill = 1;
    rect.IsDrawFrame = 1;
    rect.nFrameWidth = 2;
    rect.FillColor = RGBA{255, 0, 0, 255};
    rect.TopColor = RGBA{0, 0, 1, 255};
    rect.BottomColor = RGBA{0, 0, 2, 255};
    rect.LeftColor = RGBA{0, 0, 3, 255};
    rect.RightColor = RGBA{0, 0, 4, 255};
    rect.Draw(KVQRect{0, 100, 0, 40});
    EXPECT_EQ(dc.calls, (std::vector<std::string>{
                            "FillRect 0,100,0,40 #ff0000ff",
                            "SetLineWidth 2",
                            "DrawLine 0,0 100,0 #000001ff",
                            "DrawLine 0,40 100,40 #000002ff",
                            "DrawLine 0,0 0,40 #000003ff",
                            "DrawLine 100,0 100,40 #000004ff",
                            "SetLineWidth 1",
                        }));
    dc.Reset();
    rect.IsFill = 2;  // only 1 fills
    rect.IsDrawFrame = 0;
    rect.Draw(KVQRect{0, 100, 0, 40});
    EXPECT_TRUE(dc.calls.empty());
}

TEST_F(RenderObjects, LineTypesDrawInsideAClip)
{
    CRenderObject_Line line;
    line.nLineType = CRenderObject_Line::LINE_VERTICAL;
    line.Draw(KVQRect{0, 11, 0, 10});
    EXPECT_EQ(dc.calls, (std::vector<std::string>{
                            "PushClip 0,11,0,10 0",
                            "SetLineWidth 1",
                            "DrawLine 5,0 5,10 #ffffffff",
                            "SetLineWidth 1",
                            "PopClip",
                        }));

    const char* expected[] = {"DrawLine 0,10 11,0 #ffffffff", "DrawLine 0,0 11,10 #ffffffff", "",
                              "DrawLine 0,5 11,5 #ffffffff"};
    for (int32_t type : {0, 1, 3}) {
        dc.Reset();
        line.nLineType = type;
        line.Draw(KVQRect{0, 11, 0, 10});
        EXPECT_EQ(dc.Lines("DrawLine"), (std::vector<std::string>{expected[type]})) << type;
    }
    dc.Reset();
    line.nLineType = 7;
    line.Draw(KVQRect{0, 11, 0, 10});
    EXPECT_EQ(dc.Count("DrawLine"), 0);
    EXPECT_EQ(dc.Count("PushClip"), dc.Count("PopClip"));
}

TEST_F(RenderObjects, AttributesByFullName)
{
    CRenderObject_Rectangle rect;
    const int32_t name = rect.GetAttributeNameRef("Rect:Base:Name");
    const int32_t left = rect.GetAttributeNameRef("Rect:LayoutRect:Left");
    const int32_t red = rect.GetAttributeNameRef("Rect:FillColor:red");
    ASSERT_GE(name, 0);
    ASSERT_GE(left, 0);
    ASSERT_GE(red, 0);
    EXPECT_EQ(rect.GetAttributeNameRef("anything", 5), 5);  // a given index wins
    EXPECT_TRUE(rect.SetAttribute(name, "box"));
    EXPECT_TRUE(rect.SetAttribute(left, "-12"));
    EXPECT_TRUE(rect.SetAttribute(red, "200"));
    EXPECT_STREQ(rect.Name.c_str(), "box");
    EXPECT_EQ(rect.Layout.Left, -12);
    EXPECT_EQ(rect.FillColor.red, 200);
    EXPECT_EQ(rect.GetAttribute(rect.GetAttributeNameRef("Rect:Base:IsVisible")), "true");
    EXPECT_EQ(rect.GetAddress(red), reinterpret_cast<uintptr_t>(&rect.FillColor.red));

    // The same table serves a second object.
    CRenderObject_Rectangle other;
    EXPECT_EQ(other.GetAttribute(name), "");
    EXPECT_EQ(other.GetAttribute(red), "0");
    EXPECT_EQ(rect.GetAttribute(red), "200");
}

TEST_F(RenderObjects, AttributeOrderOfRectangleAndLine)
{
    CRenderObject_Rectangle rect;
    const std::vector<std::string> names = rect.BoundTable().FullNames();
    ASSERT_EQ(names.size(), 44u);
    EXPECT_EQ(names[2], "Rect:Base:RenderID");
    EXPECT_EQ(names[6], "Rect:Base:Layer");
    EXPECT_EQ(names[9], "Rect:LayoutRect:Left");
    EXPECT_EQ(names[15], "Rect:LayoutRect:Bottom");
    EXPECT_EQ(names[16], "Rect:IsFill");
    EXPECT_EQ(names[18], "Rect:nFrameWidth");
    const char* colours[] = {"Rect:FillColor", "Rect:LeftColor", "Rect:TopColor", "Rect:RightColor",
                             "Rect:BottomColor"};
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(names[19 + 5 * i], colours[i]);
    EXPECT_EQ(names[20], "Rect:FillColor:red");
    EXPECT_EQ(names[23], "Rect:FillColor:alpha");

    CRenderObject_Line line;
    const std::vector<std::string> lineNames = line.BoundTable().FullNames();
    ASSERT_EQ(lineNames.size(), 23u);
    EXPECT_EQ(lineNames[16], "Line:nLineType");
    EXPECT_EQ(lineNames[17], "Line:nLineWidth");
    EXPECT_EQ(lineNames.back(), "Line:LineColor:alpha");
}

}  // namespace
