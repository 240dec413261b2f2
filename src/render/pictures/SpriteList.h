#pragma once
// A list of sprites of which one, number nState, is shown in the object's rectangle: button faces,
// toggles, frames of a simple animation driven by scripts or logic components.

#include <cstdint>
#include <memory>
#include <vector>

#include "render/Render.h"
#include "render/pictures/Sprite.h"

class CRenderObject_SpriteList : public IRender {
public:
    static constexpr const char* kClassName = "SpriteList";

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;
    void Draw(const KVQRect& windowRect) override;
    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_SpriteList); }
    // "AddSprite" on the list; "Delete" on an entry ("SpriteN"); "Copy" and "Paste" on an entry's
    // "Rect" group.
    bool ExecuteCommand(const char* groupPath, const char* command) override;

    static IRender* Create() { return new CRenderObject_SpriteList; }

    // Appends a new default sprite and returns it.
    Sprite& AddSprite();
    // Removes and frees sprite number index; false when there is none.
    bool DeleteSprite(int32_t index);
    int32_t GetCount() const { return static_cast<int32_t>(List.size()); }
    // Sprite number index, or null.
    Sprite* GetSprite(int32_t index);

    int32_t nState = 0;
    std::vector<std::unique_ptr<Sprite>> List;
};
