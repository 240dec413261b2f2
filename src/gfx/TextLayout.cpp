// Text in a rectangle: the eight layout modes, word wrapping and justification, and the measure of
// the widest line. Lines are separated by line feeds; y starts at the top of the rectangle and
// moves down one scaled line height per drawn line or row.

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

#include "gfx/DC.h"
#include "gfx/Font.h"
#include "gfx/FontMath.h"

namespace {

struct Span {
    size_t begin = 0;
    size_t end = 0;
};

std::vector<Span> SplitLines(std::u16string_view text)
{
    std::vector<Span> lines;
    size_t begin = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n') {
            lines.push_back(Span{begin, i});
            begin = i + 1;
        }
    }
    lines.push_back(Span{begin, text.size()});
    return lines;
}

bool IsSpace(char16_t c)
{
    return c == u' ' || c == u'\t';
}

bool EndsWord(char16_t c)
{
    return c >= 128 || c == u'\n' || c == u'\t' || c == u'\r' || c == u' ';
}

// A word starts at any character; one below 129 runs on over the ASCII characters that follow it
// up to a line feed, tab, carriage return or space. So every other character is a word by itself,
// and a space starts the word that follows it.
size_t WordEnd(std::u16string_view text, size_t pos, size_t end)
{
    size_t i = pos + 1;
    if (text[pos] < 129) {
        while (i < end && !EndsWord(text[i]))
            ++i;
    }
    return i;
}

int64_t CountSpaces(std::u16string_view text, size_t begin, size_t end)
{
    return std::count_if(text.begin() + static_cast<std::ptrdiff_t>(begin),
                         text.begin() + static_cast<std::ptrdiff_t>(end), IsSpace);
}

// One row of a wrapped line: its characters, its width, and whether it was cut inside a word or
// is the line's last row (neither is justified).
struct Row {
    Span span;
    int64_t width = 0;
    bool cut = false;
    bool last = false;
};

enum : int32_t { kFirstWrapMode = FONT_WRAP_LEFT, kLastWrapMode = FONT_WRAP_JUSTIFIED };

bool IsWrapMode(int32_t mode)
{
    return mode >= kFirstWrapMode && mode <= kLastWrapMode;
}

// The rows of one line wrapped into width W. A row ends before the word that would take it past
// W; a word wider than W on its own is cut by characters (as many as stay below W, at least one).
template <typename EmitRow>
void WrapLine(std::u16string_view text, Span line, int64_t W, const std::vector<int32_t>& advance,
                     EmitRow&& emit)
{
    size_t rowStart = line.begin, pos = line.begin;
    int64_t rowWidth = 0;
    bool emitted = false;
    while (pos < line.end) {
        const size_t wordEnd = WordEnd(text, pos, line.end);
        int64_t wordWidth = 0;
        for (size_t i = pos; i < wordEnd; ++i)
            wordWidth += advance[i];
        if (rowWidth + wordWidth <= W) {
            rowWidth += wordWidth;
            pos = wordEnd;
            continue;
        }
        if (rowStart < pos) {
            emit(Row{Span{rowStart, pos}, rowWidth, false, false});
            emitted = true;
            rowStart = pos;
            rowWidth = 0;
            continue;
        }
        size_t k = pos;
        int64_t taken = 0;
        while (k < wordEnd && (k == pos || taken + advance[k] < W))
            taken += advance[k++];
        emit(Row{Span{rowStart, k}, taken, true, k == line.end});
        emitted = true;
        rowStart = pos = k;
    }
    if (rowStart < line.end || !emitted)
        emit(Row{Span{rowStart, line.end}, rowWidth, false, true});
}

// What the layout needs of the font, computed once per call: every character's scaled advance.
std::vector<int32_t> Advances(CKVQFont& font, std::u16string_view text)
{
    std::vector<int32_t> advance(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        advance[i] = font_math::Scaled(font.GetCharAdvance(static_cast<uint16_t>(text[i])), font.GetScale());
    return advance;
}

int64_t SpanWidth(const std::vector<int32_t>& advance, Span s)
{
    int64_t width = 0;
    for (size_t i = s.begin; i < s.end; ++i)
        width += advance[i];
    return width;
}

}  // namespace

void CKVQFont::DrawText(std::u16string_view text, const KVQRect& r, int32_t mode, uint32_t color)
{
    if (GetCurrentDevice() == nullptr)
        return;
    using font_math::Clamp32;
    const std::vector<int32_t> advance = Advances(*this, text);
    const std::vector<Span> lines = SplitLines(text);
    const int64_t left = r.left, right = r.right;
    const int64_t W = right - left, H = int64_t{r.bottom} - r.top;
    const int64_t lineStep = font_math::Scaled(lineHeight, scale);
    int64_t y = r.top;

    auto draw = [&](Span s, int64_t x, int64_t extra) {
        DrawRun(text.substr(s.begin, s.end - s.begin), Clamp32(x), Clamp32(y), color, Clamp32(extra));
        y += lineStep;
    };
    auto spaces = [&](Span s) { return password ? 0 : CountSpaces(text, s.begin, s.end); };

    if (IsWrapMode(mode)) {
        for (const Span& line : lines) {
            WrapLine(text, line, W, advance, [&](const Row& row) {
                int64_t x = left, extra = 0;
                if (mode == FONT_WRAP_RIGHT)
                    x = right - row.width;
                else if (mode == FONT_WRAP_CENTRED)
                    x = left + (W - row.width) / 2;
                else if (mode == FONT_WRAP_JUSTIFIED && !row.cut && !row.last) {
                    if (const int64_t n = spaces(row.span))
                        extra = std::max<int64_t>(0, (W - row.width) / n);
                }
                draw(row.span, x, extra);
            });
        }
        UploadChangedPages();
        return;
    }

    int64_t widest = 0;
    if (mode == FONT_JUSTIFIED) {
        widest = W;
        for (const Span& line : lines)
            widest = std::max(widest, SpanWidth(advance, line));
    }
    if (mode == FONT_CENTRED) {
        const double block = static_cast<double>(lineHeight) * static_cast<double>(lines.size()) * scale;
        y = r.top + (H - font_math::Clamp32(block)) / 2;
    }
    for (const Span& line : lines) {
        const int64_t width = SpanWidth(advance, line);
        int64_t x = left, extra = 0;
        if (mode == FONT_RIGHT)
            x = right - width;
        else if (mode == FONT_CENTRED)
            x = left + (W - width) / 2;
        else if (mode == FONT_JUSTIFIED) {
            if (const int64_t n = spaces(line))
                extra = (widest - width) / n;
        }
        draw(line, x, extra);
    }
    UploadChangedPages();
}

int32_t CKVQFont::MeasureWidestLine(std::u16string_view text, const KVQRect& r, int32_t mode)
{
    const std::vector<int32_t> advance = Advances(*this, text);
    const int64_t W = int64_t{r.right} - r.left;
    int64_t widest = 0;
    for (const Span& line : SplitLines(text)) {
        if (IsWrapMode(mode)) {
            WrapLine(text, line, W, advance, [&](const Row& row) { widest = std::max(widest, row.width); });
            if (mode == FONT_WRAP_JUSTIFIED)
                widest = std::max(widest, W);
        } else if (mode == FONT_JUSTIFIED) {
            widest = std::max({widest, SpanWidth(advance, line), W});
        } else {
            widest = std::max(widest, SpanWidth(advance, line));
        }
    }
    return font_math::Clamp32(widest);
}
