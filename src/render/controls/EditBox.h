#pragma once
// A multi-line text editor drawn inside its window with a font: a caret, selection by Shift and
// the caret keys or by the mouse, the usual editing keys, eight formatting modes (left, right,
// centred, justified, each with or without word wrap), password display, a glyph outline, and two
// embedded scroll bars whose positions scroll the text.
//
// The text is kept as 16-bit units and, once edited, always ends with one line feed; "length"
// counts that line feed. The box reports its changes to its window with empty messages
// ("OnTextChanged", "OnEditBoxFull", "OnCaratMoved", "OnTextSelectionChanged").

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/EngineString.h"
#include "common/Types.h"
#include "render/Render.h"
#include "render/controls/HorzScrollBar.h"
#include "render/controls/VertScrollBar.h"

class CKVQFont;
class CKVQWindow;

class CRenderObject_EditBox : public IRender {
public:
    static constexpr const char* kClassName = "EditBox";

    // Engine key codes of the editing keys.
    enum Key : int32_t {
        KEY_BACKSPACE = 27,
        KEY_SHIFT = 55,
        KEY_RETURN = 67,
        KEY_DELETE = 69,
        KEY_HOME = 70,
        KEY_END = 71,
        KEY_UP = 74,
        KEY_RIGHT = 75,
        KEY_DOWN = 76,
        KEY_LEFT = 77,
    };
    enum Alignment : int32_t {
        LEFT_ALIGNED = 0,
        RIGHT_ALIGNED = 1,
        CENTRED = 2,
        JUSTIFIED = 3,
        WORD_WRAP_LEFT_ALIGNED = 4,
        WORD_WRAP_RIGHT_ALIGNED = 5,
        WORD_WRAP_CENTRED = 6,
        WORD_WRAP_JUSTIFIED = 7,
    };
    static constexpr int32_t kCursorInterval = 500;
    static constexpr int32_t kDefaultMaxTextLen = 1024;

    // One formatted line: where it starts in the text, how many units it holds (with its line
    // feed when it has one) and how wide its text is drawn.
    struct Line {
        int32_t start = 0;
        int32_t length = 0;
        int32_t width = 0;
        bool operator==(const Line& o) const = default;
    };

    CRenderObject_EditBox();
    ~CRenderObject_EditBox() override;  // kills the cursor timer

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;
    void Draw(const KVQRect& windowRect) override;
    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_EditBox); }
    // "Copy" and "Paste" on a sprite's "Rect" group of an embedded bar.
    bool ExecuteCommand(const char* groupPath, const char* command) override;

    static IRender* Create() { return new CRenderObject_EditBox; }

    // ---- text model ----
    // The units of the text (what the box edits and draws).
    std::u16string_view GetUnits() const;
    int32_t GetLength() const { return Text.GetLength(); }
    // Replaces the text (as a script's attribute write does) and brings the box up to date.
    void SetText(const CKVQString& text);
    // Appends a line feed when the text is empty or ends otherwise.
    void EnsureFinalLineFeed();
    // Changes maxTextLen; a longer text is cut to n units (the final line feed stays).
    void SetMaxTextLength(int32_t n);

    // ---- caret and selection ----
    int32_t GetCaret() const { return static_cast<int32_t>(caret); }
    int32_t GetSelectionStart() const { return static_cast<int32_t>(selectionStart); }
    int32_t GetSelectionEnd() const { return static_cast<int32_t>(selectionEnd); }
    bool HasSelection() const { return selectionStart != selectionEnd; }
    // Moves the caret (held within the text), scrolls it into view and sends "OnCaratMoved".
    void SetCaret(int32_t index);
    // Orders and limits the pair; sends "OnTextSelectionChanged" when it changes.
    void SetSelection(int32_t a, int32_t b);
    // An empty selection stays as it is; a selection becomes empty at the caret.
    void ClearSelection();

    // ---- input ----
    void TypeChar(uint32_t code);
    void PressKey(int32_t key);

    // ---- formatting and geometry ----
    // The font for FontFile (the manager keeps one per file); null when it cannot be had.
    CKVQFont* GetFont();
    // Cuts the text into lines for the window's rectangle; false without a font or a window.
    bool Format();
    const std::vector<Line>& GetLines() const { return lines_; }
    int32_t GetWidestWidth() const { return widest_; }
    int32_t LineOfCaret() const;
    // The text index under a point in the window's coordinates (screen coordinates of the layout).
    int32_t IndexAtPoint(int32_t x, int32_t y);
    // The caret's rectangle in the window's coordinates (1 pixel wide, one line high).
    KVQRect CaretRect();
    // Scrolls the embedded bars so that the caret shows inside the layout rectangle.
    void ScrollCaretIntoView();
    // Where the bars sit: their layouts resolved against the box's rectangle.
    KVQRect VertBarRect();
    KVQRect HorzBarRect();
    bool IsCaretShown() const { return caretShown_; }

    // Fields, named as the records and the editor name them.
    CKVQString FontFile;
    CKVQString Text;
    CKVQString symContent;
    int32_t Aligned = LEFT_ALIGNED;
    int32_t readOnly = 1;
    int32_t maxTextLen = kDefaultMaxTextLen;
    int32_t forceVerScroll = 0;
    int32_t forceHorzScroll = 0;
    int32_t lineCount = 0;
    float fScale = 1.0f;
    int32_t isPassword = 0;
    int32_t isDrawFrame = 0;
    RGBA frameColor{0, 0, 0, 255};
    RGBA normalTextColour{255, 255, 255, 255};
    RGBA selectTextColour{255, 255, 255, 255};
    RGBA selectColour{255, 255, 255, 255};
    RGBA inactiveColour{192, 192, 192, 255};
    uint32_t caret = 0;
    uint32_t selectionStart = 0;
    uint32_t selectionEnd = 0;
    uint32_t anchor = 0;
    bool mouseSelecting = false;
    uint32_t cursorTimer = 0;
    CRenderObject_VertScrollBar vertBar;
    CRenderObject_HorzScrollBar horzBar;

    // Handlers (the table registers them; tests call them through the window).
    void OnTextChanged();
    void OnZoom(float factor);
    void OnCapture();
    void OnLostCapture();
    void OnCursorTimer();
    void OnMouseDown(int32_t x, int32_t y);
    void OnMouseMove(int32_t x, int32_t y);
    void OnMouseUp();
    void OnBarTimer(CScrollBar& bar, int32_t direction);
    // "OnSetScrollPosition": the forced bars that show take the position.
    void OnSetScrollPosition(int32_t p);
    // A wheel turned by delta (120 a notch) scrolls the forced vertical bar by three lines a notch.
    void OnWheel(int32_t delta);
    // A change of FontFile: a font that could not be had is asked for again.
    void OnFontChanged();

