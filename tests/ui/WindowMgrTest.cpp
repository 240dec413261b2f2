// The window manager's layout files and message bookings.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "io/EditHook.h"
#include "render/Render.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> heard;

class Listener : public IRender {
public:
    explicit Listener(const char* event) { RegisterHandler(event, &Listener::Handle); }
    const char* GetClassName() const override { return "TestListener"; }
    void Describe(CIEditHook& hook) override
    {
        hook.BeginGroup(this, "TestListener", ATTR_GROUP, "", nullptr, nullptr, 0, false);
        hook.EnterGroup();
        DescribeBase(hook);
        hook.LeaveGroup();
    }
    CKVQEditHook& AttributeTable() const override
    {
        static CKVQEditHook table;
        return table;
    }
    size_t ObjectSize() const override { return sizeof(Listener); }

private:
    static void Handle(IRender*, const char* name, CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender)
    {
        int32_t value = -1;
        message->Int32(value);
        heard.push_back(std::string(owner->GetName()) + ":" + name + ":" + std::to_string(value) + "<-" +
                        (sender ? sender->GetName() : "null"));
    }
};

class ManagerFixture : public ::testing::Test {
protected:
    CKVQWindowMgr& mgr = CKVQWindowMgr::Instance();
    fs::path folder;

    void SetUp() override
    {
        heard.clear();
        mgr.Reset();
        folder = fs::temp_directory_path() /
                 ("kvq_windowmgr_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(folder);
    }
    void TearDown() override
    {
        mgr.Reset();
        WindowModule::Get().ReleaseDeleted();
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    std::string Path(const char* name) const { return (folder / name).string(); }

    // root "main" (0..400) with children "a" at (10, 20) and "b".
    static CKVQWindow* MakeTree()
    {
        CKVQWindow* root = CKVQWindow::New();
        root->SetName("main");
        root->NormalAligned(KVQRect{0, 400, 0, 300});
        for (const char* name : {"a", "b"}) {
            CKVQWindow* child = CKVQWindow::New();
            child->SetName(name);
            child->NormalAligned(KVQRect{10, 60, 20, 70});
            root->AppendChild(child);
        }
        return root;
    }
};

class LayoutFiles : public ManagerFixture {};
class Bookings : public ManagerFixture {};

TEST_F(LayoutFiles, SaveThenLoadGivesTheSameTree)
{
    CKVQWindow* built = MakeTree();
    mgr.SetRoot(built);
    const std::string path = Path("main.layout");
    ASSERT_TRUE(mgr.Save(path.c_str()));
    const uint32_t oldHandle = built->GetWindowHandle();

    ASSERT_TRUE(mgr.Load(path.c_str()));
    CKVQWindow* root = mgr.GetRoot();
    ASSERT_NE(root, nullptr);
    EXPECT_NE(root, built);
    EXPECT_EQ(CKVQWindow::FromHandle(oldHandle), nullptr);  // the old root was deleted
    EXPECT_STREQ(root->GetName(), "main");
    ASSERT_EQ(root->GetChildCount(), 2);
    EXPECT_STREQ(root->GetChildByIndex(1)->GetName(), "b");
    EXPECT_EQ(root->GetChildByIndex(0)->GetRect().top, 20);

    // The saved file is exactly one window block of the root.
    CKVQMessage expected(CKVQMessage::kWindowCapacity);
    root->WriteBlock(expected);
    EXPECT_EQ(static_cast<int64_t>(fs::file_size(path)), expected.GetSize());
}

TEST_F(LayoutFiles, MissingOrEmptyLayoutLeavesNoRoot)
{
    mgr.SetRoot(MakeTree());
    EXPECT_FALSE(mgr.Load(Path("missing.layout").c_str()));
    EXPECT_EQ(mgr.GetRoot(), nullptr);

    std::ofstream(Path("empty.layout")).close();
    mgr.SetRoot(MakeTree());
    EXPECT_FALSE(mgr.Load(Path("empty.layout").c_str()));
    EXPECT_EQ(mgr.GetRoot(), nullptr);
}

TEST_F(LayoutFiles, SaveWithoutRootFailsAndKeepsTheFile)
{
    const std::string path = Path("kept.layout");
    std::ofstream(path) << "precious";
    EXPECT_FALSE(mgr.Save(path.c_str()));
    EXPECT_EQ(fs::file_size(path), 8u);
    mgr.SetRoot(MakeTree());
    EXPECT_FALSE(mgr.Save(Path("no/such/folder/x.layout").c_str()));
}

TEST_F(LayoutFiles, RevisePosInfoMovesLiveWindowsUnlessItIsTheLoadedFile)
{
    const std::string original = Path("original.layout");
    const std::string moved = Path("moved.layout");
    mgr.SetRoot(MakeTree());
    ASSERT_TRUE(mgr.Save(original.c_str()));
    mgr.GetRoot()->GetChild("a")->NormalAligned(KVQRect{100, 150, 120, 170});
    ASSERT_TRUE(mgr.Save(moved.c_str()));

    ASSERT_TRUE(mgr.Load(original.c_str()));
    CKVQWindow* a = mgr.GetRoot()->GetChild("a");
    mgr.RevisePosInfo(original.c_str());  // the loaded file itself: nothing
    EXPECT_EQ(a->GetRect().left, 10);
    mgr.RevisePosInfo(Path("missing.layout").c_str());
    EXPECT_EQ(a->GetRect().left, 10);
    mgr.RevisePosInfo(moved.c_str());
    EXPECT_EQ(mgr.GetRoot()->GetChild("a"), a);  // the same live window, moved
    EXPECT_EQ(a->GetRect().left, 100);
    EXPECT_EQ(a->GetRect().top, 120);
    // The remembered file stays the loaded one, so the moved file applies again.
    a->NormalAligned(KVQRect{0, 5, 0, 5});
    mgr.RevisePosInfo(moved.c_str());
    EXPECT_EQ(a->GetRect().left, 100);
}

TEST_F(Bookings, BookOnceBroadcastInOrderSkipDeleted)
{
    CKVQWindow* a = CKVQWindow::New();
    CKVQWindow* b = CKVQWindow::New();
    CKVQWindow* c = CKVQWindow::New();
    a->SetName("a");
    b->SetName("b");
    c->SetName("c");
    for (CKVQWindow* w : {a, b, c})
        w->AddRender(new Listener("OnAutoScale"));
    EXPECT_EQ(mgr.BookMessage("OnAutoScale", b), 1);
    EXPECT_EQ(mgr.BookMessage("OnAutoScale", a), 1);
    EXPECT_EQ(mgr.BookMessage("OnAutoScale", b), 0);
    EXPECT_EQ(mgr.BookMessage("OnAutoScale", c), 1);
    EXPECT_EQ(mgr.BookMessage("OnAutoScale", nullptr), 0);

    CKVQMessage message;
    int32_t value = 7;
    message.Int32(value);
    mgr.ProcessMessage("OnAutoScale", &message, a);
    EXPECT_EQ(heard, (std::vector<std::string>{"b:OnAutoScale:7<-a", "a:OnAutoScale:7<-a", "c:OnAutoScale:7<-a"}));

    heard.clear();
    EXPECT_EQ(mgr.UnBookMessage("OnAutoScale", b), 0);
    c->Delete();
    mgr.ProcessMessage("OnAutoScale", nullptr, nullptr);
    mgr.ProcessMessage("OnKVQPause", &message, nullptr);  // nobody booked it
    EXPECT_EQ(heard, (std::vector<std::string>{"a:OnAutoScale:0<-null"}));  // an empty message reads 0
    a->Delete();
    b->Delete();
}

}  // namespace
