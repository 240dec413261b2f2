// Windows in layout records: the exact bytes of a window record, round trips of whole trees with
// states and render objects, unknown render-object classes, damaged and hostile input, window-list
// files and clones.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "io/EditHook.h"
#include "io/RecordBlock.h"
#include "render/Line.h"
#include "render/OpaqueRender.h"
#include "render/Rectangle.h"
#include "render/Render.h"
#include "render/RenderRegistry.h"
#include "support/Bytes.h"
#include "support/RecordingDC.h"
#include "support/TempFiles.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

// A class the registry never hears of: its entries are what an older engine finds in a newer
// layout. Its record has a field of its own, so skipping must go by the block length.
class UnregisteredObject : public IRender {
public:
    const char* GetClassName() const override { return "TestUnregistered"; }
    void TransferRecord(CIArchive& ar) override { ar.Int32(payload, "payload"); }
    void Describe(CIEditHook& hook) override
    {
        hook.BeginGroup(this, "TestUnregistered", ATTR_GROUP, "", nullptr, nullptr, 0, false);
        hook.EnterGroup();
        DescribeBase(hook);
        hook.LeaveGroup();
    }
    CKVQEditHook& AttributeTable() const override
    {
        static CKVQEditHook table;
        return table;
    }
    size_t ObjectSize() const override { return sizeof(UnregisteredObject); }
    int32_t payload = 0x11223344;
};

// A registered class that counts the "OnLoad" messages it is offered.
int loadMessages = 0;

class LoadCounter : public IRender {
public:
    LoadCounter()
    {
        RegisterHandler("OnLoad", [](IRender*, const char*, CKVQWindow*, CKVQMessage*, CKVQWindow*) {
            ++loadMessages;
        });
    }
    const char* GetClassName() const override { return "TestLoadCounter"; }
    void Describe(CIEditHook& hook) override
    {
        hook.BeginGroup(this, "TestLoadCounter", ATTR_GROUP, "", nullptr, nullptr, 0, false);
        hook.EnterGroup();
        DescribeBase(hook);
        hook.LeaveGroup();
    }
    CKVQEditHook& AttributeTable() const override
    {
        static CKVQEditHook table;
        return table;
    }
    size_t ObjectSize() const override { return sizeof(LoadCounter); }
    static IRender* Create() { return new LoadCounter; }
};

std::vector<uint8_t> BlockOf(CKVQWindow& window)
{
    CKVQMessage out(CKVQMessage::kWindowCapacity);
    window.WriteBlock(out);
    return BytesOf(out);
}

// Reads a window block from bytes (a copy, so the test's bytes are not the stream's), as a
// window at the given depth.
CKVQWindow* ReadBlockFrom(const std::vector<uint8_t>& bytes, int32_t* error = nullptr, int32_t depth = 0)
{
    CKVQMessage in(static_cast<int32_t>(bytes.size()));
    if (!bytes.empty())
        in.Bytes(const_cast<uint8_t*>(bytes.data()), static_cast<int32_t>(bytes.size()));
    in.setMode(CIArchive::SM_READ);
    CKVQWindow* window = CKVQWindow::ReadBlock(in, depth);
    if (error)
        *error = in.GetError();
    return window;
}

void PutInt32(std::vector<uint8_t>& bytes, size_t at, int32_t value)
{
    std::memcpy(bytes.data() + at, &value, 4);
}

std::vector<std::string> ClassesOf(const std::vector<IRender*>& list)
{
    std::vector<std::string> names;
    for (const IRender* object : list)
        names.emplace_back(object->GetClassName());
    return names;
}

std::vector<std::string> ChildNames(const CKVQWindow& window)
{
    std::vector<std::string> names;
    for (CKVQWindow* c = window.GetFirstChild(); c; c = c->GetNextSibling())
        names.emplace_back(c->GetName());
    return names;
}

