// Window class dictionaries: template windows read from window-list files, cloned by class name,
// and the process-wide cache of dictionaries by file name.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/RecordingDC.h"
#include "support/TempFiles.h"
#include "ui/Window.h"
#include "ui/WindowDic.h"

namespace {

class WindowDic : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder_.ok());
        previousDevice_ = SetCurrentDevice(&device_);
    }
    void TearDown() override
    {
        CKVQWindowDicMgr::Instance().Clear();
        for (CKVQWindow* window : made_) {
            if (!window->IsDeleted() && window->GetParent() == nullptr)
                window->Delete();
        }
        WindowModule::Get().ReleaseDeleted();
        SetCurrentDevice(previousDevice_);
    }
    CKVQWindow* Keep(CKVQWindow* window)
    {
        if (window)
            made_.push_back(window);
        return window;
    }
    // A window-list file of templates, each "name/className" with one child.
    std::string WriteDictionary(const std::string& fileName,
                                const std::vector<std::pair<std::string, std::string>>& templates)
    {
        CKVQWindow* holder = Keep(CKVQWindow::New());
        for (const auto& [name, className] : templates) {
            CKVQWindow* t = CKVQWindow::New();
            t->SetName(name.c_str());
            t->SetClassName(className.c_str());
            CKVQWindow* part = CKVQWindow::New();
            part->SetName("part");
            t->AppendChild(part);
            holder->AppendChild(t);
        }
        std::string path = folder_ / fileName;
        EXPECT_TRUE(holder->SaveChildsToFile(path.c_str()));
        return path;
    }
    static std::vector<std::string> TemplateNames(const CKVQWindowDic& dic)
    {
        std::vector<std::string> names;
        for (const CKVQWindow* t : dic.Templates())
            names.emplace_back(t->GetName());
        return names;
    }

    TempFolder folder_;
    RecordingDC device_;
    CKVQDC* previousDevice_ = nullptr;
    std::vector<CKVQWindow*> made_;
};

TEST_F(WindowDic, ClonesAreNewWindowsWithTheTemplatesContent)
{
    std::string path = WriteDictionary("items.wnd", {{"button", "Button"}, {"label", "Label"}});
    CKVQWindowDic dic;
    ASSERT_TRUE(dic.Load(path.c_str()));
    EXPECT_STREQ(dic.GetName(), path.c_str());
    const CKVQWindow* button = dic.Templates()[0];

    CKVQWindow* first = Keep(dic.CloneClass("Button"));
    CKVQWindow* second = Keep(dic.CloneClass("Button"));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_NE(first->GetWindowHandle(), second->GetWindowHandle());
    EXPECT_NE(first->GetWindowHandle(), button->GetWindowHandle());
    EXPECT_STREQ(first->GetName(), "button");
    EXPECT_EQ(first->GetParent(), nullptr);
    ASSERT_EQ(first->GetChildCount(), 1);
    EXPECT_NE(first->GetFirstChild(), button->GetFirstChild());
    EXPECT_EQ(dic.Templates().size(), 2u);  // cloning leaves the templates in place

    EXPECT_EQ(dic.CloneClass("Missing"), nullptr);
    EXPECT_EQ(dic.CloneClass(nullptr), nullptr);
}

TEST_F(WindowDic, ManagerLoadsEachFileOnce)
{
    std::string path = WriteDictionary("once.wnd", {{"row", "Row"}});
    CKVQWindowDicMgr& manager = CKVQWindowDicMgr::Instance();
    CKVQWindow* first = Keep(manager.CloneClass((path + ":Row").c_str()));
    ASSERT_NE(first, nullptr);
    CKVQWindowDic* dic = manager.GetDicByName(path.c_str());
    ASSERT_NE(dic, nullptr);

    // The file changes on disk; the cached dictionary still answers.
    WriteDictionary("once.wnd", {{"other", "Other"}});
    CKVQWindow* second = Keep(manager.CloneClass((path + ":Row").c_str()));
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(second->GetName(), "row");
    EXPECT_EQ(manager.GetDicByName(path.c_str()), dic);
    EXPECT_EQ(manager.CloneClass((path + ":Other").c_str()), nullptr);
}

