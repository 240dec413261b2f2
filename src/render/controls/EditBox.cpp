#include "render/controls/EditBox.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

#include "app/CoreCfg.h"
#include "app/SystemAPI.h"
#include "gfx/DC.h"
#include "gfx/Font.h"
#include "io/Archive.h"
#include "io/EditHook.h"
#include "io/RecordBlock.h"
#include "platform/DebugOutput.h"
#include "render/RenderDisposal.h"
#include "render/logic/LuaLogic.h"
#include "render/pictures/Sprite.h"
#include "ui/Message.h"
#include "ui/TimerSystem.h"
#include "ui/Window.h"

namespace {

// Handled.
constexpr const char* kOnChar = "OnChar";
constexpr const char* kOnKeyDown = "OnKeyDown";
constexpr const char* kOnLClickDown = "OnLClickDown";
constexpr const char* kOnMouseMove = "OnMouseMove";
constexpr const char* kOnLClickUp = "OnLClickUp";
constexpr const char* kOnCapture = "OnCapture";
constexpr const char* kOnLostCapture = "OnLostCapture";
constexpr const char* kOnCursorTimer = "OnCursorTimer";
constexpr const char* kOnSized = "OnSized";
constexpr const char* kOnZoom = "OnZoom";
constexpr const char* kOnMouseWheel = "OnMouseWheel";
constexpr const char* kOnSetScrollPosition = "OnSetScrollPosition";
// Sent (and "OnTextChanged" handled too).
constexpr const char* kOnTextChanged = "OnTextChanged";
constexpr const char* kOnEditBoxFull = "OnEditBoxFull";
constexpr const char* kOnCaratMoved = "OnCaratMoved";
constexpr const char* kOnTextSelectionChanged = "OnTextSelectionChanged";
// Sent by setting the maximum length; these two begin with a lower-case o.
constexpr const char* kOnMaximumTextLengthChanged = "onMaximumTextLengthChanged";
constexpr const char* kOnCutTextChanged = "onTextChanged";

constexpr const char* kNoFontText = "CRText::Render uiCreateFont Fail\n";
constexpr const char* kAlignedHint = "LeftAligned|RightAligned|Centred|Justified|WordWrapLeftAligned|"
                                     "WordWrapRightAligned|WordWrapCentred|WordWrapJustified|";
constexpr const char* kFontFilter = "*.fnt";
constexpr const char* kMaxLengthHint = "1024";
constexpr const char* kByteHint = "0:255";
constexpr int32_t kBarRecordCapacity = 64;

constexpr char16_t kLineFeed = u'\n';
constexpr char16_t kPasswordMask = u'*';
constexpr std::u16string_view kDelimiters = u" \n\t\r";
// A horizontal scroll overshoots the caret by this much, so that typing on does not scroll at
// every character.
constexpr int32_t kHorizontalMargin = 50;
// A wheel notch is this much of the delta; each notch scrolls three lines.
constexpr int32_t kWheelNotch = 120;
constexpr int32_t kWheelLines = 3;
constexpr uint32_t kCaretColor = 0xffffff00u;  // red 0, green 255, blue 255, alpha 255
// The cursor timer repeats until the capture ends.
constexpr uint32_t kRepeatForever = UINT32_MAX;
constexpr int32_t kCursorDelay = 1;
constexpr float kMinScale = 1e-6f;
constexpr float kMaxScale = 1000.0f;
// A new box covers its window (layouts carry their own).
constexpr LayoutRect kWholeWindow{ALIGNED_LEFT, ALIGNED_TOP, ALIGNED_RIGHT, ALIGNED_BOTTOM, 0, 0, 0, 0};

bool ScaleInRange(float s)
{
    return s > kMinScale && s <= kMaxScale;  // false for NaN too
}

int32_t Clamp32(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// A real number as a 64-bit integer, truncated and held within reach (NaN counts as 0): pixel
// sums of hostile line heights and scales stay defined.
int64_t Saturate(double v)
{
    if (std::isnan(v))
        return 0;
    return static_cast<int64_t>(std::clamp(v, -9.0e18, 9.0e18));
}

int32_t Range(const CScrollBar& bar)
{
    return Clamp32(std::max<int64_t>(int64_t{bar.Max} - bar.Min, 0));
}

CKVQWindow* Alive(CKVQWindow* window)
{
    return window && !window->IsDeleted() ? window : nullptr;
}

CRenderObject_EditBox* Box(IRender* self)
{
    return static_cast<CRenderObject_EditBox*>(self);
}

// The message's first int32 parameters; false when it carries fewer.
bool ReadInts(CKVQMessage* message, int32_t& a)
{
    return message && message->Int32(a) >= 0;
}
bool ReadInts(CKVQMessage* message, int32_t& a, int32_t& b)
{
    return message && message->Int32(a) >= 0 && message->Int32(b) >= 0;
}

// Colours of the edit box are streamed alpha, red, green, blue.
void TransferArgb(CIArchive& ar, RGBA& color, const char* name)
{
    const bool named = ar.GetTextForm() != nullptr;
    const std::string prefix = std::string(name) + ".";
    ar.UInt8(color.alpha, named ? (prefix + "alpha").c_str() : nullptr);
    ar.UInt8(color.red, named ? (prefix + "red").c_str() : nullptr);
    ar.UInt8(color.green, named ? (prefix + "green").c_str() : nullptr);
    ar.UInt8(color.blue, named ? (prefix + "blue").c_str() : nullptr);
}

void DescribeColour(CIEditHook& hook, RGBA& color, const char* name)
{
    using namespace sprite_edit;
    hook.BeginGroup(&color, name, kColor, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.UInt8(&color.red, "red", kRange, kByteHint, nullptr, nullptr, 0);
    hook.UInt8(&color.green, "green", kRange, kByteHint, nullptr, nullptr, 0);
    hook.UInt8(&color.blue, "blue", kRange, kByteHint, nullptr, nullptr, 0);
    hook.UInt8(&color.alpha, "alpha", kRange, kByteHint, nullptr, nullptr, 0);
    hook.LeaveGroup();
}

// Sets the shared font up for this box and puts it back as it was: every box drawing with the
// same file draws with the same font object.
class FontScope {
public:
    FontScope(CKVQFont& font, float scale, bool password)
        : font_(font), scale_(font.GetScale()), password_(font.password)
    {
        font.SetScale(scale);
        font.SetPassword(password);
    }
    ~FontScope()
    {
        font_.SetScale(scale_);
        font_.SetPassword(password_);
    }
    FontScope(const FontScope&) = delete;
    FontScope& operator=(const FontScope&) = delete;

private:
    CKVQFont& font_;
    float scale_;
    bool password_;
};

// ---- handlers ----

void OnCharMessage(IRender* self, const char*, CKVQWindow*, CKVQMessage* message, CKVQWindow*)
{
    int32_t code = 0;
    if (ReadInts(message, code))
        Box(self)->TypeChar(static_cast<uint32_t>(code));
}

void OnKeyDownMessage(IRender* self, const char*, CKVQWindow*, CKVQMessage* message, CKVQWindow*)
{
    int32_t key = 0;
    if (ReadInts(message, key))
        Box(self)->PressKey(key);
}

void OnLClickDownMessage(IRender* self, const char*, CKVQWindow*, CKVQMessage* message, CKVQWindow*)
{
    int32_t x = 0, y = 0;
    if (ReadInts(message, x, y))
        Box(self)->OnMouseDown(x, y);
}

void OnMouseMoveMessage(IRender* self, const char*, CKVQWindow*, CKVQMessage* message, CKVQWindow*)
{
    int32_t x = 0, y = 0;
    if (ReadInts(message, x, y))
        Box(self)->OnMouseMove(x, y);
}

void OnLClickUpMessage(IRender* self, const char*, CKVQWindow*, CKVQMessage*, CKVQWindow*)
{
    Box(self)->OnMouseUp();
}

void OnCaptureMessage(IRender* self, const char*, CKVQWindow*, CKVQMessage*, CKVQWindow*)
{
    Box(self)->OnCapture();
}

void OnLostCaptureMessage(IRender* self, const char*, CKVQWindow*, CKVQMessage*, CKVQWindow*)
{
    Box(self)->OnLostCapture();
}

void OnCursorTimerMessage(IRender* self, const char*, CKVQWindow*, CKVQMessage*, CKVQWindow*)
{
    Box(self)->OnCursorTimer();
}

void OnTextChangedMessage(IRender* self, const char*, CKVQWindow*, CKVQMessage*, CKVQWindow*)
{
    Box(self)->OnTextChanged();
}

void OnSizedMessage(IRender* self, const char*, CKVQWindow*, CKVQMessage*, CKVQWindow*)
{
    Box(self)->Format();
}

void OnZoomMessage(IRender* self, const char*, CKVQWindow*, CKVQMessage* message, CKVQWindow*)
{
    float zoom = 0.0f;
    if (message && message->Float(zoom) >= 0)
        Box(self)->OnZoom(zoom);
}

void OnMouseWheelMessage(IRender* self, const char*, CKVQWindow*, CKVQMessage* message, CKVQWindow*)
{
    int32_t x = 0, y = 0, wParam = 0;
    if (ReadInts(message, x, y) && message->Int32(wParam) >= 0)
        Box(self)->OnWheel(static_cast<int16_t>(static_cast<uint32_t>(wParam) >> 16));
}

// A position set through the window reaches the embedded bars as it reaches the window's own.
void OnSetScrollPositionMessage(IRender* self, const char*, CKVQWindow*, CKVQMessage* message, CKVQWindow*)
{
    int32_t p = 0;
    if (ReadInts(message, p))
        Box(self)->OnSetScrollPosition(p);
}

// The repeat timers of the embedded bars reach the box through its window.
void OnBarTimerMessage(IRender* self, const char* name, CKVQWindow*, CKVQMessage*, CKVQWindow*)
{
    CRenderObject_EditBox* box = Box(self);
    const CScrollBar::Names& v = CRenderObject_VertScrollBar::kNames;
    const CScrollBar::Names& h = CRenderObject_HorzScrollBar::kNames;
    const std::string_view n(name);
    if (n == v.firstTimer || n == v.secondTimer)
        box->OnBarTimer(box->vertBar, n == v.firstTimer ? -1 : 1);
    else
        box->OnBarTimer(box->horzBar, n == h.firstTimer ? -1 : 1);
}

// ---- attribute callbacks ----

void FontFileWritten(void* object, const char*, int32_t)
{
    static_cast<CRenderObject_EditBox*>(object)->OnFontChanged();
}

void TextWritten(void* object, const char*, int32_t)
{
    static_cast<CRenderObject_EditBox*>(object)->OnTextChanged();
}

}  // namespace

CRenderObject_EditBox::CRenderObject_EditBox()
{
    Layout = kWholeWindow;
    // Glyphs are white masks on transparent cells: replacing (the base default) would draw every
    // cell as a box. Stored boxes keep the mode they were saved with.
    BlendMode = BLEND_BLEND;
    horzBar.IsVisible = 0;
    RegisterHandler(kOnChar, &OnCharMessage);
    RegisterHandler(kOnKeyDown, &OnKeyDownMessage);
    RegisterHandler(kOnLClickDown, &OnLClickDownMessage);
    RegisterHandler(kOnMouseMove, &OnMouseMoveMessage);
    RegisterHandler(kOnLClickUp, &OnLClickUpMessage);
    RegisterHandler(kOnCapture, &OnCaptureMessage);
    RegisterHandler(kOnLostCapture, &OnLostCaptureMessage);
    RegisterHandler(kOnCursorTimer, &OnCursorTimerMessage);
    RegisterHandler(kOnTextChanged, &OnTextChangedMessage);
    RegisterHandler(kOnSized, &OnSizedMessage);
    RegisterHandler(kOnZoom, &OnZoomMessage);
    RegisterHandler(kOnMouseWheel, &OnMouseWheelMessage);
    RegisterHandler(kOnSetScrollPosition, &OnSetScrollPositionMessage);
    for (const CScrollBar::Names* names :
         {&CRenderObject_VertScrollBar::kNames, &CRenderObject_HorzScrollBar::kNames}) {
        RegisterHandler(names->firstTimer, &OnBarTimerMessage);
        RegisterHandler(names->secondTimer, &OnBarTimerMessage);
    }
}

CRenderObject_EditBox::~CRenderObject_EditBox()
{
    if (cursorTimer != 0)
        CKVQTimerSystem::Instance().KillTimer(cursorTimer);
}

CKVQEditHook& CRenderObject_EditBox::AttributeTable() const
{
    static CKVQEditHook table;
    return table;
}

// ---- record and attributes ----

void CRenderObject_EditBox::TransferRecord(CIArchive& ar)
{
    ar.String(FontFile, "FontFile");
    ar.Int32(Aligned, "Aligned");
    TransferSwitch(ar, readOnly, "readOnly");
    ar.Int32(maxTextLen, "maxTextLen");
    TransferSwitch(ar, forceVerScroll, "forceVerScroll");
    TransferSwitch(ar, forceHorzScroll, "forceHorzScroll");
    TransferArgb(ar, normalTextColour, "normalTextColour");
    TransferArgb(ar, selectTextColour, "selectTextColour");
    TransferArgb(ar, selectColour, "selectColour");
    TransferArgb(ar, inactiveColour, "inactiveColour");
    // Each bar as a render object's record (base record, then its own), in a block of its own.
    TransferBlock(ar, CRenderObject_VertScrollBar::kClassName, kBarRecordCapacity,
                  [this](CIArchive& block) { vertBar.Serialize(block); });
    TransferBlock(ar, CRenderObject_HorzScrollBar::kClassName, kBarRecordCapacity,
                  [this](CIArchive& block) { horzBar.Serialize(block); });
    ar.String(Text, "Text");
    TransferSwitch(ar, isDrawFrame, "isDrawFrame");
    TransferArgb(ar, frameColor, "frameColor");
    ar.String(symContent, "symContent");
    TransferSwitch(ar, isPassword, "isPassword");
    ar.Float(fScale, "fScale");
    if (ar.IsLoading()) {
        if (!ScaleInRange(fScale))
            fScale = 1.0f;
        fontFailed_ = false;
        formatted_ = false;
        lines_.clear();
        caret = selectionStart = selectionEnd = anchor = 0;
    }
}

void CRenderObject_EditBox::Describe(CIEditHook& hook)
{
    using namespace sprite_edit;
    hook.BeginGroup(this, kClassName, kCommands, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    hook.String(&FontFile, "FontFile", kFile, kFontFilter, &FontFileWritten, this, 0);
    hook.String(&Text, "Text", kText, "", &TextWritten, this, 0);
    hook.String(&symContent, "symContent", kText, "", &TextWritten, this, 0);
    // Writes that change the lines reformat like a text change does.
    hook.Int32(&Aligned, "Aligned", kChoice, kAlignedHint, &TextWritten, this, 0);
    hook.BoolAsInt32(&readOnly, "readOnly", kChoice, kBoolHint, nullptr, nullptr, 0);
    hook.Int32(&maxTextLen, "maxTextLen", kText, kMaxLengthHint, nullptr, nullptr, 0);
    hook.BoolAsInt32(&forceVerScroll, "forceVerScroll", kChoice, kBoolHint, &TextWritten, this, 0);
    hook.BoolAsInt32(&forceHorzScroll, "forceHorzScroll", kChoice, kBoolHint, &TextWritten, this, 0);
    hook.Int32(&lineCount, "lineCount", kText, kMaxLengthHint, nullptr, nullptr, 0);
    hook.Float(&fScale, "%f", "fScale", kText, "", &TextWritten, this, 0);
    hook.BoolAsInt32(&isPassword, "isPassword", kChoice, kBoolHint, &TextWritten, this, 0);
    hook.BoolAsInt32(&isDrawFrame, "isDrawFrame", kChoice, kBoolHint, &TextWritten, this, 0);
    DescribeColour(hook, frameColor, "frameColor");
    DescribeColour(hook, normalTextColour, "normalTextColour");
    DescribeColour(hook, selectTextColour, "selectTextColour");
    DescribeColour(hook, selectColour, "selectColour");
    DescribeColour(hook, inactiveColour, "inactiveColour");
    vertBar.Describe(hook);
    horzBar.Describe(hook);
    hook.LeaveGroup();
}

bool CRenderObject_EditBox::ExecuteCommand(const char* groupPath, const char* command)
{
    const char* inside = ComponentGroupPath(groupPath, kClassName);
    return inside && (vertBar.ExecuteCommand(inside, command) || horzBar.ExecuteCommand(inside, command));
}

// ---- text model ----

std::u16string_view CRenderObject_EditBox::GetUnits() const
{
    const int32_t length = Text.GetLength();
    if (length <= 0)
        return {};
    return {reinterpret_cast<const char16_t*>(Text.GetWideString()), static_cast<size_t>(length)};
}

void CRenderObject_EditBox::EnsureFinalLineFeed()
{
    const std::u16string_view units = GetUnits();
    if (!units.empty() && units.back() == kLineFeed)
        return;
    Text.AppendChar(kLineFeed);
    formatted_ = false;
}

void CRenderObject_EditBox::SetText(const CKVQString& text)
{
    // Operations that send messages hold a dispatch open: a handler of what they send may remove
    // this box, which must outlive the rest of the operation.
    const RenderDispatchScope keep;
    Text = text;
    OnTextChanged();
}

void CRenderObject_EditBox::SetMaxTextLength(int32_t n)
{
    const RenderDispatchScope keep;
    if (n == maxTextLen)
        return;
    maxTextLen = n;
    Send(kOnMaximumTextLengthChanged);
    EnsureFinalLineFeed();
    const int32_t content = GetLength() - 1;
    const int32_t limit = std::max(n, 0);
    if (content <= limit)
        return;
    EraseUnits(limit, content - limit);  // the final line feed stays
    Send(kOnCutTextChanged);
    OnTextChanged();  // the lower-case message is not the box's own: bring the lines up to date
}

// ---- caret and selection ----

namespace {

// The highest caret index: before the final line feed (after it there is no line to stand on).
int32_t MaxCaretOf(std::u16string_view units)
{
    const auto length = static_cast<int32_t>(units.size());
    return !units.empty() && units.back() == kLineFeed ? length - 1 : length;
}

}  // namespace

void CRenderObject_EditBox::SetCaret(int32_t index)
{
    const RenderDispatchScope keep;
    index = std::clamp(index, 0, MaxCaretOf(GetUnits()));
    if (static_cast<uint32_t>(index) == caret)
        return;
    InvalidateCaret();
    caret = static_cast<uint32_t>(index);
    caretShown_ = true;
    InvalidateCaret();
    Changed();
    ScrollCaretIntoView();
    PlaceInputMethod();
    Send(kOnCaratMoved);
}

void CRenderObject_EditBox::SetSelection(int32_t a, int32_t b)
{
    const RenderDispatchScope keep;
    if (a > b)
        std::swap(a, b);
    const std::u16string_view units = GetUnits();
    const auto length = static_cast<int32_t>(units.size());
    a = std::clamp(a, 0, std::max(length - 1, 0));
    if (b >= length && !units.empty() && units.back() == kLineFeed)
        b = length - 1;
    b = std::clamp(b, a, std::max(length, a));
    if (static_cast<uint32_t>(a) == selectionStart && static_cast<uint32_t>(b) == selectionEnd)
        return;
    selectionStart = static_cast<uint32_t>(a);
    selectionEnd = static_cast<uint32_t>(b);
    Changed();
    Send(kOnTextSelectionChanged);
}

void CRenderObject_EditBox::ClearSelection()
{
    const RenderDispatchScope keep;
    if (!HasSelection())
        return;
    selectionStart = selectionEnd = caret;
    Changed();
    Send(kOnTextSelectionChanged);
}

// ---- input ----

bool CRenderObject_EditBox::Editable() const
{
    return readOnly == 0;
}

void CRenderObject_EditBox::TypeChar(uint32_t code)
{
    const RenderDispatchScope keep;
    CKVQWindow* window = Alive(GetOwner());
    if (!Editable() || !window || !window->IsFocus() || !GetFont() || code < 32)
        return;
    EnsureFinalLineFeed();
    DeleteSelection();
    if (GetLength() - 1 < maxTextLen) {
        InsertUnit(static_cast<uint16_t>(code));
        ++caret;
        Send(kOnTextChanged);
    } else {
        Send(kOnEditBoxFull);
    }
}

void CRenderObject_EditBox::PressKey(int32_t key)
{
    const RenderDispatchScope keep;
    if (!Editable())
        return;
    EnsureFinalLineFeed();
    const int32_t length = GetLength();
    switch (key) {
    case KEY_BACKSPACE:
        if (HasSelection()) {
            DeleteSelection();
        } else if (caret > 0 && length > 0) {
            EraseUnits(static_cast<int32_t>(caret) - 1, 1);
            --caret;
            Send(kOnTextChanged);
        }
        return;
    case KEY_SHIFT:
        if (!HasSelection())
            anchor = caret;
        return;
    case KEY_RETURN:
        DeleteSelection();
        if (GetLength() - 1 < maxTextLen) {
            InsertUnit(kLineFeed);
            ++caret;
            Send(kOnTextChanged);
        }
        return;
    case KEY_DELETE:
        if (HasSelection()) {
            DeleteSelection();
        } else if (static_cast<int32_t>(caret) < length - 1) {  // the final line feed stays
            EraseUnits(static_cast<int32_t>(caret), 1);
            Send(kOnTextChanged);
        }
        return;
    case KEY_HOME:
    case KEY_END:
    case KEY_UP:
    case KEY_DOWN:
        if (EnsureFormatted() && !lines_.empty()) {
            const Line& line = lines_[static_cast<size_t>(LineOfCaret())];
            if (key == KEY_HOME) {
                SetCaret(line.start);
            } else if (key == KEY_END) {
                const int32_t end = line.start + line.length - 1;
                if (static_cast<int32_t>(caret) < end)
                    SetCaret(end);
            } else if (lines_.size() > 1) {
                const auto at = static_cast<size_t>(LineOfCaret());
                const bool up = key == KEY_UP;
                if (up ? at > 0 : at + 1 < lines_.size()) {
                    Frame frame;
                    CKVQFont* font = GetFont();
                    if (font && HaveFrame(frame)) {
                        FontScope scope(*font, Scale(), isPassword != 0);
                        const int64_t x = int64_t{LineLeft(frame, line)} +
                                          WidthInLine(*font, line, static_cast<int32_t>(caret) - line.start);
                        const Line& target = lines_[up ? at - 1 : at + 1];
                        SetCaret(target.start + FitInLine(*font, target, Clamp32(x - LineLeft(frame, target))));
                    }
                }
            }
        }
        break;
    case KEY_RIGHT:
        if (static_cast<int32_t>(caret) < length)
            SetCaret(static_cast<int32_t>(caret) + 1);
        break;
    case KEY_LEFT:
        if (caret > 0)
            SetCaret(static_cast<int32_t>(caret) - 1);
        break;
    default:
        return;
    }
    // After a caret key: Shift extends the selection from the anchor, otherwise it goes.
    if (CKVQSystemAPI::Instance().GetEngineKeyState(KEY_SHIFT) == 0xFF)
        SetSelection(static_cast<int32_t>(caret), static_cast<int32_t>(anchor));
    else
        ClearSelection();
}

void CRenderObject_EditBox::DeleteSelection()
{
    if (!HasSelection())
        return;
    const auto start = static_cast<int32_t>(selectionStart);
    const auto end = static_cast<int32_t>(selectionEnd);
    InvalidateCaret();
    caret = selectionStart;
    EraseUnits(start, end - start);
    Send(kOnTextChanged);
    selectionStart = selectionEnd = caret;
    Changed();
    Send(kOnTextSelectionChanged);
}

void CRenderObject_EditBox::InsertUnit(uint16_t unit)
{
    Text.Insert(static_cast<int32_t>(caret), unit);
    formatted_ = false;
    Changed();
}

void CRenderObject_EditBox::EraseUnits(int32_t start, int32_t count)
{
    Text.Erase(start, count);
    formatted_ = false;
    Changed();
}

void CRenderObject_EditBox::Send(const char* name)
{
    CKVQWindow* window = Alive(GetOwner());
    if (!window)
        return;
    CKVQMessage message;
    window->ProcMessage(name, &message, window);
}

void CRenderObject_EditBox::Changed()
{
    if (CKVQWindow* window = Alive(GetOwner())) {
        window->InvalidateCharCache();
        window->Invalidate();
    }
}

void CRenderObject_EditBox::InvalidateCaret()
{
    CKVQWindow* window = Alive(GetOwner());
    if (!window)
        return;
    const KVQRect r = CaretRect();
    window->Invalidate(&r);
}

void CRenderObject_EditBox::PlaceInputMethod()
{
    CKVQWindow* window = Alive(GetOwner());
    if (!window || !window->IsCapture() || !Editable())
        return;
    CKVQSystemAPI::Instance().PlaceIME(CaretRect());
}

// ---- messages ----

void CRenderObject_EditBox::OnTextChanged()
{
    EnsureFinalLineFeed();
    const std::u16string_view units = GetUnits();
    const auto most = static_cast<uint32_t>(MaxCaretOf(units));
    caret = std::min(caret, most);
    anchor = std::min(anchor, most);
    selectionEnd = std::min(selectionEnd, most);
    selectionStart = std::min(selectionStart, selectionEnd);
    formatted_ = false;
    Format();
    if (CKVQWindow* window = Alive(GetOwner())) {
        window->SetDirty();
        window->InvalidateCharCache();
        window->Invalidate();
    }
    // Typing moves the caret without "OnCaratMoved"; it is still kept in view.
    ScrollCaretIntoView();
    PlaceInputMethod();
}

void CRenderObject_EditBox::OnZoom(float factor)
{
    const float scaled = fScale * factor;
    if (!ScaleInRange(scaled))
        return;  // a zoom to nothing (or beyond any use) would leave no line to measure
    fScale = scaled;
    formatted_ = false;
    lines_.clear();
    if (CKVQWindow* window = Alive(GetOwner())) {
        window->SetDirty();
        window->InvalidateCharCache();
        window->Invalidate();
    }
}

void CRenderObject_EditBox::OnFontChanged()
{
    font_ = nullptr;
    fontFailed_ = false;
    OnTextChanged();
}

void CRenderObject_EditBox::OnCapture()
{
    CKVQWindow* window = Alive(GetOwner());
    if (!window || !window->IsCanFocus())
        return;
    CKVQTimerSystem& timers = CKVQTimerSystem::Instance();
    if (cursorTimer != 0)
        timers.KillTimer(cursorTimer);
    cursorTimer = timers.SetTimer(window, kOnCursorTimer, kCursorInterval, kRepeatForever, kCursorDelay);
    caretShown_ = true;
    InvalidateCaret();
    // The capture is recorded after this message: the box is about to hold it.
    if (Editable())
        CKVQSystemAPI::Instance().PlaceIME(CaretRect());
}

void CRenderObject_EditBox::OnLostCapture()
{
    mouseSelecting = false;
    CKVQWindow* window = Alive(GetOwner());
    if (!window || !window->IsCanFocus())
        return;
    if (cursorTimer != 0)
        CKVQTimerSystem::Instance().KillTimer(cursorTimer);
    cursorTimer = 0;
    InvalidateCaret();
}

void CRenderObject_EditBox::OnCursorTimer()
{
    CKVQWindow* window = Alive(GetOwner());
    if (!window || !window->IsCanFocus())
        return;
    // The caret blinks: every frame is drawn whole, so the timer only turns it on and off.
    caretShown_ = !caretShown_;
    InvalidateCaret();
}

void CRenderObject_EditBox::OnMouseDown(int32_t x, int32_t y)
{
    CKVQWindow* window = Alive(GetOwner());
    if (!window)
        return;
    const KVQPoint at{x, y};
    const int32_t vertBefore = vertBar.Pos, horzBefore = horzBar.Pos;
    if (forceVerScroll && vertBar.IsVisible && VertBarRect().Contains(at)) {
        vertBar.Press(window, VertBarRect(), x, y);
        Scrolled(vertBefore, horzBefore);
        return;
    }
    if (forceHorzScroll && horzBar.IsVisible && HorzBarRect().Contains(at)) {
        horzBar.Press(window, HorzBarRect(), x, y);
        Scrolled(vertBefore, horzBefore);
        return;
    }
    if (!Editable() || !window->IsCanFocus() || !ResolveRect(window->GetRect()).Contains(at))
        return;
    ClearSelection();
    mouseSelecting = true;
    SetCaret(IndexAtPoint(x, y));
    anchor = caret;
}

void CRenderObject_EditBox::OnMouseMove(int32_t x, int32_t y)
{
    CKVQWindow* window = Alive(GetOwner());
    if (!window)
        return;
    const int32_t vertBefore = vertBar.Pos, horzBefore = horzBar.Pos;
    if (vertBar.IsDragging() || horzBar.IsDragging()) {
        if (vertBar.IsDragging())
            vertBar.Move(window, VertBarRect(), x, y);
        if (horzBar.IsDragging())
            horzBar.Move(window, HorzBarRect(), x, y);
        Scrolled(vertBefore, horzBefore);
        return;
    }
    if (!mouseSelecting || !Editable())
        return;
    if (!GetCoreCfg().IsClickDown) {
        mouseSelecting = false;  // released where the window could not hear it
        return;
    }
    if (!ResolveRect(window->GetRect()).Contains(KVQPoint{x, y}))
        return;
    SetCaret(IndexAtPoint(x, y));
    SetSelection(static_cast<int32_t>(caret), static_cast<int32_t>(anchor));
}

void CRenderObject_EditBox::OnMouseUp()
{
    vertBar.Release();
    horzBar.Release();
    if (Editable())
        mouseSelecting = false;
}

void CRenderObject_EditBox::OnWheel(int32_t delta)
{
    CKVQWindow* window = Alive(GetOwner());
    CKVQFont* font = GetFont();
    if (!forceVerScroll || !window || !font || delta == 0)
        return;
    // Away from the user (a positive delta) shows earlier lines.
    const int64_t lines = int64_t{delta} * kWheelLines / kWheelNotch;
    const int32_t vertBefore = vertBar.Pos, horzBefore = horzBar.Pos;
    vertBar.SetPosition(window, Clamp32(int64_t{vertBar.Pos} - lines * Clamp32(Saturate(LinePitch(*font)))));
    Scrolled(vertBefore, horzBefore);
}

void CRenderObject_EditBox::OnSetScrollPosition(int32_t p)
{
    const RenderDispatchScope keep;
    CKVQWindow* window = Alive(GetOwner());
    if (!window)
        return;
    const int32_t vertBefore = vertBar.Pos, horzBefore = horzBar.Pos;
    if (forceVerScroll && vertBar.IsVisible)
        vertBar.SetPosition(window, p);
    // A handler of the vertical bar's message may have deleted the window.
    if (forceHorzScroll && horzBar.IsVisible && Alive(window))
        horzBar.SetPosition(window, p);
    Scrolled(vertBefore, horzBefore);
}

void CRenderObject_EditBox::OnBarTimer(CScrollBar& bar, int32_t direction)
{
    // A bar of the window itself repeats under the same names: only a running repeat is ours.
    if (!bar.IsRepeating())
        return;
    const int32_t vertBefore = vertBar.Pos, horzBefore = horzBar.Pos;
    bar.Repeat(Alive(GetOwner()), direction);
    Scrolled(vertBefore, horzBefore);
}

void CRenderObject_EditBox::Scrolled(int32_t vertBefore, int32_t horzBefore)
{
    if (vertBar.Pos == vertBefore && horzBar.Pos == horzBefore)
        return;
    Changed();
}

// ---- font and formatting ----

CKVQFont* CRenderObject_EditBox::GetFont()
{
    // Looked up by name each time (the manager keeps one font per file); a file that cannot be
    // had is not asked for again until FontFile changes.
    if (fontFailed_)
        return nullptr;
    font_ = CKVQFontMgr::Instance().GetFont(FontFile.c_str());
    if (!font_) {
        fontFailed_ = true;
        platform::WriteDebugOutput(kNoFontText);
    }
    return font_;
}

bool CRenderObject_EditBox::HaveFrame(Frame& frame)
{
    CKVQWindow* window = Alive(GetOwner());
    CKVQFont* font = GetFont();
    if (!window || !font)
        return false;
    frame = MakeFrame(ResolveRect(window->GetRect()));
    return true;
}

CRenderObject_EditBox::Frame CRenderObject_EditBox::MakeFrame(const KVQRect& layout) const
{
    Frame f;
    f.layout = layout;
    KVQRect a = layout;
    a.left = wrap32::Sub(a.left, HorzOffset());
    a.right = wrap32::Sub(a.right, HorzOffset());
    a.top = wrap32::Sub(a.top, VertOffset());
    a.bottom = wrap32::Sub(a.bottom, VertOffset());
    if (forceHorzScroll && horzBar.IsVisible)
        a.right = wrap32::Add(a.right, Range(horzBar));
    if (forceVerScroll && vertBar.IsVisible)
        a.bottom = wrap32::Add(a.bottom, Range(vertBar));
    f.area = a;
    f.top = a.top;
    if ((Aligned == CENTRED || Aligned == WORD_WRAP_CENTRED) && font_) {
        const double block = static_cast<double>(font_->GetLineHeight()) * static_cast<double>(lines_.size()) * Scale();
        f.top = Clamp32(static_cast<int64_t>(a.top) + Saturate((a.Height() - block) / 2));
    }
    return f;
}

float CRenderObject_EditBox::Scale() const
{
    return ScaleInRange(fScale) ? fScale : 1.0f;  // an attribute write may put anything there
}

bool CRenderObject_EditBox::EnsureFormatted()
{
    return formatted_ || Format();
}

bool CRenderObject_EditBox::Format()
{
    CKVQWindow* window = Alive(GetOwner());
    CKVQFont* font = GetFont();
    if (!window || !font)
        return false;
    const KVQRect layout = ResolveRect(window->GetRect());
    FontScope scope(*font, Scale(), isPassword != 0);
    int64_t width = layout.Width();
    if (forceHorzScroll)
        width += Range(horzBar);
    FormatInto(*font, Clamp32(width));
    return true;
}

void CRenderObject_EditBox::FormatInto(CKVQFont& font, int32_t width)
{
    lines_.clear();
    widest_ = 0;
    const std::u16string_view text = GetUnits();
    const bool wrap = Aligned >= WORD_WRAP_LEFT_ALIGNED && Aligned <= WORD_WRAP_JUSTIFIED && width > 0;
    const auto add = [this](size_t start, size_t length, int32_t w) {
        lines_.push_back(Line{static_cast<int32_t>(start), static_cast<int32_t>(length), w});
        widest_ = std::max(widest_, w);
    };
    size_t start = 0;
    while (start < text.size()) {  // the empty rest after a final line feed is no line
        const size_t feed = text.find(kLineFeed, start);
        const size_t contentEnd = feed == std::u16string_view::npos ? text.size() : feed;
        const size_t end = feed == std::u16string_view::npos ? text.size() : feed + 1;
        if (!wrap) {
            add(start, end - start, MeasureUnits(font, text.substr(start, contentEnd - start)));
            start = end;
            continue;
        }
        size_t lineStart = start;
        int64_t lineWidth = 0;
        size_t i = start;
        while (i < contentEnd) {
            size_t tokenEnd = kDelimiters.find(text[i]) != std::u16string_view::npos
                                  ? i + 1
                                  : std::min(text.find_first_of(kDelimiters, i), contentEnd);
            const std::u16string_view token = text.substr(i, tokenEnd - i);
            const int32_t w = MeasureUnits(font, token);
            if (lineWidth + w <= width) {
                lineWidth += w;
                i = tokenEnd;
                continue;
            }
            if (i > lineStart) {  // the token starts the next line
                add(lineStart, i - lineStart, Clamp32(lineWidth));
                lineStart = i;
                lineWidth = 0;
                continue;
            }
            // Not even alone: as many units as fit, at least one.
            const size_t k = static_cast<size_t>(std::max(FitUnits(font, token, width), 1));
            const int32_t pieceWidth = MeasureUnits(font, text.substr(i, k));
            i += k;
            // The piece that ends the paragraph takes its line feed along.
            add(i - k, i == contentEnd ? end - (i - k) : k, pieceWidth);
            lineStart = i == contentEnd ? end : i;
        }
        if (end > lineStart)  // the rest, with the paragraph's line feed
            add(lineStart, end - lineStart, Clamp32(lineWidth));
        start = end;
    }
    lineCount = static_cast<int32_t>(lines_.size());
    formatted_ = true;
}

int32_t CRenderObject_EditBox::MeasureUnits(CKVQFont& font, std::u16string_view units)
{
    if (isPassword) {
        const std::u16string masked(units.size(), kPasswordMask);
        return font.GetTextWidth(masked);
    }
    return font.GetTextWidth(units);
}

int32_t CRenderObject_EditBox::FitUnits(CKVQFont& font, std::u16string_view units, int32_t width)
{
    size_t k = 0;
    if (isPassword) {
        const std::u16string masked(units.size(), kPasswordMask);
        k = font.IndexAtWidth(masked, 0, width);
    } else {
        k = font.IndexAtWidth(units, 0, width);
    }
    return static_cast<int32_t>(std::min(k, units.size()));
}

std::u16string_view CRenderObject_EditBox::LineText(const Line& line) const
{
    const std::u16string_view text = GetUnits();
    const auto start = std::min(static_cast<size_t>(std::max(line.start, 0)), text.size());
    std::u16string_view units = text.substr(start, static_cast<size_t>(std::max(line.length, 0)));
    if (!units.empty() && units.back() == kLineFeed)
        units.remove_suffix(1);
    return units;
}

int32_t CRenderObject_EditBox::FitInLine(CKVQFont& font, const Line& line, int32_t width)
{
    const int32_t k = FitUnits(font, LineText(line), width);
    // Past a row's end the caret stands before its last unit: a wrapped row has no line feed of
    // its own, and its length is where the next row starts.
    const std::u16string_view text = GetUnits();
    if (k >= line.length && line.length > 0 && !text.empty() && text.back() == kLineFeed)
        return line.length - 1;
    return k;
}

int32_t CRenderObject_EditBox::WidthInLine(CKVQFont& font, const Line& line, int32_t count)
{
    const std::u16string_view units = LineText(line);
    const auto n = static_cast<size_t>(std::clamp<int64_t>(count, 0, static_cast<int64_t>(units.size())));
    return MeasureUnits(font, units.substr(0, n));
}

int32_t CRenderObject_EditBox::LineLeft(const Frame& frame, const Line& line) const
{
    const int64_t space = int64_t{frame.area.Width()} - line.width;
    switch (Aligned) {
    case RIGHT_ALIGNED:
    case WORD_WRAP_RIGHT_ALIGNED:
        return Clamp32(frame.area.left + space);
    case CENTRED:
    case WORD_WRAP_CENTRED:
        return Clamp32(frame.area.left + space / 2);
    default:
        return frame.area.left;
    }
}

float CRenderObject_EditBox::LinePitch(const CKVQFont& font) const
{
    return static_cast<float>(font.GetLineHeight()) * Scale();
}

int32_t CRenderObject_EditBox::LineTop(const Frame& frame, const CKVQFont& font, size_t line) const
{
    return Clamp32(frame.top + Saturate(static_cast<double>(line) * LinePitch(font)));
}

int32_t CRenderObject_EditBox::LineOfCaret() const
{
    if (lines_.empty())
        return 0;
    const auto last = static_cast<int32_t>(lines_.size()) - 1;
    if (static_cast<int64_t>(caret) + 1 >= GetLength())
        return last;
    // The lines are in text order: the last one that starts at or before the caret holds it.
    const auto after = std::upper_bound(lines_.begin(), lines_.end(), static_cast<int32_t>(caret),
                                        [](int32_t c, const Line& l) { return c < l.start; });
    return after == lines_.begin() ? 0 : static_cast<int32_t>(after - lines_.begin()) - 1;
}

int32_t CRenderObject_EditBox::IndexAtPoint(int32_t x, int32_t y)
{
    Frame frame;
    if (!EnsureFormatted() || lines_.empty() || !HaveFrame(frame))
        return 0;
    CKVQFont& font = *font_;
    FontScope scope(font, Scale(), isPassword != 0);
    const float pitch = LinePitch(font);
    const double down = static_cast<double>(y) - frame.top;
    int64_t line = pitch > 0.0f ? Saturate(std::floor(down / pitch)) : 0;
    line = std::clamp<int64_t>(line, 0, static_cast<int64_t>(lines_.size()) - 1);
    const Line& l = lines_[static_cast<size_t>(line)];
    const int32_t k = FitInLine(font, l, Clamp32(int64_t{x} - LineLeft(frame, l)));
    return l.start + k;
}

KVQRect CRenderObject_EditBox::CaretRect()
{
    Frame frame;
    if (!HaveFrame(frame))
        return {};
    EnsureFormatted();
    frame = MakeFrame(frame.layout);  // the line count may have changed the centring
    FontScope scope(*font_, Scale(), isPassword != 0);
    return CaretRectIn(frame, *font_);
}

KVQRect CRenderObject_EditBox::CaretRectIn(const Frame& frame, CKVQFont& font)
{
    const int32_t pitch = Clamp32(Saturate(LinePitch(font)));
    int32_t x = frame.area.left, y = frame.top;
    if (!lines_.empty()) {
        const auto at = static_cast<size_t>(LineOfCaret());
        const Line& line = lines_[at];
        x = Clamp32(int64_t{LineLeft(frame, line)} + WidthInLine(font, line, static_cast<int32_t>(caret) - line.start));
        y = LineTop(frame, font, at);
    }
    return {x, wrap32::Add(x, 1), y, wrap32::Add(y, pitch)};
}

void CRenderObject_EditBox::ScrollCaretIntoView()
{
    CKVQWindow* window = Alive(GetOwner());
    if ((!forceVerScroll && !forceHorzScroll) || !window || !EnsureFormatted() || lines_.empty())
        return;
    Frame frame;
    if (!HaveFrame(frame))
        return;
    CKVQFont& font = *font_;
    FontScope scope(font, Scale(), isPassword != 0);
    const int32_t vertBefore = vertBar.Pos, horzBefore = horzBar.Pos;
    const auto at = static_cast<size_t>(LineOfCaret());
    const Line& line = lines_[at];
    const KVQRect& l = frame.layout;
    if (forceVerScroll) {
        const int64_t pitch = Clamp32(Saturate(LinePitch(font)));
        const int64_t y = Clamp32(Saturate(static_cast<double>(at) * LinePitch(font))) - int64_t{vertBar.Pos};
        if (y < 0)
            vertBar.SetPosition(window, Clamp32(vertBar.Pos + y));
        else if (y + pitch > l.Height())
            vertBar.SetPosition(window, Clamp32(vertBar.Pos + (y + pitch - l.Height()) + pitch));
    }
    if (forceHorzScroll) {
        // The caret's offset from the text's left edge, as drawn, less the scroll.
        const int64_t x = int64_t{LineLeft(frame, line)} - frame.area.left +
                          WidthInLine(font, line, static_cast<int32_t>(caret) - line.start) - horzBar.Pos;
        if (x < 0)
            horzBar.SetPosition(window, Clamp32(horzBar.Pos + x - kHorizontalMargin));
        else if (x > l.Width())
            horzBar.SetPosition(window, Clamp32(horzBar.Pos + x - l.Width() + kHorizontalMargin));
    }
    Scrolled(vertBefore, horzBefore);
}

KVQRect CRenderObject_EditBox::VertBarRect()
{
    CKVQWindow* window = Alive(GetOwner());
    return window ? vertBar.ResolveRect(ResolveRect(window->GetRect())) : KVQRect{};
}

KVQRect CRenderObject_EditBox::HorzBarRect()
{
    CKVQWindow* window = Alive(GetOwner());
    return window ? horzBar.ResolveRect(ResolveRect(window->GetRect())) : KVQRect{};
}

// ---- drawing ----

void CRenderObject_EditBox::Draw(const KVQRect& windowRect)
{
    CKVQDC* dc = GetCurrentDevice();
    CKVQFont* font = GetFont();
    if (!dc || !font)
        return;
    const KVQRect layout = ResolveRect(windowRect);
    {
        FontScope scope(*font, Scale(), isPassword != 0);
        dc->PushClip(layout, 0);
        if (GetLength() > 0) {
            if (!formatted_) {
                int64_t width = layout.Width();
                if (forceHorzScroll)
                    width += Range(horzBar);
                FormatInto(*font, Clamp32(width));
            }
            const Frame frame = MakeFrame(layout);
            const bool outline = font->drawOutline;
            const RGBA outlineColor = font->outlineColor;
            font->SetOutline(isDrawFrame != 0, frameColor);
            DrawLines(frame, *font);
            font->SetOutline(outline, outlineColor);
        }
        CKVQWindow* window = Alive(GetOwner());
        if (window && window->IsFocus() && Editable() && caretShown_)
            DrawCaret(MakeFrame(layout), *font);
        dc->PopClip();
    }
    if (forceHorzScroll)
        horzBar.DrawBar(horzBar.ResolveRect(layout));
    if (forceVerScroll)
        vertBar.DrawBar(vertBar.ResolveRect(layout));
}

void CRenderObject_EditBox::DrawLines(const Frame& frame, CKVQFont& font)
{
    CKVQDC* dc = GetCurrentDevice();
    // A window that keeps a char cache replays the text it recorded: only what is not text
    // (selection backgrounds) is drawn again.
    bool replayed = false;
    for (CKVQWindow* w = Alive(GetOwner()); w; w = w->GetParent()) {
        if (w->IsBitSet(STATUS_IsCharCache)) {
            replayed = !w->CharCache().empty();
            break;
        }
    }
    const int32_t base = Aligned >= LEFT_ALIGNED && Aligned <= WORD_WRAP_JUSTIFIED ? Aligned & 3 : LEFT_ALIGNED;
    const uint32_t normal = PackColor(normalTextColour);
    const uint32_t selected = PackColor(selectTextColour);
    const int32_t pitch = Clamp32(Saturate(LinePitch(font)));
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        const std::u16string_view units = LineText(line);
        const int32_t top = LineTop(frame, font, i);
        const KVQRect r{frame.area.left, frame.area.right, top, wrap32::Add(top, pitch)};
        const auto lineEnd = static_cast<uint32_t>(line.start + line.length);
        const bool overlaps =
            HasSelection() && selectionStart < lineEnd && selectionEnd > static_cast<uint32_t>(line.start);
        if (!overlaps) {
            if (replayed)
                continue;
            // Wrapped rows are already cut: the font aligns them without wrapping again. A row
            // of a justified wrap is stretched only when it ended at a space, not at the end of
            // its paragraph or inside a word.
            const bool endsParagraph = units.size() + 1 == static_cast<size_t>(line.length);
            const bool endsAtSpace = !units.empty() && kDelimiters.find(units.back()) != std::u16string_view::npos;
            const bool unstretched = Aligned == WORD_WRAP_JUSTIFIED && (endsParagraph || !endsAtSpace);
            font.DrawText(units, r, unstretched ? LEFT_ALIGNED : base, normal);
            continue;
        }
        // Before, inside and after the selection, each from where the previous part ends.
        const auto from = static_cast<size_t>(std::max<int64_t>(int64_t{selectionStart} - line.start, 0));
        const auto to = static_cast<size_t>(
            std::clamp<int64_t>(int64_t{selectionEnd} - line.start, 0, static_cast<int64_t>(units.size())));
        const size_t a = std::min(from, units.size()), b = std::max(a, to);
        const int32_t x0 = LineLeft(frame, line);
        const int32_t x1 = Clamp32(int64_t{x0} + MeasureUnits(font, units.substr(0, a)));
        const int32_t x2 = Clamp32(int64_t{x1} + MeasureUnits(font, units.substr(a, b - a)));
        if (dc)
            dc->FillRect(KVQRect{x1, x2, r.top, r.bottom}, PackColor(selectColour));
        if (replayed)
            continue;
        font.DrawText(units.substr(0, a), KVQRect{x0, r.right, r.top, r.bottom}, LEFT_ALIGNED, normal);
        font.DrawText(units.substr(a, b - a), KVQRect{x1, r.right, r.top, r.bottom}, LEFT_ALIGNED, selected);
        font.DrawText(units.substr(b), KVQRect{x2, r.right, r.top, r.bottom}, LEFT_ALIGNED, normal);
    }
}

void CRenderObject_EditBox::DrawCaret(const Frame& frame, CKVQFont& font)
{
    CKVQDC* dc = GetCurrentDevice();
    if (!dc)
        return;
    const KVQRect r = CaretRectIn(frame, font);
    dc->SetBlendMode(BLEND_XORDEST);
    dc->DrawLine(r.TopLeft(), r.BottomLeft(), kCaretColor);
    dc->SetBlendMode(BlendMode);  // the mode the window set for this object
}
