// The edit box: typing and the editing keys with the messages they send, the maximum length,
// formatting, the index under a point, scrolling the caret into view, the record, the input
// method's placement, and what it draws on the software device.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/CoreCfg.h"
#include "app/SystemAPI.h"
#include "gfx/Font.h"
#include "gfx/Texture.h"
#include "io/FileSystem.h"
#include "platform/Clock.h"
#include "render/ControlTestSupport.h"
#include "render/RenderRegistry.h"
#include "render/controls/EditBox.h"
#include "support/Bytes.h"
#include "support/TempFiles.h"
#include "support/WindowTestSupport.h"
#include "ui/Message.h"
#include "ui/TimerSystem.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

using Box = CRenderObject_EditBox;

// Every glyph of the test face is 8 pixels wide and 10 high; lines are 12 apart.
constexpr int32_t kGlyph = 8;
constexpr int32_t kLine = 12;

class FixedFace : public IPlatformFont {
public:
    const FontMetrics& Metrics() const override { return metrics_; }
    bool Rasterise(uint16_t, GlyphImage& out) override
    {
        out.width = kGlyph;
        out.height = 10;
        out.rgba.assign(static_cast<size_t>(out.width * out.height) * 4, 255);
        return true;
    }

private:
    FontMetrics metrics_{10, kGlyph, kLine};
};

std::unique_ptr<IPlatformFont> MakeFixedFace(const CKVQString&, int32_t)
{
    return std::make_unique<FixedFace>();
}

std::vector<std::string> sent;
// A box the recorder removes from its window when it hears doomedOn.
IRender* doomed = nullptr;
std::string doomedOn;

// Keeps the names of the messages the box sends to its window.
class Recorder : public TestRenderObject<Recorder> {
public:
    static constexpr const char* kClassName = "TestEditRecorder";
    Recorder()
    {
        for (const char* name : {"OnTextChanged", "OnEditBoxFull", "OnCaratMoved", "OnTextSelectionChanged",
                                 "onMaximumTextLengthChanged", "onTextChanged"})
            RegisterHandler(name, &Record);
    }

private:
    static void Record(IRender*, const char* name, CKVQWindow* owner, CKVQMessage*, CKVQWindow* sender)
    {
        if (sender != nullptr)
            sent.emplace_back(name);
        if (doomed && doomedOn == name) {
            owner->DelRender(doomed);
            doomed = nullptr;
        }
    }
};