class WindowSerial : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterRenderClasses();
        if (!CRenderRegistry::Instance().IsRegistered("TestLoadCounter"))
            CRenderRegistry::Instance().Register("TestLoadCounter", &LoadCounter::Create);
        previousDevice_ = SetCurrentDevice(&device_);
    }
    void TearDown() override
    {
        SetKeepUnknownRenderObjects(false);
        for (CKVQWindow* window : made_) {
            if (!window->IsDeleted() && window->GetParent() == nullptr)
                window->Delete();
        }
        WindowModule::Get().ReleaseDeleted();
        SetCurrentDevice(previousDevice_);
    }
    // A window deleted at the end of the test (with its subtree).
    CKVQWindow* Keep(CKVQWindow* window)
    {
        if (window)
            made_.push_back(window);
        return window;
    }
    CKVQWindow* Make(const char* name, CKVQWindow* parent = nullptr)
    {
        CKVQWindow* window = CKVQWindow::New();
        window->SetName(name);
        if (parent)
            parent->AppendChild(window);
        else
            made_.push_back(window);
        return window;
    }
    CKVQWindow* Chain(int32_t levels)
    {
        CKVQWindow* root = Make("level0");
        CKVQWindow* at = root;
        for (int32_t i = 1; i < levels; ++i)
            at = Make(("level" + std::to_string(i)).c_str(), at);
        return root;
    }

    RecordingDC device_;
    CKVQDC* previousDevice_ = nullptr;
    std::vector<CKVQWindow*> made_;
};

TEST_F(WindowSerial, NamedWindowIsA107ByteRecordInA115ByteBlock)
{
    CKVQWindow* window = Make("a");
    window->SetClassName("b");
    const std::vector<uint8_t> record = Bytes({
        0x02,                                                        // version
        2, 0, 0, 0, 2, 0, 0, 0, 'a', 0,                              // name
        2, 0, 0, 0, 2, 0, 0, 0, 'b', 0,                              // class name
        1, 0, 0, 0,                                                  // status: visible
        0, 0xff,                                                     // current and old state
        0, 0, 0, 0, 0, 0, 0, 0,                                      // clip offset
        0xff, 0xff, 0xff, 0xff,                                      // user number
        0, 0, 0, 0,                                                  // render objects
        0, 0, 0, 0, 20, 0, 0, 0, 70, 0, 0, 0, 20, 0, 0, 0, 70, 0, 0, 0,  // layout
        0, 0, 0, 0, 0, 0, 0, 0,                                      // extension origin
        0, 0, 0, 0,                                                  // children
        0, 0, 0, 0, 0, 0, 0, 0,                                      // extension size
        0, 0, 0, 0,                                                  // states
        2, 0, 0, 0,                                                  // hot alignment
        0, 0, 0, 0, 0, 0, 0, 0,                                      // hot offset
        0, 0, 0, 0, 0, 0, 0, 0,                                      // layer, maximum layer
    });
    ASSERT_EQ(record.size(), 107u);

    CKVQMessage direct(CKVQMessage::kWindowCapacity);
    window->Serialize(direct);
    EXPECT_EQ(BytesOf(direct), record);

    std::vector<uint8_t> block = BlockOf(*window);
    ASSERT_EQ(block.size(), 115u);
    EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 8), Bytes({107, 0, 0, 0, 107, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(block.begin() + 8, block.end()), record);

    // A block nested in a memory stream is written in place: the same bytes.
    CKVQMessage outer(CKVQMessage::kWindowCapacity);
    int32_t marker = 7;
    outer.Int32(marker);
    window->WriteBlock(outer);
    std::vector<uint8_t> nested = BytesOf(outer);
    EXPECT_EQ(std::vector<uint8_t>(nested.begin() + 4, nested.end()), block);
}

TEST_F(WindowSerial, NotSerialChildRecordHasNoChildCountAndLoadsNoChildren)
{
    CKVQWindow* window = Make("a");
    window->SetClassName("b");
    Make("kept out", window);
    window->SetBit(STATUS_IsNotSerialChild);

    std::vector<uint8_t> block = BlockOf(*window);
    EXPECT_EQ(block.size(), 111u);  // the four bytes of the child count are absent

    CKVQWindow* loaded = Keep(ReadBlockFrom(block));
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(loaded->IsBitSet(STATUS_IsNotSerialChild));
    EXPECT_EQ(loaded->GetChildCount(), 0);
    // The fields after the missing count are where they belong.
    EXPECT_EQ(loaded->nHotAlign, ALIGN_CENTER);
    EXPECT_EQ(BlockOf(*loaded), block);

    CKVQWindow* clone = Keep(window->Clone());
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->GetChildCount(), 0);
    EXPECT_EQ(window->GetChildCount(), 1);
}