TEST_F(WindowDic, ManagerFailuresLeaveTheCacheAlone)
{
    CKVQWindowDicMgr& manager = CKVQWindowDicMgr::Instance();
    std::string missing = folder_ / "missing.wnd";
    EXPECT_EQ(manager.GetDicByName(missing.c_str()), nullptr);
    EXPECT_EQ(manager.CloneClass((missing + ":Row").c_str()), nullptr);
    EXPECT_EQ(manager.CloneClass("no colon at all"), nullptr);

    // Once the file exists, the earlier miss is not remembered.
    WriteDictionary("missing.wnd", {{"row", "Row"}});
    EXPECT_NE(Keep(manager.CloneClass((missing + ":Row").c_str())), nullptr);
}

TEST_F(WindowDic, SaveAndLoadKeepTheTemplatesInOrder)
{
    std::string path = WriteDictionary("order.wnd", {{"c", "C"}, {"a", "A"}, {"b", "B"}});
    CKVQWindowDic dic;
    ASSERT_TRUE(dic.Load(path.c_str()));
    std::string copy = folder_ / "copy.wnd";
    ASSERT_TRUE(dic.Save(copy.c_str()));
    EXPECT_EQ(ReadFileBytes(copy), ReadFileBytes(path));

    CKVQWindowDic again;
    ASSERT_TRUE(again.Load(copy.c_str()));
    EXPECT_EQ(TemplateNames(again), (std::vector<std::string>{"c", "a", "b"}));
    ASSERT_TRUE(WriteFile(folder_ / "plain.txt", std::string("not a folder")));
    EXPECT_FALSE(again.Save((folder_ / "plain.txt/x.wnd").c_str()));
}

TEST_F(WindowDic, LoadReplacesAndDeletesTheOldTemplates)
{
    std::string one = WriteDictionary("one.wnd", {{"first", "Shared"}, {"second", "Shared"}});
    std::string two = WriteDictionary("two.wnd", {{"third", "Third"}});
    CKVQWindowDic dic;
    ASSERT_TRUE(dic.Load(one.c_str()));
    // Of two templates with one class name, the first is the one cloned.
    CKVQWindow* shared = Keep(dic.CloneClass("Shared"));
    ASSERT_NE(shared, nullptr);
    EXPECT_STREQ(shared->GetName(), "first");

    uint32_t oldHandle = dic.Templates()[0]->GetWindowHandle();
    ASSERT_TRUE(dic.Load(two.c_str()));
    EXPECT_EQ(TemplateNames(dic), (std::vector<std::string>{"third"}));
    EXPECT_EQ(dic.CloneClass("Shared"), nullptr);
    EXPECT_EQ(CKVQWindow::FromHandle(oldHandle), nullptr);

    // A file that cannot be opened changes nothing.
    EXPECT_FALSE(dic.Load((folder_ / "absent.wnd").c_str()));
    EXPECT_EQ(TemplateNames(dic), (std::vector<std::string>{"third"}));
    EXPECT_STREQ(dic.GetName(), two.c_str());
}

TEST_F(WindowDic, TemplateDeletedThroughItsHandleIsNoLongerCloned)
{
    std::string path = WriteDictionary("gone.wnd", {{"button", "Button"}, {"label", "Label"}});
    {
        CKVQWindowDic dic;
        ASSERT_TRUE(dic.Load(path.c_str()));
        const uint32_t handle = dic.Templates()[0]->GetWindowHandle();
        CKVQWindow::FromHandle(handle)->Delete();
        WindowModule::Get().ReleaseDeleted();
        // The released window goes back to the pool and may come out again as another window.
        CKVQWindow* reused = Keep(CKVQWindow::New());
        reused->SetClassName("Reused");

        EXPECT_EQ(dic.CloneClass("Button"), nullptr);
        EXPECT_EQ(dic.Templates().size(), 1u);
        CKVQWindow* label = Keep(dic.CloneClass("Label"));
        ASSERT_NE(label, nullptr);
        EXPECT_STREQ(label->GetName(), "label");
    }  // the dictionary deletes the template it still has, and nothing else
    EXPECT_FALSE(made_.back()->IsDeleted());
    EXPECT_FALSE(made_[made_.size() - 2]->IsDeleted());
}

}  // namespace