class EditBoxes : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterRenderClasses();
        SetTextureKind(kTextureMemoryImage);
        CTextureCache::Instance().Clear();
        CKVQTimerSystem::Instance().Clear();
        CKVQFontMgr::Instance().Clear();
        CKVQFontMgr::Instance().SetCreateCallback(&MakeFixedFace);
        platform::SetVirtualClock(true);
        mgr.Reset();
        GetCoreCfg().IsAutoScale = false;
        CKVQSystemAPI::Instance().SetKeyState(Box::KEY_SHIFT, false);
        sent.clear();
        // A face regenerated on load from the create callback.
        CKVQFont face;
        face.faceName = "Fixed";
        face.requestedSize = 10;
        face.lineHeight = kLine;
        face.regenerate = true;
        CKVQMessage record(64);
        record.setMode(CIArchive::SM_WRITE);
        face.Transfer(record);
        fontFile = folder / "fixed.fnt";
        ASSERT_TRUE(WriteFile(fontFile, BytesOf(record)));

        root = CKVQWindow::New();
        root->NormalAligned(KVQRect{0, 400, 0, 400});
        mgr.SetRoot(root);
        // An editable box filling a focusable 200 x 60 window at (10, 20).
        CKVQWindow* window = CKVQWindow::New();
        window->SetBit(STATUS_IsCanFocus);
        root->AppendChild(window);
        window->NormalAligned(KVQRect{10, 210, 20, 80});
        window->AddRender(new Recorder());
        box = new Box();
        box->FontFile = fontFile.c_str();
        box->readOnly = 0;
        window->AddRender(box);
    }
    void TearDown() override
    {
        mgr.Reset();
        WindowModule::Get().ReleaseDeleted();
        CKVQTimerSystem::Instance().Clear();
        CKVQFontMgr::Instance().Clear();
        CKVQFontMgr::Instance().SetCreateCallback(&CreateSystemFont);
        CKVQSystemAPI::Instance().SetIMEPlacement(nullptr);
        CKVQSystemAPI::Instance().SetKeyState(Box::KEY_SHIFT, false);
        platform::SetVirtualClock(false);
        CTextureCache::Instance().Clear();
    }
    CKVQWindow* Window() { return box->GetOwner(); }
    void Focus() { Window()->SetCapture(); }
    void Deliver(const char* name, uint32_t code)
    {
        CKVQMessage m;
        m.UInt32(code);
        Window()->ProcMessage(name, &m, nullptr);
    }
    void Key(int32_t key, bool shift = false)
    {
        CKVQSystemAPI::Instance().SetKeyState(Box::KEY_SHIFT, shift);
        Deliver("OnKeyDown", static_cast<uint32_t>(key));
    }
    void Type(const std::string& text)
    {
        for (char c : text)
            Deliver("OnChar", static_cast<uint8_t>(c));
    }

    TempFolder folder;
    std::string fontFile;
    CKVQWindowMgr& mgr = CKVQWindowMgr::Instance();
    CKVQWindow* root = nullptr;
    Box* box = nullptr;
};

// ---- typing and keys ----

TEST_F(EditBoxes, TypingInsertsUpToTheMaximumLength)
{
    struct Case {
        const char* what;
        int32_t maxTextLen;
        bool focus, readOnly, font;
        std::string typed;
        std::string text;
        std::vector<std::string> messages;
    } cases[] = {
        {"three of four", 3, true, false, true, "abcd", "abc\n",
         {"OnTextChanged", "OnTextChanged", "OnTextChanged", "OnEditBoxFull"}},
        {"control characters are not typed", 10, true, false, true, "a\tb\x1b", "ab\n",
         {"OnTextChanged", "OnTextChanged"}},
        {"a box without the focus takes nothing", 10, false, false, true, "ab", "", {}},
        {"a read-only box takes nothing", 10, true, true, true, "ab", "", {}},
        {"a box without its font takes nothing", 10, true, false, false, "ab", "", {}},
        {"a zero maximum answers every character", 0, true, false, true, "x", "\n", {"OnEditBoxFull"}},
    };
    for (const Case& c : cases) {
        SetUp();
        box->maxTextLen = c.maxTextLen;
        box->readOnly = c.readOnly;
        if (!c.font)
            box->FontFile = "missing.fnt";
        if (c.focus)
            Focus();
        sent.clear();
        Type(c.typed);
        EXPECT_EQ(box->Text.GetUtf8String(), c.text) << c.what;
        EXPECT_EQ(sent, c.messages) << c.what;
        EXPECT_EQ(box->GetCaret(), static_cast<int32_t>(c.text.empty() ? 0 : c.text.size() - 1)) << c.what;
        TearDown();
    }
    EXPECT_EQ(Box().readOnly, 1) << "a new box is read-only";
}

