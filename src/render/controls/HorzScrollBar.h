#pragma once
// A horizontal scroll bar: the "Left" and "Right" arrows with the track between them.

#include "render/controls/ScrollBar.h"

class CRenderObject_HorzScrollBar : public CScrollBar {
public:
    static constexpr const char* kClassName = "HorzScrollBar";
    static constexpr Names kNames = {"HorzScrollBar", "Left", "Right", "Thumb",
                                      "OnLeftArrowTimer", "OnRightArrowTimer", "OnHorzScrollPositionChanged"};

    CRenderObject_HorzScrollBar() : CScrollBar(kNames, true) {}

    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_HorzScrollBar); }

    static IRender* Create() { return new CRenderObject_HorzScrollBar; }
};