private:
    // The rectangle the text is laid out in and the text area it is drawn in.
    struct Frame {
        KVQRect layout;  // the box's rectangle
        KVQRect area;    // layout moved by the forced bars' positions, grown by their ranges
        int32_t top = 0;  // area.top plus the vertical centring of modes 2 and 6
    };
    bool HaveFrame(Frame& frame);
    Frame MakeFrame(const KVQRect& layout) const;
    bool EnsureFormatted();
    void FormatInto(CKVQFont& font, int32_t width);
    // Units that fit in width from the start of line; once the text ends with its line feed, at
    // most up to the line's last unit (its line feed, or the last unit of a wrapped row).
    int32_t FitInLine(CKVQFont& font, const Line& line, int32_t width);
    int32_t WidthInLine(CKVQFont& font, const Line& line, int32_t count);
    int32_t MeasureUnits(CKVQFont& font, std::u16string_view units);
    int32_t FitUnits(CKVQFont& font, std::u16string_view units, int32_t width);
    std::u16string_view LineText(const Line& line) const;  // without its line feed
    int32_t LineLeft(const Frame& frame, const Line& line) const;
    float LinePitch(const CKVQFont& font) const;
    // fScale, or 1 when it holds no usable scale.
    float Scale() const;
    int32_t LineTop(const Frame& frame, const CKVQFont& font, size_t line) const;
    KVQRect CaretRectIn(const Frame& frame, CKVQFont& font);
    void DrawLines(const Frame& frame, CKVQFont& font);
    void DrawCaret(const Frame& frame, CKVQFont& font);

    // Edits.
    bool Editable() const;
    void DeleteSelection();
    void InsertUnit(uint16_t unit);
    void EraseUnits(int32_t start, int32_t count);
    void Send(const char* name);
    // The text, caret or selection changed: the window's char caches, the window's rectangle.
    void Changed();
    void InvalidateCaret();
    void PlaceInputMethod();
    // A bar's position changed by the mouse or its timer.
    void Scrolled(int32_t vertBefore, int32_t horzBefore);
    int32_t VertOffset() const { return forceVerScroll ? vertBar.Pos : 0; }
    int32_t HorzOffset() const { return forceHorzScroll ? horzBar.Pos : 0; }

    std::vector<Line> lines_;
    bool formatted_ = false;
    int32_t widest_ = 0;
    CKVQFont* font_ = nullptr;  // what the last GetFont answered
    bool fontFailed_ = false;  // FontFile cannot be had: not asked for again until it changes
    bool caretShown_ = true;
};
