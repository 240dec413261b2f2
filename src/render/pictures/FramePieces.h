#pragma once
// What the frames built from separate pictures share: their pieces named in a table (the record
// keeps one order, the editor another), "OnZoom" and the "Rect" buttons of every piece, and the
// drawing of a piece tiled along a strip or over an area inside a clip.

#include <cstdint>
#include <span>

#include "common/Types.h"
#include "render/pictures/Sprite.h"

class CIArchive;
class CIEditHook;
class CKVQDC;
class CKVQMessage;
class CKVQWindow;
class IRender;

namespace frame_pieces {

// The group every frame describes itself in.
constexpr const char* kGroup = "Picture";

struct Piece {
    const char* name;
    Sprite* sprite;
};

// The pieces' records, in the order given (the storage order).
void Transfer(CIArchive& ar, std::span<const Piece> pieces);
// One sprite group per piece, in the order given (the editor's order).
void Describe(CIEditHook& hook, std::span<const Piece> pieces);
// "Copy" and "Paste" on the "Rect" group of the piece that the group path ends in.
bool ExecuteRectCommand(const char* groupPath, const char* command, std::span<const Piece> pieces);
// Multiplies every piece's scale by zoom.
void Zoom(std::span<const Piece> pieces, float zoom);
// The zoom factor an "OnZoom" message carries; false when it carries none.
bool ReadZoom(CKVQMessage* message, float& zoom);

// Draws the pieces of one frame inside its layout rectangle L. Strips and areas are given relative
// to L's top-left corner, as the frame's geometry is written; each one is pushed as a clip while its
// piece is drawn and popped after it, so the clip stack is what it was between any two calls.
class Painter {
public:
    Painter(CKVQDC& dc, const KVQRect& layout);

    int32_t Width() const { return layout_.Width(); }
    int32_t Height() const { return layout_.Height(); }
    // A rectangle given relative to L's top-left corner, in drawing coordinates.
    KVQRect At(int32_t left, int32_t top, int32_t right, int32_t bottom) const;
    const KVQRect& Layout() const { return layout_; }

    // The piece drawn into target (its own alignment, hot spot, offset and outline apply there).
    void Draw(Sprite& piece, const KVQRect& target) const;
    // The piece drawn into cells of width tileWidth along the strip, the first at its left edge.
    void TileAcross(Sprite& piece, const KVQRect& strip, int32_t tileWidth) const;
    // The piece drawn into the strip again and again, moved down by tileHeight each time.
    void TileDown(Sprite& piece, const KVQRect& strip, int32_t tileHeight) const;
    // The piece drawn into rows and columns of cells of the tile's size over the area.
    void TileArea(Sprite& piece, const KVQRect& area, int32_t tileWidth, int32_t tileHeight) const;

private:
    // Draws into target moved by (k * stepX, k * stepY) for k from 0 while k < count, only where a
    // copy can reach the visible part of the clip (a huge strip of a hostile layout costs only the
    // copies that show).
    void Repeat(Sprite& piece, const KVQRect& target, int32_t stepX, int32_t stepY, int64_t count) const;
    // The current clip, when the device keeps one.
    bool Visible(KVQRect& visible) const;

    CKVQDC& dc_;
    KVQRect layout_;
};

// ceil(length / tile) for a positive tile; 0 when there is nothing to tile.
int64_t TileCount(int32_t length, int32_t tile);

}  // namespace frame_pieces