// ---- generated trees ----

void FillColor(std::mt19937& rng, RGBA& c)
{
    c = RGBA{static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
             static_cast<uint8_t>(rng())};
}

IRender* RandomObject(std::mt19937& rng)
{
    IRender* object;
    if (rng() % 2) {
        auto* r = new CRenderObject_Rectangle;
        r->IsFill = static_cast<int32_t>(rng() % 2);
        r->IsDrawFrame = static_cast<int32_t>(rng() % 2);
        r->nFrameWidth = static_cast<int32_t>(rng() % 9);
        FillColor(rng, r->FillColor);
        FillColor(rng, r->TopColor);
        FillColor(rng, r->BottomColor);
        object = r;
    } else {
        auto* l = new CRenderObject_Line;
        l->nLineType = static_cast<int32_t>(rng() % 4);
        l->nLineWidth = static_cast<int32_t>(rng() % 5);
        FillColor(rng, l->LineColor);
        object = l;
    }
    object->Name = ("obj" + std::to_string(rng() % 100)).c_str();
    object->BlendMode = static_cast<int32_t>(rng() % 10);
    object->IsVisible = static_cast<int32_t>(rng() % 2);
    object->Layout.Left = static_cast<int32_t>(rng() % 200) - 100;
    object->Layout.RightSide = static_cast<uint8_t>(rng() % 3);
    return object;
}

CKVQWindow* RandomTree(std::mt19937& rng, int depth, int& budget)
{
    CKVQWindow* w = CKVQWindow::New();
    --budget;
    w->SetName(("w" + std::to_string(rng() % 1000)).c_str());
    w->SetClassName(rng() % 3 ? "" : "Item");
    // Random bits, except the cache bit (a clone recomputes its rectangle and clears it).
    w->Status = static_cast<uint32_t>(rng()) & ~(1u << STATUS_IsNotSerialChild) & ~(1u << STATUS_IsNotDirty);
    if (rng() % 8 == 0)
        w->Status |= 1u << STATUS_IsNotSerialChild;
    w->curState = static_cast<int8_t>(rng() % 3);
    w->oldState = static_cast<uint8_t>(rng());
    for (uint16_t& inset : w->ClipOffset)
        inset = static_cast<uint16_t>(rng());
    w->addData = static_cast<uint32_t>(rng());
    w->Layout = LayoutRect{static_cast<uint8_t>(rng() % 3), static_cast<uint8_t>(rng() % 3),
                           static_cast<uint8_t>(rng() % 3), static_cast<uint8_t>(rng() % 3),
                           static_cast<int32_t>(rng() % 300), static_cast<int32_t>(rng() % 300),
                           -static_cast<int32_t>(rng() % 300), static_cast<int32_t>(rng() % 300)};
    w->nExtX = static_cast<int32_t>(rng() % 50);
    w->nExtH = -static_cast<int32_t>(rng() % 50);
    w->nHotAlign = static_cast<int32_t>(rng() % 4);
    w->HotOffset = KVQPoint{static_cast<int32_t>(rng() % 9), -3};
    w->nLayer = static_cast<int32_t>(rng() % 4);
    w->nMaxLayer = static_cast<int32_t>(rng() % 4);
    for (uint32_t i = rng() % 4; i > 0; --i)
        w->AddRender(RandomObject(rng));
    for (uint32_t s = rng() % 3; s > 0; --s) {
        WindowState state;
        state.name = ("State" + std::to_string(s)).c_str();
        for (uint32_t i = rng() % 3; i > 0; --i)
            state.renders.push_back(RandomObject(rng));
        w->States().push_back(std::move(state));
    }
    if (depth > 0) {
        for (uint32_t i = rng() % 4; i > 0 && budget > 0; --i)
            w->AppendChild(RandomTree(rng, depth - 1, budget));
    }
    return w;
}

