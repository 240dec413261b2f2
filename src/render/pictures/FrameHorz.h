#pragma once
// A bar of any width from three pictures: the left cap drawn at its place, the right cap moved to the
// right edge and the centre tiled between them, clipped like a picture. Drawing stops at the first
// piece that has no extent.

#include <array>
#include <cstdint>

#include "render/pictures/FramePieces.h"
#include "render/pictures/PieceFrame.h"
#include "render/pictures/Sprite.h"

class CRenderObject_FrameHorz : public CPieceFrame<CRenderObject_FrameHorz> {
public:
    static constexpr const char* kClassName = "FrameHorz";

    const char* GetClassName() const override { return kClassName; }

    static IRender* Create() { return new CRenderObject_FrameHorz; }

    Sprite Left;
    Sprite Right;
    Sprite Center;

private:
    friend class CPieceFrame<CRenderObject_FrameHorz>;
    // The pieces in the record's order, which is also the editor's.
    std::array<frame_pieces::Piece, 3> Stored();
    std::array<frame_pieces::Piece, 3> Described() { return Stored(); }
    void DrawPieces(const frame_pieces::Painter& painter);
};