TEST_F(EditBoxes, EditingKeysChangeTextCaretAndSelectionAndSayWhatChanged)
{
    constexpr int32_t S = 1000;  // a key held with Shift
    constexpr int32_t C = 2000;  // a character typed
    struct Case {
        const char* what;
        std::string text;
        int32_t caret, selStart, selEnd;
        std::vector<int32_t> keys;
        std::string after;
        int32_t caretAfter, selStartAfter, selEndAfter;
        std::vector<std::string> messages;
    } cases[] = {
        {"Backspace at 0 does nothing", "abc", 0, 0, 0, {Box::KEY_BACKSPACE}, "abc\n", 0, 0, 0, {}},
        {"Backspace removes the unit before the caret", "abc", 2, 0, 0, {Box::KEY_BACKSPACE}, "ac\n", 1, 0, 0,
         {"OnTextChanged"}},
        {"Backspace removes the selection", "abcdef", 5, 1, 4, {Box::KEY_BACKSPACE}, "aef\n", 1, 1, 1,
         {"OnTextChanged", "OnTextSelectionChanged"}},
        {"a character replaces the selection", "abcd", 3, 1, 3, {C + 'x'}, "axd\n", 2, 1, 1,
         {"OnTextChanged", "OnTextSelectionChanged", "OnTextChanged"}},
        {"Delete removes the unit at the caret", "abc", 1, 0, 0, {Box::KEY_DELETE}, "ac\n", 1, 0, 0, {"OnTextChanged"}},
        {"Delete keeps the final line feed", "abc", 3, 0, 0, {Box::KEY_DELETE}, "abc\n", 3, 0, 0, {}},
        {"Return breaks the line", "abc", 1, 0, 0, {Box::KEY_RETURN}, "a\nbc\n", 2, 0, 0, {"OnTextChanged"}},
        {"Shift+Right three times from 2 selects 2 to 5", "abcdefg", 2, 0, 0,
         {Box::KEY_SHIFT, S + Box::KEY_RIGHT, S + Box::KEY_RIGHT, S + Box::KEY_RIGHT}, "abcdefg\n", 5, 2, 5,
         {"OnCaratMoved", "OnTextSelectionChanged", "OnCaratMoved", "OnTextSelectionChanged", "OnCaratMoved",
          "OnTextSelectionChanged"}},
        {"a caret key without Shift drops the selection", "abcdefg", 5, 2, 5, {Box::KEY_LEFT}, "abcdefg\n", 4, 4, 4,
         {"OnCaratMoved", "OnTextSelectionChanged"}},
        {"Shift+Left selects backwards from the anchor", "abcdefg", 4, 0, 0,
         {Box::KEY_SHIFT, S + Box::KEY_LEFT, S + Box::KEY_LEFT}, "abcdefg\n", 2, 2, 4,
         {"OnCaratMoved", "OnTextSelectionChanged", "OnCaratMoved", "OnTextSelectionChanged"}},
        {"Right stops before the final line feed", "ab", 2, 0, 0, {Box::KEY_RIGHT}, "ab\n", 2, 0, 0, {}},
        {"Left stops at 0", "ab", 0, 0, 0, {Box::KEY_LEFT}, "ab\n", 0, 0, 0, {}},
        {"Home goes to the start of the line", "abc\ndef", 6, 0, 0, {Box::KEY_HOME}, "abc\ndef\n", 4, 0, 0,
         {"OnCaratMoved"}},
        {"End stops before the line feed", "abc\ndef", 0, 0, 0, {Box::KEY_END}, "abc\ndef\n", 3, 0, 0,
         {"OnCaratMoved"}},
        {"Down keeps the pixel offset where the line is long enough", "abcdef\nab\nabcd", 4, 0, 0,
         {Box::KEY_DOWN, Box::KEY_DOWN}, "abcdef\nab\nabcd\n", 12, 0, 0, {"OnCaratMoved", "OnCaratMoved"}},
        {"Up on the first line does nothing", "abc\ndef", 1, 0, 0, {Box::KEY_UP}, "abc\ndef\n", 1, 0, 0, {}},
        {"Up goes back at the same offset", "abc\ndef", 6, 0, 0, {Box::KEY_UP}, "abc\ndef\n", 2, 0, 0,
         {"OnCaratMoved"}},
    };
    for (const Case& c : cases) {
        SetUp();
        box->SetText(c.text.c_str());
        Focus();
        box->caret = box->anchor = static_cast<uint32_t>(c.caret);
        box->selectionStart = static_cast<uint32_t>(c.selStart);
        box->selectionEnd = static_cast<uint32_t>(c.selEnd);
        sent.clear();
        for (int32_t key : c.keys) {
            if (key >= C)
                Type(std::string(1, static_cast<char>(key - C)));
            else
                Key(key % S, key >= S);
        }
        EXPECT_EQ(box->Text.GetUtf8String(), c.after) << c.what;
        EXPECT_EQ(box->GetCaret(), c.caretAfter) << c.what;
        EXPECT_EQ(box->GetSelectionStart(), c.selStartAfter) << c.what;
        EXPECT_EQ(box->GetSelectionEnd(), c.selEndAfter) << c.what;
        EXPECT_EQ(sent, c.messages) << c.what;
        TearDown();
    }
}

