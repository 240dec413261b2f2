#pragma once
// A progress bar: a tiled picture revealed along the object's rectangle in proportion to
// nCurrentProgress / nTotalProgress, horizontally (from the left or the right) or vertically
// (from the top or the bottom), with tiles a fixed step apart or butted at the sprite's size.
//
// Offset is offered to the editor but is not part of the record: stored layouts have no room for
// it, so a saved layout forgets it.

#include <cstdint>

#include "render/Render.h"
#include "render/pictures/Sprite.h"

class CRenderObject_ProgressControl : public IRender {
public:
    static constexpr const char* kClassName = "ProgressControl";
    enum Mode : int32_t {
        FIX_WIDTH_X = 0,   // horizontal, tiles FixWidth apart
        FIX_HEIGHT_Y = 1,  // vertical, tiles FixHeight apart
        JION_X = 2,        // horizontal, tiles butted
        JION_Y = 3,        // vertical, tiles butted
    };
    // Hostile sizes never make one draw loop for ever: no frame shows more tiles than this.
    static constexpr int64_t kMaxTiles = 65536;

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;
    void Draw(const KVQRect& windowRect) override;
    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_ProgressControl); }
    // "Copy" and "Paste" on the sprite's "Rect" group.
    bool ExecuteCommand(const char* groupPath, const char* command) override;

    static IRender* Create() { return new CRenderObject_ProgressControl; }

    // Draws into the object's rectangle r.
    void DrawProgress(const KVQRect& r);

    KVQPoint Offset{};
    int32_t mode = JION_X;
    int32_t FixWidth = 50;
    int32_t FixHeight = 50;
    int32_t IsRightToLeft = 0;
    int32_t IsBottomToTop = 0;
    int32_t nCurrentProgress = 0;
    int32_t nTotalProgress = 100;
    Sprite sprite;
};
