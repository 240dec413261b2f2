#pragma once
// A bar of any height from three pictures: the top cap drawn at its place, the bottom cap moved to
// the bottom edge and the centre tiled between them, clipped like a picture. Drawing stops at the first
// piece that has no extent.

#include <array>
#include <cstdint>

#include "render/Render.h"
#include "render/pictures/FramePieces.h"
#include "render/pictures/Picture.h"
#include "render/pictures/Sprite.h"

class CRenderObject_FrameVert : public IRender {
public:
    static constexpr const char* kClassName = "FrameVert";

    CRenderObject_FrameVert();

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;
    void Draw(const KVQRect& windowRect) override;
    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_FrameVert); }
    // "Copy" and "Paste" on a piece's "Rect" group.
    bool ExecuteCommand(const char* groupPath, const char* command) override;

    static IRender* Create() { return new CRenderObject_FrameVert; }

    // Multiplies every piece's scale by zoom.
    void Zoom(float zoom);

    Sprite Top;
    Sprite Bottom;
    Sprite Center;
    PictureClip clip;

private:
    // The pieces in the record's order, which is also the editor's.
    std::array<frame_pieces::Piece, 3> Pieces();
    void DrawPieces(const frame_pieces::Painter& painter);
};
