#pragma once
// Selection among its window's children: a press on a child that can be selected selects it
// (alone, unless several may be selected at once); a press on the window itself deselects them
// all. The children's presses reach this window as "OnSelectChild" through bookings on them.

#include <cstdint>

#include "render/behaviour/BehaviourSupport.h"

class CRenderObject_SelectKVQWindowLogic : public behaviour::CBehaviourRender<CRenderObject_SelectKVQWindowLogic> {
public:
    static constexpr const char* kClassName = "SelectKVQWindowLogic";

    CRenderObject_SelectKVQWindowLogic();

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;

    int32_t IsCanMultiSelected = 0;  // a boolean

private:
    void OnLoad(CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender);
    void OnAddChild(CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender);
    void OnDeleteChild(CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender);
    void OnLClickDown(CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender);
    void OnSelectChild(CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender);
};