// The loaded tree has the original's shape, its objects are owned as loading promises, and its
// windows are new ones.
void ExpectSameTree(const CKVQWindow& original, const CKVQWindow& loaded, CKVQWindow* parent)
{
    EXPECT_NE(&original, &loaded);
    EXPECT_NE(original.GetWindowHandle(), loaded.GetWindowHandle());
    EXPECT_EQ(loaded.GetParent(), parent);
    EXPECT_STREQ(loaded.GetName(), original.GetName());
    EXPECT_EQ(loaded.Status, original.Status);
    EXPECT_EQ(loaded.Layout, original.Layout);
    EXPECT_EQ(ClassesOf(loaded.RenderLst()), ClassesOf(original.RenderLst()));
    for (const IRender* object : loaded.RenderLst())
        EXPECT_EQ(object->GetOwner(), &loaded);
    ASSERT_EQ(loaded.States().size(), original.States().size());
    for (size_t s = 0; s < loaded.States().size(); ++s) {
        EXPECT_EQ(loaded.States()[s].name, original.States()[s].name);
        EXPECT_EQ(ClassesOf(loaded.States()[s].renders), ClassesOf(original.States()[s].renders));
        for (const IRender* object : loaded.States()[s].renders)
            EXPECT_EQ(object->GetOwner(), nullptr);
    }
    if (original.IsBitSet(STATUS_IsNotSerialChild)) {
        EXPECT_EQ(loaded.GetChildCount(), 0);
        return;
    }
    ASSERT_EQ(ChildNames(loaded), ChildNames(original));
    const CKVQWindow* a = original.GetFirstChild();
    const CKVQWindow* b = loaded.GetFirstChild();
    for (; a && b; a = a->GetNextSibling(), b = b->GetNextSibling())
        ExpectSameTree(*a, *b, const_cast<CKVQWindow*>(&loaded));
}

TEST_F(WindowSerial, GeneratedTreesRoundTripByteForByte)
{
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        int budget = 60;
        CKVQWindow* tree = Keep(RandomTree(rng, 4, budget));
        tree->Status &= ~(1u << STATUS_IsNotSerialChild);  // keep every tree's top level

        std::vector<uint8_t> first = BlockOf(*tree);
        CKVQWindow* loaded = Keep(ReadBlockFrom(first));
        ASSERT_NE(loaded, nullptr);
        ExpectSameTree(*tree, *loaded, nullptr);
        EXPECT_EQ(BlockOf(*loaded), first);

        // A clone is the same record in a new window.
        CKVQWindow* clone = Keep(tree->Clone());
        ASSERT_NE(clone, nullptr);
        ExpectSameTree(*tree, *clone, nullptr);
    }
}

TEST_F(WindowSerial, CloneComputesItsOwnRectangle)
{
    CKVQWindow* window = Make("source");
    window->Layout = LayoutRect{0, 0, 0, 0, 5, 45, 10, 30};
    window->SetDirty();
    ASSERT_EQ(window->GetRect(), (KVQRect{5, 45, 10, 30}));  // cached now
    ASSERT_TRUE(window->IsBitSet(STATUS_IsNotDirty));

    CKVQWindow* clone = Keep(window->Clone());
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->GetRect(), (KVQRect{5, 45, 10, 30}));
    EXPECT_EQ(clone->GetParent(), nullptr);
}

TEST_F(WindowSerial, UnknownClassIsSkippedByItsLengthAndTheRestLoads)
{
    CKVQWindow* window = Make("holder");
    window->AddRender(new CRenderObject_Rectangle);
    auto* unknown = new UnregisteredObject;
    unknown->Name = "mystery";
    window->AddRender(unknown);
    window->AddRender(new CRenderObject_Line);
    Make("after", window);
    window->nMaxLayer = 6;
    std::vector<uint8_t> block = BlockOf(*window);

    int32_t error = -1;
    CKVQWindow* loaded = Keep(ReadBlockFrom(block, &error));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(ClassesOf(loaded->RenderLst()), (std::vector<std::string>{"Rectangle", "Line"}));
    EXPECT_EQ(ChildNames(*loaded), (std::vector<std::string>{"after"}));
    EXPECT_EQ(loaded->nMaxLayer, 6);

    // With the tools' switch on, the entry is kept as its bytes and written back unchanged.
    SetKeepUnknownRenderObjects(true);
    CKVQWindow* kept = Keep(ReadBlockFrom(block));
    ASSERT_NE(kept, nullptr);
    ASSERT_EQ(ClassesOf(kept->RenderLst()), (std::vector<std::string>{"Rectangle", "TestUnregistered", "Line"}));
    EXPECT_EQ(kept->GetRender("mystery"), kept->RenderLst()[1]);  // its base record was read
    EXPECT_EQ(BlockOf(*kept), block);
}

