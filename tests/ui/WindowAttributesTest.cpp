#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "io/EditHook.h"
#include "io/FileSystem.h"
#include "render/Line.h"
#include "render/Rectangle.h"
#include "render/RenderRegistry.h"
#include "support/RecordingDC.h"
#include "support/TempFiles.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

class WindowAttributes : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterRenderClasses();
        previous = SetCurrentDevice(&dc);
        shown = 0;
        hidden = 0;
    }
    void TearDown() override
    {
        SetCurrentDevice(previous);
        for (CKVQWindow* w : made) {
            if (!w->IsDeleted())
                w->Delete();
        }
        WindowModule::Get().ReleaseDeleted();
    }
    CKVQWindow* Make(const char* name = "")
    {
        CKVQWindow* w = CKVQWindow::New();
        w->SetName(name);
        made.push_back(w);
        return w;
    }
    int32_t Ref(const char* fullName) { return probe()->GetAttributeNameRef(fullName); }
    CKVQWindow* probe()
    {
        if (!probe_)
            probe_ = Make("probe");
        return probe_;
    }

    static int shown;
    static int hidden;
    static void CountShow(IRender*, const char*, CKVQWindow*, CKVQMessage*, CKVQWindow*) { ++shown; }
    static void CountHide(IRender*, const char*, CKVQWindow*, CKVQMessage*, CKVQWindow*) { ++hidden; }

    RecordingDC dc;
    CKVQDC* previous = nullptr;
    std::vector<CKVQWindow*> made;
    CKVQWindow* probe_ = nullptr;
};
int WindowAttributes::shown = 0;
int WindowAttributes::hidden = 0;

TEST_F(WindowAttributes, FullNamesOfTheWindowTree)
{
    probe()->GetAttributeNameRef("CKVQWindow");  // the table is built on first use
    const std::vector<std::string> names = CKVQWindow::AttributeTable().FullNames();
    auto at = [&](const std::string& n) {
        return static_cast<int>(std::find(names.begin(), names.end(), n) - names.begin());
    };
    ASSERT_GT(names.size(), 12u);
    EXPECT_EQ(names[2], "CKVQWindow:Attribute:name");
    EXPECT_EQ(names[8], "CKVQWindow:Attribute:nMaxLayer");
    EXPECT_EQ(names[10], "CKVQWindow:Status:IsVisible");
    EXPECT_EQ(names[11], "CKVQWindow:Status:IsDisable");
    EXPECT_EQ(at("CKVQWindow:Status:StatusBit31"), at("CKVQWindow:Status:StatusBit24") + 7);
    EXPECT_EQ(at("CKVQWindow:Status:StatusBit24"), at("CKVQWindow:Status:IsSysControl") + 1);
    EXPECT_LT(at("CKVQWindow:ClipOffset:left"), at("CKVQWindow:ClipOffset:top"));
    EXPECT_LT(at("CKVQWindow:ClipOffset:top"), at("CKVQWindow:ClipOffset:right"));
    EXPECT_EQ(at("CKVQWindow:SIZE:WndLayout:LeftSide"), at("CKVQWindow:SIZE:WndLayout") + 1);
    EXPECT_EQ(at("CKVQWindow:SIZE:WndLayout:Bottom"), at("CKVQWindow:SIZE:WndLayout") + 8);
    EXPECT_EQ(at("CKVQWindow:Event"), at("CKVQWindow:SIZE:WndLayout:Bottom") + 1);
    EXPECT_EQ(at("CKVQWindow:Event:nParam2"), at("CKVQWindow:Event") + 11);
    EXPECT_EQ(names.back(), "CKVQWindow:Scale:fScaleY");
    EXPECT_EQ(static_cast<int>(names.size()), 1 + 8 + 1 + 28 + 5 + 4 + 1 + 4 + 9 + 12 + 5 + 3);
}

