#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/EngineString.h"
#include "io/EditHook.h"
#include "render/Rectangle.h"
#include "render/RenderRegistry.h"
#include "ui/Window.h"

namespace {

// A described object with one attribute of every settable kind.
struct Sample {
    int32_t count = 7;
    float ratio = 0.5f;
    int32_t shownAsBool = 0;
    int32_t flag = 0;
    int8_t small = -3;
    int16_t medium = -300;
    uint8_t byte = 200;
    uint16_t word = 60000;
    uint32_t big = 4000000000u;
    CKVQString text = "abc";
    uint32_t bits = 0;
    int32_t ints[3] = {1, 2, 3};
    float reals[2] = {1.5f, 2.5f};
};

uint32_t g_processWide = 0;

struct CallbackLog {
    std::vector<std::string> names;
    std::vector<int32_t> bits;
    std::vector<void*> objects;
};
CallbackLog g_log;

void Record(void* object, const char* fullName, int32_t bit)
{
    g_log.objects.push_back(object);
    g_log.names.push_back(fullName);
    g_log.bits.push_back(bit);
}

void Describe(CIEditHook& hook, Sample& s)
{
    hook.BeginGroup(&s, "Sample", ATTR_GROUP, "Copy|", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.Int32(&s.count, "count", ATTR_INT32, "", Record, &s, 0);
    hook.Float(&s.ratio, "%.2f", "ratio", ATTR_FLOAT, "0:1000:100", nullptr, nullptr, 0);
    hook.Int32AsBool(&s.shownAsBool, "shownAsBool", ATTR_INT32_BOOL, "", nullptr, nullptr, 0);
    hook.BoolAsInt32(&s.flag, "flag", ATTR_BOOL_INT32, "false|true|", nullptr, nullptr, 0);
    hook.Int8(&s.small, "small", ATTR_INT8, "", nullptr, nullptr, 0);
    hook.Int16(&s.medium, "medium", ATTR_INT16, "", nullptr, nullptr, 0);
    hook.UInt8(&s.byte, "byte", ATTR_UINT8, "", nullptr, nullptr, 0);
    hook.UInt16(&s.word, "word", ATTR_UINT16, "", nullptr, nullptr, 0);
    hook.UInt32(&s.big, "big", ATTR_UINT32, "", nullptr, nullptr, 0);
    hook.String(&s.text, "text", ATTR_STRING, "", nullptr, nullptr, 0);
    hook.BeginGroup(&s.bits, "Bits", ATTR_GROUP, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.Bit(&s.bits, 3, "three", ATTR_BIT, "false|true|", Record, &s, 0);
    hook.LeaveGroup();
    hook.Int32Array(s.ints, 3, "ints", ATTR_INT32_ARRAY, "", nullptr, nullptr, 0);
    hook.FloatArray(s.reals, "%.1f", 2, "reals", ATTR_FLOAT_ARRAY, "", nullptr, nullptr, 0);
    // Hidden from the table: a collapsed group with a nested group inside.
    hook.BeginGroup(nullptr, "Hidden", ATTR_GROUP, "", nullptr, nullptr, 0, true);
    hook.EnterGroup();
    hook.Int32(&s.count, "inside", ATTR_INT32, "", nullptr, nullptr, 0);
    hook.BeginGroup(nullptr, "Nested", ATTR_GROUP, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.Int32(&s.count, "deeper", ATTR_INT32, "", nullptr, nullptr, 0);
    hook.LeaveGroup();
    hook.LeaveGroup();
    hook.Action("Reset", ATTR_ACTION, "", nullptr, nullptr, 0);
    hook.UInt32(&g_processWide, "global", ATTR_UINT32, "", nullptr, nullptr, 0);
    hook.LeaveGroup();
}

class EditHookTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_log = CallbackLog{};
        table.SetObject(&first, sizeof first);
        Describe(table, first);
    }
    int32_t Ref(const char* leaf) const { return table.GetAttributeNameRef((std::string("Sample:") + leaf).c_str()); }
    std::string Get(const char* leaf) const { return table.GetAttribute(Ref(leaf)); }
    bool Set(const char* leaf, const char* text) { return table.SetAttribute(Ref(leaf), text); }

    CKVQEditHook table;
    Sample first;
};

TEST_F(EditHookTable, FullNamesFollowGroupsAndSkipCollapsedOnes)
{
    const std::vector<std::string> expected = {
        "Sample",        "Sample:count",  "Sample:ratio", "Sample:shownAsBool", "Sample:flag",
        "Sample:small",  "Sample:medium", "Sample:byte",  "Sample:word",        "Sample:big",
        "Sample:text",   "Sample:Bits",   "Sample:Bits:three", "Sample:ints",   "Sample:reals",
        "Sample:Reset",  "Sample:global",
    };
    EXPECT_EQ(table.FullNames(), expected);
    EXPECT_EQ(table.GetAttributeNameRef("Sample:Hidden:inside"), -1);
    EXPECT_EQ(table.GetAttributeNameRef("Sample:Nested:deeper"), -1);
    EXPECT_EQ(table.GetAttributeNameRef("Sample:Bits:three"), 12);
    EXPECT_EQ(table.GetAttributeNameRef(nullptr), -1);
    // Kinds come from the slot used, whatever kind the describer passed.
    EXPECT_EQ(table.GetKind(12), ATTR_BIT);
    EXPECT_EQ(table.GetKind(Ref("Reset")), ATTR_ACTION);
    EXPECT_EQ(table.GetKind(-1), ATTR_NONE);
    EXPECT_EQ(table.GetKind(table.GetCount()), ATTR_NONE);
}

TEST_F(EditHookTable, TextOfEachKind)
{
    EXPECT_EQ(Get("count"), "7");
    EXPECT_EQ(Get("ratio"), "0.50");
    EXPECT_EQ(Get("shownAsBool"), "false");
    EXPECT_EQ(Get("small"), "-3");
    EXPECT_EQ(Get("medium"), "-300");
    EXPECT_EQ(Get("byte"), "200");
    EXPECT_EQ(Get("word"), "60000");
    EXPECT_EQ(Get("big"), "4000000000");
    EXPECT_EQ(Get("text"), "abc");
    EXPECT_EQ(Get("Bits:three"), "false");
    EXPECT_EQ(Get("ints"), "1,2,3,");
    EXPECT_EQ(Get("reals"), "1.5,2.5,");
    EXPECT_EQ(Get("Reset"), "");
    EXPECT_EQ(table.GetAttribute(-1), "");
    EXPECT_EQ(table.GetAttribute(1000), "");

    // A format that is not one floating conversion would read the wrong argument: "%f" is used.
    CKVQEditHook unsafe;
    unsafe.SetObject(&first, sizeof first);
    unsafe.Float(&first.ratio, "%s%n", "ratio", ATTR_FLOAT, "", nullptr, nullptr, 0);
    EXPECT_EQ(unsafe.GetAttribute(0), "0.500000");
}

TEST_F(EditHookTable, ParsingStoresInTheAttributesWidth)
{
    EXPECT_TRUE(Set("count", "-42"));
    EXPECT_EQ(first.count, -42);
    EXPECT_TRUE(Set("ratio", "2.25"));
    EXPECT_FLOAT_EQ(first.ratio, 2.25f);
    EXPECT_TRUE(Set("shownAsBool", "5"));
    EXPECT_EQ(first.shownAsBool, 5);
    EXPECT_EQ(Get("shownAsBool"), "true");
    EXPECT_TRUE(Set("small", "300"));  // one byte: 300 & 0xff
    EXPECT_EQ(first.small, 44);
    EXPECT_TRUE(Set("word", "65537"));
    EXPECT_EQ(first.word, 1);
    EXPECT_TRUE(Set("big", "4294967295"));
    EXPECT_EQ(first.big, 4294967295u);
    EXPECT_TRUE(Set("text", "xyz"));
    EXPECT_STREQ(first.text.c_str(), "xyz");
}

TEST_F(EditHookTable, BooleansAcceptTrueUitrueAndOneOnly)
{
    EXPECT_TRUE(Set("flag", "uitrue"));
    EXPECT_EQ(first.flag, 1);
    EXPECT_TRUE(Set("flag", "yes"));
    EXPECT_EQ(first.flag, 0);
    EXPECT_TRUE(Set("flag", "1"));
    EXPECT_EQ(first.flag, 1);
    EXPECT_TRUE(Set("flag", "TRUE"));
    EXPECT_EQ(first.flag, 0);

    first.bits = 0xF0u;
    EXPECT_TRUE(Set("Bits:three", "true"));
    EXPECT_EQ(first.bits, 0xF8u);
    EXPECT_TRUE(Set("Bits:three", "false"));
    EXPECT_EQ(first.bits, 0xF0u);
}

TEST_F(EditHookTable, EmptyTextIsIgnoredExceptForStrings)
{
    EXPECT_FALSE(Set("count", ""));
    EXPECT_EQ(first.count, 7);
    EXPECT_TRUE(Set("text", ""));
    EXPECT_STREQ(first.text.c_str(), "");
    EXPECT_FALSE(Set("Reset", "1"));
    EXPECT_FALSE(table.SetAttribute(0, "1"));  // a group
    EXPECT_FALSE(table.SetAttribute(-1, "1"));
    EXPECT_FALSE(Set("count", nullptr));
}

TEST_F(EditHookTable, ArrayItemsAreStoredOnlyWhenTheirCommaIsReached)
{
    EXPECT_TRUE(Set("ints", "5,6"));
    EXPECT_EQ(first.ints[0], 5);
    EXPECT_EQ(first.ints[1], 2);
    EXPECT_TRUE(Set("ints", "7,8,9,10,11,"));  // at most the element count
    EXPECT_EQ(first.ints[0], 7);
    EXPECT_EQ(first.ints[2], 9);
    EXPECT_TRUE(Set("reals", "0.25,"));
    EXPECT_FLOAT_EQ(first.reals[0], 0.25f);
    EXPECT_FLOAT_EQ(first.reals[1], 2.5f);
}

TEST_F(EditHookTable, CallbackGetsObjectFullNameAndBit)
{
    EXPECT_TRUE(Set("count", "1"));
    EXPECT_TRUE(Set("Bits:three", "true"));
    ASSERT_EQ(g_log.names.size(), 2u);
    EXPECT_EQ(g_log.names[0], "Sample:count");
    EXPECT_EQ(g_log.bits[0], 0);
    EXPECT_EQ(g_log.names[1], "Sample:Bits:three");
    EXPECT_EQ(g_log.bits[1], 3);
    EXPECT_EQ(g_log.objects[1], &first);
    EXPECT_FALSE(Set("count", ""));  // nothing stored, no callback
    EXPECT_EQ(g_log.names.size(), 2u);
}

TEST_F(EditHookTable, OneTableServesEveryObjectOfTheLayout)
{
    Sample second;
    second.count = 99;
    table.SetObject(&second, sizeof second);
    EXPECT_EQ(Get("count"), "99");
    EXPECT_TRUE(Set("count", "3"));
    EXPECT_EQ(second.count, 3);
    EXPECT_EQ(first.count, 7);
    EXPECT_EQ(g_log.objects.back(), &second);  // the callback object follows the base
    EXPECT_EQ(table.GetAddress(Ref("count")), reinterpret_cast<uintptr_t>(&second.count));
    // Storage outside the object is process-wide and keeps its address.
    EXPECT_EQ(table.GetAddress(Ref("global")), reinterpret_cast<uintptr_t>(&g_processWide));
    EXPECT_EQ(table.GetAddress(Ref("Reset")), 0u);
    EXPECT_EQ(table.GetAddress(5000), 0u);
}

// ---- the window's table ----

class WindowAttributeTable : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (CKVQWindow* w : made)
            w->Delete();
        WindowModule::Get().ReleaseDeleted();
    }
    CKVQWindow* Make()
    {
        made.push_back(CKVQWindow::New());
        return made.back();
    }
    std::vector<CKVQWindow*> made;
};