TEST_F(EditBoxes, SettingTheMaximumLengthCutsTheTextAndSaysSo)
{
    box->SetText("abcdef");
    box->caret = 6;
    box->SetMaxTextLength(3);
    EXPECT_EQ(box->Text.GetUtf8String(), "abc\n");
    EXPECT_EQ(box->GetCaret(), 3);
    box->SetMaxTextLength(3);
    box->SetMaxTextLength(10);
    EXPECT_EQ(sent, (std::vector<std::string>{"onMaximumTextLengthChanged", "onTextChanged",
                                              "onMaximumTextLengthChanged"}));
    // A handler that removes the box: it is freed once the cut is over.
    CKVQWindow* window = Window();
    doomed = box;
    doomedOn = "onMaximumTextLengthChanged";
    box->SetMaxTextLength(1);
    EXPECT_EQ(window->RenderLst().size(), 1u);
}

TEST_F(EditBoxes, TheCaretBlinksWhileTheBoxHoldsTheCapture)
{
    Focus();
    EXPECT_TRUE(box->IsCaretShown());
    CKVQTimerSystem::Instance().Update(Box::kCursorInterval);
    EXPECT_FALSE(box->IsCaretShown());
    root->SetCapture();
    EXPECT_EQ(box->cursorTimer, 0u);
    EXPECT_EQ(CKVQTimerSystem::Instance().GetTimerCount(), 0u);
}

// ---- formatting and geometry ----

TEST_F(EditBoxes, FormattingCutsParagraphsAndWrapsWordsToTheBox)
{
    struct Case {
        const char* what;
        int32_t aligned;
        int32_t width;
        std::string text;
        std::vector<Box::Line> lines;  // start, length, width
    } cases[] = {
        {"one line per paragraph", Box::LEFT_ALIGNED, 40, "abc def\n\nx",
         {{0, 8, 56}, {8, 1, 0}, {9, 2, 8}}},
        {"words move to the next line", Box::WORD_WRAP_LEFT_ALIGNED, 60, "aa bb cc dd",
         {{0, 6, 48}, {6, 6, 40}}},
        {"a long word is cut where it stops fitting", Box::WORD_WRAP_LEFT_ALIGNED, 40, "aaa bbbbbbbb",
         {{0, 4, 32}, {4, 5, 40}, {9, 4, 24}}},
        {"a box narrower than a character takes one unit per line", Box::WORD_WRAP_CENTRED, 5, "abc",
         {{0, 1, 8}, {1, 1, 8}, {2, 2, 8}}},
        {"no width: paragraphs are lines", Box::WORD_WRAP_LEFT_ALIGNED, 0, "aaa bbb",
         {{0, 8, 56}}},
    };
    for (const Case& c : cases) {
        SetUp();
        Window()->SetWidth(c.width);
        box->Aligned = c.aligned;
        box->SetText(c.text.c_str());
        EXPECT_EQ(box->GetLines(), c.lines) << c.what;
        EXPECT_EQ(box->lineCount, static_cast<int32_t>(c.lines.size())) << c.what;
        TearDown();
    }
}