TEST_F(WindowAttributes, ClipOffsetNamesReachTheRightInsets)
{
    CKVQWindow* w = Make();
    EXPECT_TRUE(w->SetAttribute(Ref("CKVQWindow:ClipOffset:top"), "3"));
    EXPECT_TRUE(w->SetAttribute(Ref("CKVQWindow:ClipOffset:right"), "4"));
    EXPECT_EQ(w->ClipOffset[2], 3);  // held left, right, top, bottom
    EXPECT_EQ(w->ClipOffset[1], 4);
    EXPECT_TRUE(w->SetAttribute(Ref("CKVQWindow:Scale:fScaleX"), "0.5"));
    EXPECT_FLOAT_EQ(w->fScaleX, 0.5f);
    EXPECT_EQ(w->GetAttribute(Ref("CKVQWindow:Scale:fScaleY")), "1.000000");
    EXPECT_EQ(w->GetAttribute(Ref("CKVQWindow:Attribute:oldState")), "-1");  // shown as int8
    EXPECT_EQ(w->GetAddress(Ref("CKVQWindow:Hot:nHotAlign")), reinterpret_cast<uintptr_t>(&w->nHotAlign));
}

TEST_F(WindowAttributes, SettingAnAttributeInvalidatesAndNullTextDoesNothing)
{
    CKVQWindow* w = Make();
    dc.Reset();
    EXPECT_FALSE(w->SetAttribute(Ref("CKVQWindow:Attribute:name"), nullptr));
    EXPECT_EQ(dc.Count("InvalidateRect"), 0);
    EXPECT_TRUE(w->SetAttribute(Ref("CKVQWindow:Attribute:name"), "panel"));
    EXPECT_STREQ(w->GetName(), "panel");
    EXPECT_EQ(dc.Count("InvalidateRect"), 1);
}

TEST_F(WindowAttributes, WritingIsVisibleRunsTheMatchingCascade)
{
    CKVQWindow* parent = Make();
    CKVQWindow* child = CKVQWindow::New();
    parent->AddChild(child);
    auto* listener = new CRenderObject_Rectangle;
    listener->RegisterHandler("OnShow", CountShow);
    listener->RegisterHandler("OnHide", CountHide);
    child->AddRender(listener);

    const int32_t visible = Ref("CKVQWindow:Status:IsVisible");
    EXPECT_TRUE(parent->SetAttribute(visible, "false"));
    EXPECT_FALSE(parent->IsBitSet(STATUS_IsVisible));
    EXPECT_EQ(hidden, 1);  // the child hides with its parent
    EXPECT_TRUE(parent->SetAttribute(visible, "true"));
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(child->IsVisible());
}

// ---- editor commands ----