TEST_F(WindowAttributeTable, FreshWindowIsVisibleByName)
{
    CKVQWindow* w = Make();
    int32_t ref = w->GetAttributeNameRef("CKVQWindow:Status:IsVisible");
    ASSERT_GE(ref, 0);
    EXPECT_EQ(w->GetAttribute(ref), "true");
    EXPECT_EQ(w->GetAttribute(w->GetAttributeNameRef("CKVQWindow:Attribute:addData")), "4294967295");
}

TEST_F(WindowAttributeTable, RenderListAndStatesNeverEnterTheTable)
{
    RegisterRenderClasses();
    CKVQWindow* w = Make();
    w->AddRender(CRenderObject_Rectangle::Create());
    w->ExecuteCommand("States", "AddState");
    for (const std::string& n : CKVQWindow::AttributeTable().FullNames()) {
        EXPECT_EQ(n.find("RenderLst"), std::string::npos) << n;
        EXPECT_EQ(n.find("States"), std::string::npos) << n;
    }
    EXPECT_EQ(w->GetAttributeNameRef("CKVQWindow:RenderLst:Rectangle:Rect:Base:Name"), -1);
    EXPECT_EQ(w->GetAttributeNameRef("CKVQWindow:RenderLst"), -1);
    EXPECT_GE(w->GetAttributeNameRef("CKVQWindow:Event:OnShow"), 0);  // what follows is still there
}