TEST_F(EditBoxes, PointsAndTheCaretMeetTheTextWhereItIsDrawn)
{
    // The window is 200 x 60 at (10, 20); the box sits 5 pixels in from its left and top.
    box->Layout = LayoutRect{ALIGNED_LEFT, ALIGNED_TOP, ALIGNED_RIGHT, ALIGNED_BOTTOM, 5, 0, 5, 0};
    box->SetText("abcd\nef\nghijk");
    struct Case {
        const char* what;
        int32_t aligned;
        KVQPoint at;
        int32_t index;
        int32_t caretLeft, caretTop;  // the caret's rectangle once it is there
    } cases[] = {
        {"the first unit", Box::LEFT_ALIGNED, {15, 25}, 0, 15, 25},
        {"inside the third unit of the first line", Box::LEFT_ALIGNED, {15 + 2 * kGlyph + 3, 30}, 2, 31, 25},
        {"past a line's end: before its line feed", Box::LEFT_ALIGNED, {150, 25 + kLine + 1}, 7, 31, 37},
        {"below the last line: the last line", Box::LEFT_ALIGNED, {15 + kGlyph, 79}, 9, 23, 49},
        {"above the box: the first line", Box::LEFT_ALIGNED, {15, 0}, 0, 15, 25},
        {"right-aligned lines end at the right edge", Box::RIGHT_ALIGNED, {210 - kGlyph, 25 + kLine}, 6, 202, 37},
        // Line 0 is 32 wide: it starts at 15 + (195 - 32) / 2; the block of three lines starts
        // (55 - 36) / 2 below the top.
        {"centred lines and the centred block", Box::CENTRED, {96 + 3 * kGlyph + 2, 37}, 3, 120, 34},
    };
    for (const Case& c : cases) {
        box->Aligned = c.aligned;
        box->OnTextChanged();
        const int32_t index = box->IndexAtPoint(c.at.x, c.at.y);
        EXPECT_EQ(index, c.index) << c.what;
        box->caret = static_cast<uint32_t>(index);
        const KVQRect caret = box->CaretRect();
        EXPECT_EQ(caret.left, c.caretLeft) << c.what;
        EXPECT_EQ(caret.top, c.caretTop) << c.what;
        EXPECT_EQ(caret.Width(), 1) << c.what;
        EXPECT_EQ(caret.Height(), kLine) << c.what;
    }
}

TEST_F(EditBoxes, ACaretSentPastTheEndOfAWrappedRowStaysOnThatRow)
{
    // Six units to a row: "aaaaa " (0-5), "b " (6-7), "cccccc\n" (8-14). A wrapped row has no
    // line feed of its own; the caret stands before its last unit rather than at the start of
    // the next row.
    Window()->SetWidth(6 * kGlyph);
    box->Aligned = Box::WORD_WRAP_LEFT_ALIGNED;
    box->SetText("aaaaa b cccccc");
    ASSERT_EQ(box->GetLines(), (std::vector<Box::Line>{{0, 6, 48}, {6, 2, 16}, {8, 7, 48}}));
    Focus();
    struct Case {
        const char* what;
        int32_t caret;
        int32_t key;  // 0: a click at the point
        KVQPoint at;
        int32_t after;
    } cases[] = {
        {"a click right of the first row", 0, 0, {10 + 6 * kGlyph + 2, 25}, 5},
        {"a click right of the short row", 0, 0, {10 + 6 * kGlyph + 2, 25 + kLine}, 7},
        {"a click right of the last line: before its line feed", 0, 0, {10 + 6 * kGlyph + 2, 25 + 2 * kLine}, 14},
        {"Down into the short row", 5, Box::KEY_DOWN, {}, 7},
        {"Up into the short row", 13, Box::KEY_UP, {}, 7},
    };
    for (const Case& c : cases) {
        box->caret = box->anchor = static_cast<uint32_t>(c.caret);
        if (c.key != 0)
            Key(c.key);
        else
            box->SetCaret(box->IndexAtPoint(c.at.x, c.at.y));
        EXPECT_EQ(box->GetCaret(), c.after) << c.what;
    }
}