// ---- damaged and hostile input ----

// Offsets inside the block of a window named "a" of class "b".
constexpr size_t kRenderCountAt = 8 + 39;
constexpr size_t kChildCountAt = 8 + 39 + 4 + 20 + 8;

TEST_F(WindowSerial, HostileCountsLoadWhatTheStreamHolds)
{
    CKVQWindow* window = Make("a");
    window->SetClassName("b");
    std::vector<uint8_t> block = BlockOf(*window);

    for (int32_t count : {0x7fffffff, -1, 1000}) {
        SCOPED_TRACE(count);
        std::vector<uint8_t> bad = block;
        PutInt32(bad, kRenderCountAt, count);
        CKVQWindow* loaded = Keep(ReadBlockFrom(bad));
        ASSERT_NE(loaded, nullptr);
        EXPECT_TRUE(loaded->RenderLst().empty());
        EXPECT_EQ(loaded->GetChildCount(), 0);

        // The 40 bytes after the child count hold at most five blocks (empty ones make windows).
        bad = block;
        PutInt32(bad, kChildCountAt, count);
        loaded = Keep(ReadBlockFrom(bad));
        ASSERT_NE(loaded, nullptr);
        EXPECT_LE(loaded->GetChildCount(), 5);
        EXPECT_STREQ(loaded->GetName(), "a");
    }
    // A negative count is an empty list: the fields after it still load.
    std::vector<uint8_t> negative = block;
    PutInt32(negative, kChildCountAt, -5);
    CKVQWindow* loaded = Keep(ReadBlockFrom(negative));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->nHotAlign, ALIGN_CENTER);
}

TEST_F(WindowSerial, HostileBlockLengthsFailWithoutAWindow)
{
    CKVQWindow* window = Make("a");
    window->SetClassName("b");
    Make("child", window);
    std::vector<uint8_t> block = BlockOf(*window);
    const size_t refusedBefore = WindowModule::Get().deletedThisFrame.size();

    for (int32_t length : {-1, 0x7fffffff, CIArchive::kMaxBlockLength, 1000}) {
        SCOPED_TRACE(length);
        std::vector<uint8_t> bad = block;
        PutInt32(bad, 0, length);
        PutInt32(bad, 4, length);
        int32_t error = 0;
        EXPECT_EQ(ReadBlockFrom(bad, &error), nullptr);
        EXPECT_NE(error, 0);

        // The child's block is damaged: the parent keeps what came before it and its record is
        // counted as damaged; the enclosing stream is intact.
        bad = block;
        PutInt32(bad, kChildCountAt + 4, length);
        const int64_t damagedBefore = record_block::damagedRecords;
        CKVQWindow* loaded = Keep(ReadBlockFrom(bad, &error));
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(loaded->GetChildCount(), 0);
        EXPECT_STREQ(loaded->GetName(), "a");
        EXPECT_EQ(error, 0);
        EXPECT_EQ(record_block::damagedRecords, damagedBefore + 1);
    }
    // The windows made for refused blocks were handed back for release.
    EXPECT_GT(WindowModule::Get().deletedThisFrame.size(), refusedBefore);
}

TEST_F(WindowSerial, EveryTruncationLoadsAPrefixOrNothing)
{
    std::mt19937 rng(99);
    int budget = 12;
    CKVQWindow* tree = Keep(RandomTree(rng, 3, budget));
    tree->Status &= ~(1u << STATUS_IsNotSerialChild);
    std::vector<uint8_t> block = BlockOf(*tree);
    for (size_t cut = 0; cut < block.size(); ++cut) {
        std::vector<uint8_t> part(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(cut));
        // A block cut short is refused as a whole: its length promises more than the stream holds.
        EXPECT_EQ(ReadBlockFrom(part), nullptr) << "cut at " << cut;
    }
    WindowModule::Get().ReleaseDeleted();

    // Inside an intact block, a record that ends early loads its beginning.
    std::vector<uint8_t> shortRecord(block.begin(), block.begin() + 8 + 30);
    PutInt32(shortRecord, 0, 30);
    PutInt32(shortRecord, 4, 30);
    CKVQWindow* partial = Keep(ReadBlockFrom(shortRecord));
    ASSERT_NE(partial, nullptr);
    EXPECT_STREQ(partial->GetName(), tree->GetName());
    EXPECT_EQ(partial->GetChildCount(), 0);
}

