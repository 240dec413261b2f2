#pragma once
// A frame of any size built from nine separate pictures: four corners drawn as they are, four
// edges tiled along the sides and a centre tiled over the inside, all clipped like a picture.
// Drawing stops at the first piece that has no extent; the pieces before it stay drawn.

#include <array>
#include <cstdint>

#include "render/Render.h"
#include "render/pictures/FramePieces.h"
#include "render/pictures/Picture.h"
#include "render/pictures/Sprite.h"

class CRenderObject_Frame : public IRender {
public:
    static constexpr const char* kClassName = "Frame";

    CRenderObject_Frame();

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;
    void Draw(const KVQRect& windowRect) override;
    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_Frame); }
    // "Copy" and "Paste" on a piece's "Rect" group.
    bool ExecuteCommand(const char* groupPath, const char* command) override;

    static IRender* Create() { return new CRenderObject_Frame; }

    // Multiplies every piece's scale by zoom.
    void Zoom(float zoom);

    Sprite TopLeft;
    Sprite TopRight;
    Sprite BottomLeft;
    Sprite BottomRight;
    Sprite LeftCenter;
    Sprite RightCenter;
    Sprite TopCenter;
    Sprite BottomCenter;
    Sprite Center;
    PictureClip clip;

private:
    // The pieces in the record's order, and in the editor's.
    std::array<frame_pieces::Piece, 9> Stored();
    std::array<frame_pieces::Piece, 9> Described();
    void DrawPieces(const frame_pieces::Painter& painter);
};
