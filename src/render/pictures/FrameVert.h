#pragma once
// A bar of any height from three pictures: the top cap drawn at its place, the bottom cap moved to
// the bottom edge and the centre tiled between them, clipped like a picture. Drawing stops at the first
// piece that has no extent.

#include <array>
#include <cstdint>

#include "render/pictures/FramePieces.h"
#include "render/pictures/PieceFrame.h"
#include "render/pictures/Sprite.h"

class CRenderObject_FrameVert : public CPieceFrame<CRenderObject_FrameVert> {
public:
    static constexpr const char* kClassName = "FrameVert";

    const char* GetClassName() const override { return kClassName; }

    static IRender* Create() { return new CRenderObject_FrameVert; }

    Sprite Top;
    Sprite Bottom;
    Sprite Center;

private:
    friend class CPieceFrame<CRenderObject_FrameVert>;
    // The pieces in the record's order, which is also the editor's.
    std::array<frame_pieces::Piece, 3> Stored();
    std::array<frame_pieces::Piece, 3> Described() { return Stored(); }
    void DrawPieces(const frame_pieces::Painter& painter);
};