TEST_F(EditBoxes, TheCaretIsScrolledIntoViewThroughTheForcedBars)
{
    // Five lines of 12 show in the 60-pixel box; 25 units of 8 in its 200 pixels.
    box->forceVerScroll = 1;
    box->forceHorzScroll = 1;
    box->vertBar.Max = 100;
    box->horzBar.Max = 400;
    std::string text;
    for (int i = 0; i < 9; ++i)
        text += "line\n";
    text += std::string(40, 'x');
    box->SetText(text.c_str());
    struct Step {
        const char* what;
        int32_t caret;
        int32_t vert, horz;
    } steps[] = {
        {"a line below the box scrolls it up, a line further", 7 * 5, 48, 0},
        {"the long line's end scrolls right with a margin", 9 * 5 + 35, 72, 130},
        {"back to the top", 0, 0, 0},
    };
    for (const Step& s : steps) {
        box->SetCaret(s.caret);
        EXPECT_EQ(box->vertBar.Pos, s.vert) << s.what;
        EXPECT_EQ(box->horzBar.Pos, s.horz) << s.what;
    }
    // The scrolled text is what a point finds: line 1 is at the top once the bar is at 12.
    box->vertBar.Pos = 12;
    EXPECT_EQ(box->IndexAtPoint(10, 20), 5);
    // A notch towards the user scrolls three lines on (limited to Max), a notch away three back.
    mgr.OnSysLClickDown(20, 30);
    for (int32_t notch : {-1, -3, 1})
        mgr.OnSysMouseWheel(20, 30, static_cast<int32_t>(static_cast<uint32_t>(notch * 120) << 16));
    EXPECT_EQ(box->vertBar.Pos, 64);
    // A position set through the window reaches the forced bars that show (the horizontal bar
    // of a new box does not).
    const int32_t horz = box->horzBar.Pos;
    Deliver("OnSetScrollPosition", 30);
    EXPECT_EQ(box->vertBar.Pos, 30);
    EXPECT_EQ(box->horzBar.Pos, horz);
    EXPECT_EQ(box->IndexAtPoint(10, 20), 10) << "the text scrolled with it";
}

TEST_F(EditBoxes, MouseSelectsAndTheBarsTakeTheirStrips)
{
    box->SetText("abcdefgh");
    box->forceVerScroll = 1;
    box->vertBar.Max = 50;
    control_test::AddFramedImage("arrow", 15, 15, 60, 120, 220);
    box->vertBar.first.file = box->vertBar.second.file = "arrow";
    mgr.OnSysLClickDown(10 + kGlyph + 1, 25);
    mgr.OnSysMouseMove(10 + 4 * kGlyph + 1, 25);
    mgr.OnSysLClickUp(10 + 4 * kGlyph + 1, 25);
    EXPECT_EQ(box->GetSelectionStart(), 1);
    EXPECT_EQ(box->GetSelectionEnd(), 4);
    EXPECT_FALSE(box->mouseSelecting);
    // A selection whose release the window did not hear ends at the next move.
    mgr.OnSysLClickDown(10 + kGlyph + 1, 25);
    GetCoreCfg().IsClickDown = false;
    mgr.OnSysMouseMove(10 + 6 * kGlyph + 1, 25);
    EXPECT_FALSE(box->mouseSelecting);
    EXPECT_EQ(box->GetCaret(), 1);
    // The bar is the 15-pixel strip at the box's right edge; its lower third steps it down.
    mgr.OnSysLClickDown(205, 75);
    EXPECT_EQ(box->vertBar.Pos, 1);
    CKVQTimerSystem::Instance().Update(33);
    EXPECT_EQ(box->vertBar.Pos, 2);
    mgr.OnSysLClickUp(205, 75);
    EXPECT_FALSE(box->vertBar.IsRepeating());
    EXPECT_EQ(box->GetSelectionEnd(), 4);
}

// ---- record and attributes ----

