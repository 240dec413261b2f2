#pragma once
// A frame of any size built from nine separate pictures: four corners drawn as they are, four
// edges tiled along the sides and a centre tiled over the inside, all clipped like a picture.
// Drawing stops at the first piece that has no extent; the pieces before it stay drawn.

#include <array>
#include <cstdint>

#include "render/pictures/FramePieces.h"
#include "render/pictures/PieceFrame.h"
#include "render/pictures/Sprite.h"

class CRenderObject_Frame : public CPieceFrame<CRenderObject_Frame> {
public:
    static constexpr const char* kClassName = "Frame";

    const char* GetClassName() const override { return kClassName; }

    static IRender* Create() { return new CRenderObject_Frame; }

    Sprite TopLeft;
    Sprite TopRight;
    Sprite BottomLeft;
    Sprite BottomRight;
    Sprite LeftCenter;
    Sprite RightCenter;
    Sprite TopCenter;
    Sprite BottomCenter;
    Sprite Center;

private:
    friend class CPieceFrame<CRenderObject_Frame>;
    // The pieces in the record's order, and in the editor's.
    std::array<frame_pieces::Piece, 9> Stored();
    std::array<frame_pieces::Piece, 9> Described();
    void DrawPieces(const frame_pieces::Painter& painter);
};
