#pragma once
// A line across the object's rectangle: one of its diagonals, or its vertical or horizontal
// middle line, clipped to the rectangle.

#include "render/Render.h"

class CRenderObject_Line : public IRender {
public:
    static constexpr const char* kClassName = "Line";

    enum LineType : int32_t {
        LINE_ASCEND = 0,      // bottom-left to top-right
        LINE_DESCEND = 1,     // top-left to bottom-right
        LINE_VERTICAL = 2,    // through the middle, top to bottom
        LINE_HORIZONTAL = 3,  // through the middle, left to right
    };

    CRenderObject_Line();

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;
    void Draw(const KVQRect& windowRect) override;
    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_Line); }

    static IRender* Create() { return new CRenderObject_Line; }

    int32_t nLineType = LINE_ASCEND;
    int32_t nLineWidth = 1;
    RGBA LineColor{255, 255, 255, 255};
};
