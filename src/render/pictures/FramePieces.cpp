#include "render/pictures/FramePieces.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "gfx/DC.h"
#include "io/Archive.h"
#include "io/EditHook.h"
#include "ui/Message.h"

namespace frame_pieces {

namespace {

constexpr const char* kRectGroup = "Rect";
// How far past its landing a copy can draw: the one-pixel outline. A turned copy adds nothing,
// since the devices cut the unturned destination to the clip before turning it; counting its
// other side here would let a piece long across the strip make every copy of the strip "visible".
constexpr int64_t kOutlineMargin = 2;

int64_t FloorDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// The copies k in [first, last) of an extent [low, high] stepped by step (> 0) that come within
// margin of the visible span [from, to).
void VisibleCopies(int64_t low, int64_t high, int64_t step, int64_t count, int64_t from, int64_t to,
                   int64_t margin, int64_t& first, int64_t& last)
{
    first = std::max<int64_t>(0, FloorDiv(from - margin - high, step));
    last = std::min<int64_t>(count, FloorDiv(to + margin - low, step) + 1);
}

KVQRect Moved(const KVQRect& r, int64_t dx, int64_t dy)
{
    const auto x = static_cast<int32_t>(dx);
    const auto y = static_cast<int32_t>(dy);
    return {wrap32::Add(r.left, x), wrap32::Add(r.right, x), wrap32::Add(r.top, y), wrap32::Add(r.bottom, y)};
}

// Pushes a clip for the lifetime of the scope.
class ScopedClip {
public:
    ScopedClip(CKVQDC& dc, const KVQRect& rect) : dc_(dc) { dc_.PushClip(rect, 0); }
    ~ScopedClip() { dc_.PopClip(); }
    ScopedClip(const ScopedClip&) = delete;
    ScopedClip& operator=(const ScopedClip&) = delete;

private:
    CKVQDC& dc_;
};

}  // namespace

int64_t TileCount(int32_t length, int32_t tile)
{
    if (tile <= 0 || length <= 0)
        return 0;
    return (int64_t{length} + tile - 1) / tile;
}

// ---- records, attributes, commands ----

void Transfer(CIArchive& ar, std::span<const Piece> pieces)
{
    for (const Piece& p : pieces)
        p.sprite->Transfer(ar, p.name);
}

void Describe(CIEditHook& hook, std::span<const Piece> pieces)
{
    for (const Piece& p : pieces)
        p.sprite->Describe(hook, p.name);
}

bool ExecuteRectCommand(const char* groupPath, const char* command, std::span<const Piece> pieces)
{
    if (!groupPath || !command)
        return false;
    // "...:PIECE:Rect"
    const char* last = std::strrchr(groupPath, ':');
    if (!last || std::strcmp(last + 1, kRectGroup) != 0)
        return false;
    const char* begin = last;
    while (begin > groupPath && begin[-1] != ':')
        --begin;
    const auto length = static_cast<size_t>(last - begin);
    for (const Piece& p : pieces) {
        if (std::strlen(p.name) == length && std::strncmp(begin, p.name, length) == 0)
            return p.sprite->ExecuteRectCommand(command);
    }
    return false;
}

void Zoom(std::span<const Piece> pieces, float zoom)
{
    for (const Piece& p : pieces) {
        p.sprite->fScaleX *= zoom;
        p.sprite->fScaleY *= zoom;
    }
}

bool ReadZoom(CKVQMessage* message, float& zoom)
{
    zoom = 0.0f;
    return message && message->Float(zoom) >= 0;
}

// ---- drawing ----

Painter::Painter(CKVQDC& dc, const KVQRect& layout) : dc_(dc), layout_(layout) {}

KVQRect Painter::At(int32_t left, int32_t top, int32_t right, int32_t bottom) const
{
    return {wrap32::Add(layout_.left, left), wrap32::Add(layout_.left, right), wrap32::Add(layout_.top, top),
            wrap32::Add(layout_.top, bottom)};
}

void Painter::Draw(Sprite& piece, const KVQRect& target) const
{
    piece.Draw(target);
}

void Painter::TileAcross(Sprite& piece, const KVQRect& strip, int32_t tileWidth) const
{
    ScopedClip clip(dc_, strip);
    const KVQRect cell{strip.left, wrap32::Add(strip.left, tileWidth), strip.top, strip.bottom};
    Repeat(piece, cell, tileWidth, 0, TileCount(strip.Width(), tileWidth));
}

void Painter::TileDown(Sprite& piece, const KVQRect& strip, int32_t tileHeight) const
{
    ScopedClip clip(dc_, strip);
    Repeat(piece, strip, 0, tileHeight, TileCount(strip.Height(), tileHeight));
}

void Painter::TileArea(Sprite& piece, const KVQRect& area, int32_t tileWidth, int32_t tileHeight) const
{
    ScopedClip clip(dc_, area);
    const int64_t rows = TileCount(area.Height(), tileHeight);
    const int64_t columns = TileCount(area.Width(), tileWidth);
    if (rows == 0 || columns == 0)
        return;
    KVQRect visible;
    if (!Visible(visible))
        return;
    const KVQRect cell{area.left, wrap32::Add(area.left, tileWidth), area.top, wrap32::Add(area.top, tileHeight)};
    const KVQRect landing = piece.GetDestRect(cell);
    int64_t first = 0, last = 0;
    VisibleCopies(std::min(landing.top, landing.bottom), std::max(landing.top, landing.bottom), tileHeight, rows,
                  visible.top, visible.bottom, kOutlineMargin, first, last);
    for (int64_t row = first; row < last; ++row)
        Repeat(piece, Moved(cell, 0, row * tileHeight), tileWidth, 0, columns);
}

bool Painter::Visible(KVQRect& visible) const
{
    dc_.GetClip(visible);
    // Inside a pushed strip an empty clip means the strip shows nowhere.
    return !visible.IsEmpty();
}

void Painter::Repeat(Sprite& piece, const KVQRect& target, int32_t stepX, int32_t stepY, int64_t count) const
{
    // A piece whose image is missing draws nothing: it is looked for once, not once for every copy.
    if (count <= 0 || piece.Resolve() == -1)
        return;
    KVQRect visible;
    if (!Visible(visible))
        return;
    // Every copy lands at the same place inside its own target, so the first one's landing, moved
    // by the step, is every copy's.
    const KVQRect landing = piece.GetDestRect(target);
    int64_t first = 0, last = count;
    if (stepX > 0)
        VisibleCopies(std::min(landing.left, landing.right), std::max(landing.left, landing.right), stepX, count,
                      visible.left, visible.right, kOutlineMargin, first, last);
    else if (stepY > 0)
        VisibleCopies(std::min(landing.top, landing.bottom), std::max(landing.top, landing.bottom), stepY, count,
                      visible.top, visible.bottom, kOutlineMargin, first, last);
    for (int64_t k = first; k < last; ++k)
        piece.Draw(Moved(target, k * stepX, k * stepY));
}

}  // namespace frame_pieces