TEST_F(WindowAttributeTable, EventTriggersActOnTheWindowTheyWereSetOn)
{
    CKVQWindow* a = Make();
    CKVQWindow* b = Make();
    const uint32_t aStatus = a->Status;
    const int32_t ref = a->GetAttributeNameRef("CKVQWindow:Event:OnSetWidth");
    ASSERT_GE(ref, 0);
    EXPECT_TRUE(b->SetAttribute(ref, "120"));
    EXPECT_EQ(b->GetWidth(), 120);
    EXPECT_EQ(a->GetWidth(), 50);
    EXPECT_EQ(a->Status, aStatus);  // the trigger word is not inside any window
    EXPECT_EQ(WindowModule::Get().eventTrigger, 120u);

    WindowModule::Get().nParam1 = 0;
    EXPECT_TRUE(a->SetAttribute(a->GetAttributeNameRef("CKVQWindow:Event:nParam1"), "7"));
    EXPECT_TRUE(a->SetAttribute(a->GetAttributeNameRef("CKVQWindow:Event:nParam2"), "9"));
    EXPECT_TRUE(a->SetAttribute(a->GetAttributeNameRef("CKVQWindow:Event:OnSetPos"), "1"));
    EXPECT_EQ(a->GetPos(), (KVQPoint{7, 9}));
    EXPECT_EQ(b->GetPos(), (KVQPoint{20, 20}));

    EXPECT_TRUE(b->SetAttribute(b->GetAttributeNameRef("CKVQWindow:Event:OnHide"), "true"));
    EXPECT_FALSE(b->IsBitSet(STATUS_IsVisible));
    EXPECT_TRUE(a->IsBitSet(STATUS_IsVisible));

    CKVQWindow* child = CKVQWindow::New();
    a->AddChild(child);
    EXPECT_TRUE(child->SetAttribute(child->GetAttributeNameRef("CKVQWindow:Event:OnDeleteSelf"), "true"));
    EXPECT_TRUE(child->IsDeleted());
    EXPECT_EQ(a->GetChildCount(), 0);
    EXPECT_FALSE(a->IsDeleted());
    WindowModule::Get().eventTrigger = 0;
}

}  // namespace
