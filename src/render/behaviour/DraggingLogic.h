#pragma once
// Drags its window with the mouse: each "OnDragging" of a press moves the window by the pointer's
// step, held inside a box of positions, or, when the window is a view onto children larger than
// itself, slid so those children can be brought into view.

#include <cstdint>

#include "render/behaviour/BehaviourSupport.h"

class CRenderObject_DraggingLogic : public behaviour::CBehaviourRender<CRenderObject_DraggingLogic> {
public:
    static constexpr const char* kClassName = "DraggingLogic";

    CRenderObject_DraggingLogic();

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;

    int32_t nMinX = 0;
    int32_t nMaxX = 0;
    int32_t nMinY = 0;
    int32_t nMaxY = 0;
    int32_t IsFixChildrens = 1;  // a boolean

private:
    // Where the window goes for a pointer step (dx, dy) from pos: clamped to the box, or, with
    // IsFixChildrens, between the children's overhang and the origin.
    KVQPoint Target(CKVQWindow& window, KVQPoint pos, int64_t dx, int64_t dy) const;
    void OnDragging(CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender);
    void OnDraggingEnd(CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender);
};
