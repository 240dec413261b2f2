#pragma once
// A frame cut from one picture: the image (or a region of its image set) is divided into 3 x 3,
// 1 x 3 or 3 x 1 equal cells; the corner cells are drawn at the corners of the window's rectangle
// and the edge and centre cells are tiled between them, so a small image frames a panel of any
// size. Draws straight into the window's rectangle: no layout rectangle, no clip.

#include <cstdint>

#include "common/EngineString.h"
#include "common/Types.h"
#include "render/Render.h"

class CKVQDC;

class CRenderObject_PictureFrame : public IRender {
public:
    static constexpr const char* kClassName = "PictureFrame";

    enum Type : int32_t {
        TYPE_3X3 = 0,  // chooses H3 or V3 instead when the region is too tall or too wide
        TYPE_H3 = 1,
        TYPE_V3 = 2,
    };

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;
    void Draw(const KVQRect& windowRect) override;
    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_PictureFrame); }

    static IRender* Create() { return new CRenderObject_PictureFrame; }

    // The type drawn for a region of size R inside a rectangle D.
    static int32_t EffectiveType(int32_t type, const KVQRect& region, const KVQRect& target);
    // Tiles the source cell into the area: whole copies from the area's top-left corner, the last
    // row and column cut to fit. Cells or areas without extent draw nothing; only the tiles that
    // meet the device's clip (when one is set) are drawn.
    static void Tile(CKVQDC& dc, int32_t texture, const KVQRect& cell, const KVQRect& area, uint32_t color);

    KVQRect Rect{};
    CKVQString file;
    CKVQString name;
    RGBA mask{255, 255, 255, 255};
    int32_t type = TYPE_3X3;
    int32_t IsDrawFrameOnly = 0;
    int32_t nTextureID = -1;

private:
    // The texture id, loading `file` when needed; -1 when there is none.
    int32_t ResolveTexture();
    // The region's rectangle in the texture; false when the image set does not hold `name`.
    // Kept while the texture stays loaded, so that drawing looks nothing up.
    bool FindRegion(KVQRect& region);

    KVQRect region_{};
    bool regionKnown_ = false;
};