TEST_F(EditBoxes, RecordRoundTripsAndTakesAUselessScaleAsOne)
{
    const auto store = [](Box& from) {
        CKVQMessage m(16);
        m.setMode(CIArchive::SM_WRITE);
        from.Serialize(m);
        return BytesOf(m);
    };
    const auto load = [](const std::vector<uint8_t>& bytes, Box& into) {
        CKVQMessage m(16);
        m.setMode(CIArchive::SM_WRITE);
        m.Bytes(const_cast<uint8_t*>(bytes.data()), static_cast<int32_t>(bytes.size()));
        m.setMode(CIArchive::SM_READ);
        into.Serialize(m);
    };
    Box a;
    a.FontFile = "ui/a.fnt";
    a.Aligned = Box::WORD_WRAP_CENTRED;
    a.maxTextLen = 77;
    a.forceHorzScroll = 1;
    a.normalTextColour = RGBA{1, 2, 3, 4};
    a.vertBar.Max = 33;
    a.horzBar.Pos = 9;
    a.Text = "hi\n";
    a.symContent = "sym";
    a.fScale = 2.5f;
    const std::vector<uint8_t> bytes = store(a);
    // After "ui/a.fnt": Aligned, readOnly, maxTextLen, the two switches and the first colour as
    // alpha, red, green, blue.
    const std::vector<uint8_t> fontName = {9, 0, 0, 0, 9, 0, 0, 0, 'u', 'i', '/', 'a', '.', 'f', 'n', 't', 0};
    const auto at = std::search(bytes.begin(), bytes.end(), fontName.begin(), fontName.end());
    ASSERT_NE(at, bytes.end());
    EXPECT_EQ(std::vector<uint8_t>(at + 17, at + 17 + 24),
              Bytes({6, 0, 0, 0, 1, 0, 0, 0, 77, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 4, 1, 2, 3}));
    Box b;
    load(bytes, b);
    EXPECT_EQ(store(b), bytes);
    EXPECT_EQ(b.vertBar.Max, 33);
    EXPECT_EQ(b.horzBar.Pos, 9);
    EXPECT_EQ(b.horzBar.IsVisible, 0);
    // The scale is the record's last field.
    std::vector<uint8_t> zero = bytes;
    std::fill(zero.end() - 4, zero.end(), 0);
    Box c;
    load(zero, c);
    EXPECT_EQ(c.fScale, 1.0f);
    c.OnZoom(0.0f);
    EXPECT_EQ(c.fScale, 1.0f) << "a zoom to nothing is refused";
    c.OnZoom(2.0f);
    EXPECT_EQ(c.fScale, 2.0f);
    EXPECT_EQ(c.symContent, CKVQString("sym"));

    for (const char* name : {"EditBox:FontFile", "EditBox:Text", "EditBox:Aligned", "EditBox:fScale",
                             "EditBox:selectColour:alpha", "EditBox:VertScrollBar:ScrollInfo:Max",
                             "EditBox:HorzScrollBar:Thumb:file"})
        EXPECT_GE(b.GetAttributeNameRef(name), 0) << name;
    // Writes reach the box they are made on and bring its text up to date.
    ASSERT_TRUE(box->SetAttribute(box->GetAttributeNameRef("EditBox:Text"), "one two"));
    EXPECT_EQ(box->Text.GetUtf8String(), "one two\n");
    EXPECT_EQ(box->lineCount, 1);
    ASSERT_TRUE(box->SetAttribute(box->GetAttributeNameRef("EditBox:VertScrollBar:ScrollInfo:Pos"), "7"));
    EXPECT_EQ(box->vertBar.Pos, 7);
    // The editor copies one bar sprite's rectangle into another.
    box->vertBar.first.Rect = KVQRect{1, 2, 3, 4};
    EXPECT_TRUE(box->ExecuteCommand("EditBox:EditBox:VertScrollBar:Top:Rect", "Copy"));
    EXPECT_TRUE(box->ExecuteCommand("EditBox:EditBox:HorzScrollBar:Thumb:Rect", "Paste"));
    EXPECT_EQ(box->horzBar.thumbSprite.Rect, (KVQRect{1, 2, 3, 4}));
}

