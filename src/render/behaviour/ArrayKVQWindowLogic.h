#pragma once
// Lines its window's visible children up in a row or a column, at fixed steps or each against its
// previous sibling, whenever the window loads or a child comes or goes, and tells the window the
// total length ("OnArrayWindow").

#include <cstdint>

#include "render/behaviour/BehaviourSupport.h"

class CRenderObject_ArrayKVQWindowLogic : public behaviour::CBehaviourRender<CRenderObject_ArrayKVQWindowLogic> {
public:
    static constexpr const char* kClassName = "ArrayKVQWindowLogic";

    enum Mode : int32_t {
        kFixWidthX = 0,   // steps of FixWidth along x
        kFixHeightY = 1,  // steps of FixHeight along y
        kJoinX = 2,       // each child right of its previous sibling
        kJoinY = 3,       // each child below its previous sibling
    };

    CRenderObject_ArrayKVQWindowLogic();

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;

    // Places the children, then sends "OnArrayWindow" with the totals to window.
    void Arrange(CKVQWindow* window);

    KVQPoint Offset{};
    int32_t mode = kJoinX;
    int32_t FixWidth = 50;
    int32_t FixHeight = 50;

private:
    void OnChildrenChanged(CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender);
};
