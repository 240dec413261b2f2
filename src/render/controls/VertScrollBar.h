#pragma once
// A vertical scroll bar: the "Top" and "Bottom" arrows with the track between them.

#include "render/controls/ScrollBar.h"

class CRenderObject_VertScrollBar : public CScrollBar {
public:
    static constexpr const char* kClassName = "VertScrollBar";
    static constexpr Names kNames = {"VertScrollBar", "Top", "Bottom", "VerThumbFile",
                                      "OnUpArrowTimer", "OnDownArrowTimer", "OnVertScrollPositionChanged"};

    CRenderObject_VertScrollBar() : CScrollBar(kNames, false) {}

    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_VertScrollBar); }

    static IRender* Create() { return new CRenderObject_VertScrollBar; }
};
