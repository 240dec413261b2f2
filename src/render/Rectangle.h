#pragma once
// A rectangle: an optional fill and four separately coloured edges, anchored to the window's
// rectangle (by default it covers the whole window).

#include "render/Render.h"

class CRenderObject_Rectangle : public IRender {
public:
    static constexpr const char* kClassName = "Rectangle";

    CRenderObject_Rectangle();

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;
    void Draw(const KVQRect& windowRect) override;
    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_Rectangle); }

    static IRender* Create() { return new CRenderObject_Rectangle; }

    int32_t IsFill = 0;
    int32_t IsDrawFrame = 0;
    int32_t nFrameWidth = 1;
    RGBA FillColor{};
    RGBA LeftColor{};
    RGBA RightColor{};
    RGBA TopColor{};
    RGBA BottomColor{};
};