TEST_F(WindowSerial, NestingBeyondTheLimitIsRefusedAndTheRestLoads)
{
    // The deepest chain a tree can hold, read as if its root sat three levels down.
    const int32_t levels = CKVQWindow::kMaxNestingDepth;
    CKVQWindow* root = Chain(levels);
    Make("sibling after the chain", root);
    root->nMaxLayer = 9;
    std::vector<uint8_t> block = BlockOf(*root);

    int32_t error = -1;
    const int64_t skippedBefore = record_block::skippedRecords;
    CKVQWindow* loaded = Keep(ReadBlockFrom(block, &error, 3));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(record_block::skippedRecords, skippedBefore + 1);
    EXPECT_EQ(loaded->nMaxLayer, 9);
    EXPECT_EQ(ChildNames(*loaded), (std::vector<std::string>{"level1", "sibling after the chain"}));
    int32_t depth = 1;
    for (CKVQWindow* at = loaded->GetFirstChild(); at; at = at->GetFirstChild())
        ++depth;
    EXPECT_EQ(depth, CKVQWindow::kMaxNestingDepth - 3);
}

TEST_F(WindowSerial, ChildListFileLoadedDeepInTheTreeStopsAtTheNestingLimit)
{
    TempFolder folder;
    ASSERT_TRUE(folder.ok());
    CKVQWindow* source = Make("source");
    Chain(10);
    CKVQWindow* file = made_.back();
    made_.pop_back();
    source->AppendChild(file);
    ASSERT_EQ(file->GetParent(), source);
    const std::string path = folder / "chain.wnd";
    ASSERT_TRUE(source->SaveChildsToFile(path.c_str()));

    // A window five levels above the limit takes the file's first five levels only.
    CKVQWindow* tree = Chain(CKVQWindow::kMaxNestingDepth - 5);
    CKVQWindow* target = tree;
    while (target->GetFirstChild())
        target = target->GetFirstChild();
    ASSERT_EQ(target->GetDepth(), CKVQWindow::kMaxNestingDepth - 6);
    WndArray array;
    ASSERT_TRUE(target->LoadChildsFromFile(path.c_str(), &array));
    ASSERT_EQ(array.Size(), 1);
    CKVQWindow* deepest = array.Get(0).value();
    EXPECT_EQ(deepest->GetParent(), target);
    EXPECT_STREQ(deepest->GetName(), "level0");
    while (deepest->GetFirstChild())
        deepest = deepest->GetFirstChild();
    EXPECT_STREQ(deepest->GetName(), "level4");
    EXPECT_EQ(deepest->GetDepth(), CKVQWindow::kMaxNestingDepth - 1);
    EXPECT_EQ(deepest->GetRect().Width(), 50);  // resolved through every level
}

// ---- window-list files ----

TEST_F(WindowSerial, ChildListFileRoundTripsInOrderAndLoadsOnce)
{
    TempFolder folder;
    ASSERT_TRUE(folder.ok());
    CKVQWindow* source = Make("source");
    for (const char* name : {"first", "second", "third"}) {
        CKVQWindow* child = Make(name, source);
        child->AddRender(new LoadCounter);
    }
    const std::string path = folder / "list.wnd";
    ASSERT_TRUE(source->SaveChildsToFile(path.c_str()));
    std::vector<uint8_t> file = ReadFileBytes(path);
    ASSERT_GE(file.size(), 4u);
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 4), Bytes({3, 0, 0, 0}));

    CKVQWindow* target = Make("target");
    Make("existing", target);
    WndArray array;
    loadMessages = 0;
    ASSERT_TRUE(target->LoadChildsFromFile(path.c_str(), &array));
    EXPECT_EQ(ChildNames(*target), (std::vector<std::string>{"existing", "first", "second", "third"}));
    ASSERT_EQ(array.Size(), 3);
    EXPECT_EQ(array.Get(0).value(), target->GetChildByIndex(1));
    EXPECT_EQ(loadMessages, 3);  // each loaded child's objects had "OnLoad", once

    // The same file as an array of windows without a parent.
    WndArray loose;
    ASSERT_TRUE(loose.load(path.c_str()));
    ASSERT_EQ(loose.Size(), 3);
    for (int32_t i = 0; i < loose.Size(); ++i) {
        CKVQWindow* window = Keep(loose.Get(i).value());
        EXPECT_EQ(window->GetParent(), nullptr);
    }
    EXPECT_STREQ(loose.Get(2).value()->GetName(), "third");
}