// ---- input method and drawing ----

TEST_F(EditBoxes, TheInputMethodSitsAtTheCaretInWindowPixels)
{
    std::vector<KVQRect> placed;
    CKVQSystemAPI::Instance().SetIMEPlacement([&placed](const KVQRect& r) { placed.push_back(r); });
    KVQCoreCfg& cfg = GetCoreCfg();
    cfg.IsAutoScale = true;
    cfg.fAutoScaleX = 2.0f;
    cfg.fAutoScaleY = 1.5f;
    cfg.nAutoOffsetX = 3;
    cfg.nAutoOffsetY = 0;
    box->SetText("abc");
    Focus();
    ASSERT_EQ(placed.size(), 1u);
    EXPECT_EQ(placed.back(), (KVQRect{23, 25, 30, 48}));  // (10, 20) 1 x 12, scaled and shifted
    Type("x");
    Key(Box::KEY_RIGHT);
    EXPECT_EQ(placed.back(), (KVQRect{23 + 2 * 2 * kGlyph, 25 + 2 * 2 * kGlyph, 30, 48}));
    // A read-only box is not typed into: the input method is left where it is.
    const size_t before = placed.size();
    box->readOnly = 1;
    root->SetCapture();
    Window()->SetCapture();
    EXPECT_EQ(placed.size(), before);
    cfg.IsAutoScale = false;
}

TEST_F(EditBoxes, DrawsTextSelectionAndCaret)
{
    box->normalTextColour = RGBA{250, 250, 250, 255};
    box->selectTextColour = RGBA{0, 0, 200, 255};
    box->selectColour = RGBA{200, 0, 0, 255};
    box->SetText("abc");
    Focus();
    box->caret = 3;
    box->SetSelection(1, 2);
    const auto frame = control_test::DrawFrame(220, 90, [this] { Window()->Render(*GetCurrentDevice()); });
    ASSERT_FALSE(frame.empty());
    const auto pixel = [&frame](int32_t x, int32_t y) {
        const uint8_t* p = &frame[(static_cast<size_t>(y) * 220 + static_cast<size_t>(x)) * 4];
        return std::vector<int>{p[0], p[1], p[2]};
    };
    // Glyphs stand on the bottom of their 12-pixel line: rows 22 to 31.
    EXPECT_EQ(pixel(13, 28), (std::vector<int>{250, 250, 250})) << "unselected text";
    EXPECT_EQ(pixel(21, 28), (std::vector<int>{0, 0, 200})) << "selected text";
    EXPECT_EQ(pixel(20, 20), (std::vector<int>{200, 0, 0})) << "selection background above the glyph";
    EXPECT_EQ(pixel(12, 20), (std::vector<int>{0x60, 0x60, 0x60})) << "nothing above unselected glyphs";
    // The caret's line at x 34 (the edge of pixel 33) multiplies the grey by itself.
    EXPECT_EQ(pixel(33, 20), (std::vector<int>{36, 36, 36})) << "caret";
    EXPECT_EQ(pixel(33, 19), (std::vector<int>{0x60, 0x60, 0x60})) << "the caret is one line high";
    EXPECT_EQ(pixel(60, 28), (std::vector<int>{0x60, 0x60, 0x60})) << "nothing after the text";
}

TEST_F(EditBoxes, AWindowThatCachesTextIsToldWhenTheTextChanges)
{
    Window()->SetBit(STATUS_IsCharCache);
    box->SetText("ab");
    Focus();
    control_test::DrawFrame(220, 90, [this] { Window()->Render(*GetCurrentDevice()); });
    EXPECT_EQ(Window()->CharCache().size(), 2u);
    Type("c");
    EXPECT_TRUE(Window()->CharCache().empty());
}

}  // namespace
