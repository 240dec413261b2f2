#pragma once
// A single picture: one sprite drawn into the object's rectangle, clipped to the window (or to
// its parent) with optional inward margins. "OnZoom" scales the sprite.

#include <cstdint>

#include "render/Render.h"
#include "render/pictures/Sprite.h"

class CKVQWindow;

// The clip the picture-like classes push around their drawing.
struct PictureClip {
    int32_t IsClip = 1;
    int32_t IsClipByParent = 0;
    // Inward margins: left and top are added, right and bottom subtracted.
    KVQRect Clip{};

    void Transfer(CIArchive& ar);
    void Describe(CIEditHook& hook);
    // Pushes the clip for a drawing into drawRect (the rectangle the window hands over) by an
    // object of owner. True when a clip was pushed; the caller pops exactly then.
    bool Push(const KVQRect& drawRect, CKVQWindow* owner) const;
};

class CRenderObject_Pitcture : public IRender {
public:
    static constexpr const char* kClassName = "Picture";

    CRenderObject_Pitcture();

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;
    void Draw(const KVQRect& windowRect) override;
    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_Pitcture); }
    // "Copy" and "Paste" on the sprite's "Rect" group.
    bool ExecuteCommand(const char* groupPath, const char* command) override;

    static IRender* Create() { return new CRenderObject_Pitcture; }

    // Multiplies the sprite's scale by zoom.
    void Zoom(float zoom);

    Sprite sprite;
    PictureClip clip;
};

// True when an editor group path ends in a sprite's "Rect" group.
bool IsSpriteRectPath(const char* groupPath);
