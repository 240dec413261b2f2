#pragma once
// A bar of any width from three pictures: the left cap drawn at its place, the right cap moved to the
// right edge and the centre tiled between them, clipped like a picture. Drawing stops at the first
// piece that has no extent.

#include <array>
#include <cstdint>

#include "render/Render.h"
#include "render/pictures/FramePieces.h"
#include "render/pictures/Picture.h"
#include "render/pictures/Sprite.h"

class CRenderObject_FrameHorz : public IRender {
public:
    static constexpr const char* kClassName = "FrameHorz";

    CRenderObject_FrameHorz();

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;
    void Draw(const KVQRect& windowRect) override;
    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_FrameHorz); }
    // "Copy" and "Paste" on a piece's "Rect" group.
    bool ExecuteCommand(const char* groupPath, const char* command) override;

    static IRender* Create() { return new CRenderObject_FrameHorz; }

    // Multiplies every piece's scale by zoom.
    void Zoom(float zoom);

    Sprite Left;
    Sprite Right;
    Sprite Center;
    PictureClip clip;

private:
    // The pieces in the record's order, which is also the editor's.
    std::array<frame_pieces::Piece, 3> Pieces();
    void DrawPieces(const frame_pieces::Painter& painter);
};