TEST_F(WindowAttributes, CopyAndPasteReplaceContentButKeepPlaceHandleAndPosition)
{
    CKVQWindow* source = Make("source");
    source->SetClassName("Button");
    source->Layout = LayoutRect{0, 0, 0, 0, 0, 30, 0, 10};
    source->AddRender(CRenderObject_Line::Create());
    CKVQWindow* inner = CKVQWindow::New();
    inner->SetName("inner");
    source->AddChild(inner);
    ASSERT_TRUE(source->ExecuteCommand("CKVQWindow", "Copy"));

    CKVQWindow* root = Make("root");
    root->Layout = LayoutRect{0, 0, 0, 0, 0, 400, 0, 300};
    CKVQWindow* before = CKVQWindow::New();
    CKVQWindow* target = CKVQWindow::New();
    CKVQWindow* after = CKVQWindow::New();
    root->AddChild(before);
    root->AddChild(target);
    root->AddChild(after);
    target->SetPos(KVQPoint{100, 60});
    target->AddRender(CRenderObject_Rectangle::Create());
    CKVQWindow* old = CKVQWindow::New();
    target->AddChild(old);
    const uint32_t handle = target->GetWindowHandle();

    ASSERT_TRUE(target->ExecuteCommand("CKVQWindow", "Paste"));
    EXPECT_STREQ(target->GetName(), "source");
    EXPECT_STREQ(target->GetClassName(), "Button");
    EXPECT_EQ(target->GetParent(), root);
    EXPECT_EQ(target->GetPrevSibling(), before);
    EXPECT_EQ(target->GetNextSibling(), after);
    EXPECT_EQ(target->GetWindowHandle(), handle);
    EXPECT_EQ(CKVQWindow::FromHandle(handle), target);
    EXPECT_EQ(target->GetPos(), (KVQPoint{100, 60}));
    EXPECT_EQ(target->GetWidth(), 30);
    ASSERT_EQ(target->RenderLst().size(), 1u);
    EXPECT_STREQ(target->RenderLst()[0]->GetClassName(), "Line");
    EXPECT_EQ(target->RenderLst()[0]->GetOwner(), target);
    ASSERT_EQ(target->GetChildCount(), 1);
    EXPECT_STREQ(target->GetFirstChild()->GetName(), "inner");
    EXPECT_EQ(target->GetFirstChild()->GetParent(), target);
    EXPECT_TRUE(old->IsDeleted());

    WindowModule::Get().windowClipboard.Buffer().Reset();
    EXPECT_FALSE(target->ExecuteCommand("CKVQWindow", "Paste"));  // an empty clipboard changes nothing
    EXPECT_STREQ(target->GetName(), "source");
}

TEST_F(WindowAttributes, LayoutCopyAndPasteMoveOnlyTheLayout)
{
    CKVQWindow* a = Make("a");
    a->Layout = LayoutRect{1, 1, 2, 2, -30, 0, 5, 9};
    CKVQWindow* b = Make("b");
    ASSERT_TRUE(a->ExecuteCommand("CKVQWindow:SIZE:WndLayout", "Copy"));
    ASSERT_TRUE(b->ExecuteCommand("WndLayout", "Paste"));
    EXPECT_EQ(b->Layout, a->Layout);
    EXPECT_STREQ(b->GetName(), "b");
}

TEST_F(WindowAttributes, RenderObjectCommandsReorderCopyAndReplace)
{
    CKVQWindow* w = Make();
    for (const char* n : {"a", "b", "c"}) {
        ASSERT_TRUE(w->ExecuteCommand("RenderLst", "Rectangle"));  // a class name adds an object
        w->RenderLst().back()->Name = n;
    }
    EXPECT_EQ(w->RenderLst()[0]->GetOwner(), w);
    EXPECT_FALSE(w->ExecuteCommand("RenderLst", "NoSuchClass"));
    auto order = [&] {
        std::string s;
        for (IRender* r : w->RenderLst())
            s += r->Name.c_str();
        return s;
    };
    IRender* a = w->RenderLst()[0];
    EXPECT_TRUE(w->ExecuteCommand("Rectangle", "LayerUp", a));
    EXPECT_EQ(order(), "bac");
    EXPECT_TRUE(w->ExecuteCommand("Rectangle", "LayerTop", a));
    EXPECT_EQ(order(), "bca");
    EXPECT_TRUE(w->ExecuteCommand("Rectangle", "LayerBottom", a));
    EXPECT_EQ(order(), "abc");
    EXPECT_TRUE(w->ExecuteCommand("Rectangle", "LayerDown", w->RenderLst()[2]));
    EXPECT_EQ(order(), "acb");

    IRender* line = CRenderObject_Line::Create();
    line->Name = "L";
    CKVQWindow* other = Make();
    other->AddRender(line);
    EXPECT_TRUE(other->ExecuteCommand("Line", "Copy", line));
    EXPECT_TRUE(w->ExecuteCommand("Rectangle", "ReplaceByPaste", w->RenderLst()[1]));
    EXPECT_EQ(order(), "aLb");
    EXPECT_STREQ(w->RenderLst()[1]->GetClassName(), "Line");
    EXPECT_EQ(w->RenderLst()[1]->GetOwner(), w);
    EXPECT_TRUE(w->ExecuteCommand("RenderLst", "Paste"));
    EXPECT_EQ(order(), "aLbL");
    EXPECT_TRUE(w->ExecuteCommand("Rectangle", "DeleteRender", w->RenderLst()[0]));
    EXPECT_EQ(order(), "LbL");

    // An object of another window is refused.
    EXPECT_FALSE(w->ExecuteCommand("Line", "DeleteRender", line));
    EXPECT_EQ(other->RenderLst().size(), 1u);
}