TEST_F(WindowSerial, ChildListFileFailuresAreReported)
{
    TempFolder folder;
    ASSERT_TRUE(folder.ok());
    CKVQWindow* window = Make("w");
    Make("child", window);

    EXPECT_FALSE(window->LoadChildsFromFile((folder / "absent.wnd").c_str()));
    WndArray array;
    EXPECT_FALSE(array.load((folder / "absent.wnd").c_str()));
    ASSERT_TRUE(WriteFile(folder / "plain.txt", std::string("not a folder")));
    EXPECT_FALSE(window->SaveChildsToFile((folder / "plain.txt/list.wnd").c_str()));

    // A window that keeps its children out of records writes an empty file, which loads nothing.
    window->SetBit(STATUS_IsNotSerialChild);
    const std::string empty = folder / "empty.wnd";
    ASSERT_TRUE(window->SaveChildsToFile(empty.c_str()));
    EXPECT_TRUE(ReadFileBytes(empty).empty());
    CKVQWindow* target = Make("target");
    EXPECT_FALSE(target->LoadChildsFromFile(empty.c_str()));
    EXPECT_EQ(target->GetChildCount(), 0);
}

// ---- the list and block helpers ----

TEST(RecordList, CountIsBoundedByTheStream)
{
    CKVQMessage m;
    int32_t hostile = 0x7fffffff;
    m.Int32(hostile);
    int32_t filler = 0;
    for (int i = 0; i < 5; ++i)
        m.Int32(filler);
    m.setMode(CIArchive::SM_READ);
    int32_t count = 0;
    int32_t calls = 0;
    int32_t done = TransferList(m, "items", count, 8, [&](int32_t) {
        ++calls;
        int32_t v = 0;
        m.Int32(v);
        m.Int32(v);
        return true;
    });
    EXPECT_EQ(count, 2);  // 20 bytes left hold at most two items of 8 bytes
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(done, 2);
}

TEST(RecordBlock, NestedBlocksWrittenInPlaceMatchSeparateMessages)
{
    auto record = [](CIArchive& ar, int32_t depth, auto& self) -> void {
        int32_t value = depth * 11;
        ar.Int32(value);
        if (depth < 3)
            TransferBlock(ar, "inner", 16, [&](CIArchive& inner) { self(inner, depth + 1, self); });
    };
    CKVQMessage inPlace;
    TransferBlock(inPlace, "outer", 16, [&](CIArchive& ar) { record(ar, 0, record); });

    // The same blocks built the plain way: each record in a message of its own.
    std::vector<uint8_t> expected;
    for (int depth = 3; depth >= 0; --depth) {
        std::vector<uint8_t> body;
        int32_t value = depth * 11;
        body.insert(body.end(), reinterpret_cast<uint8_t*>(&value), reinterpret_cast<uint8_t*>(&value) + 4);
        body.insert(body.end(), expected.begin(), expected.end());
        auto n = static_cast<int32_t>(body.size());
        expected.assign(reinterpret_cast<uint8_t*>(&n), reinterpret_cast<uint8_t*>(&n) + 4);
        expected.insert(expected.end(), reinterpret_cast<uint8_t*>(&n), reinterpret_cast<uint8_t*>(&n) + 4);
        expected.insert(expected.end(), body.begin(), body.end());
    }
    EXPECT_EQ(BytesOf(inPlace), expected);
}

}  // namespace