TEST_F(WindowAttributes, StatesAreAddedNumberedAndDeleted)
{
    CKVQWindow* w = Make();
    EXPECT_TRUE(w->ExecuteCommand("States", "AddState"));
    EXPECT_TRUE(w->ExecuteCommand("States", "AddState"));
    ASSERT_EQ(w->States().size(), 2u);
    EXPECT_STREQ(w->States()[0].name.c_str(), "State0");
    EXPECT_STREQ(w->States()[1].name.c_str(), "State1");

    EXPECT_TRUE(w->ExecuteCommand("RenderLst", "Line", nullptr, 1));
    EXPECT_TRUE(w->ExecuteCommand("RenderLst", "Rectangle", nullptr, 1));
    ASSERT_EQ(w->States()[1].renders.size(), 2u);
    IRender* line = w->States()[1].renders[0];
    EXPECT_TRUE(w->ExecuteCommand("Line", "LayerTop", line, 1));
    EXPECT_EQ(w->States()[1].renders[1], line);
    EXPECT_TRUE(w->ExecuteCommand("Line", "Delete", line, 1));
    EXPECT_EQ(w->States()[1].renders.size(), 1u);
    EXPECT_TRUE(w->RenderLst().empty());
    EXPECT_FALSE(w->ExecuteCommand("RenderLst", "Line", nullptr, 5));

    EXPECT_TRUE(w->ExecuteCommand("State0", "DeleteState", nullptr, 0));
    ASSERT_EQ(w->States().size(), 1u);
    EXPECT_STREQ(w->States()[0].name.c_str(), "State1");
    EXPECT_FALSE(w->ExecuteCommand("State0", "DeleteState", nullptr, 3));
    EXPECT_TRUE(w->ExecuteCommand("States", "AddState"));
    EXPECT_STREQ(w->States()[1].name.c_str(), "State1");  // numbered by the current count
}

TEST_F(WindowAttributes, OutputAttributeWritesEveryFullNameToTheFile)
{
    TempFolder folder;
    ASSERT_TRUE(folder.ok());
    const std::string previousFolder = GetFileSystem().GetApplicationFolder();
    GetFileSystem().SetApplicationFolder(folder.path() + "/");

    CKVQWindow* w = Make();
    ASSERT_TRUE(w->ExecuteCommand("CKVQWindow", "OutputAttribute"));
    std::string expected;
    for (const std::string& n : CKVQWindow::AttributeTable().FullNames())
        expected += n + "\r\n";
    EXPECT_EQ(ReadFileText(folder / "OutputAttribute.txt"), expected);
    EXPECT_EQ(expected.rfind("CKVQWindow\r\nCKVQWindow:Attribute\r\nCKVQWindow:Attribute:name\r\n", 0), 0u);

    IRender* line = CRenderObject_Line::Create();
    w->AddRender(line);
    ASSERT_TRUE(w->ExecuteCommand("Line", "OutputAttribute", line));
    const std::string lineText = ReadFileText(folder / "OutputAttribute.txt");
    EXPECT_EQ(lineText.rfind("Line\r\nLine:Base\r\n", 0), 0u);
    EXPECT_NE(lineText.find("Line:LineColor:alpha\r\n"), std::string::npos);

    GetFileSystem().SetApplicationFolder(previousFolder);
}

}  // namespace
