#pragma once
// Raises its window above its siblings whenever the window is shown.

#include "render/behaviour/BehaviourSupport.h"

class CRenderObject_TopmostLogic : public behaviour::CBehaviourRender<CRenderObject_TopmostLogic> {
public:
    static constexpr const char* kClassName = "TopmostLogic";

    CRenderObject_TopmostLogic();

    const char* GetClassName() const override { return kClassName; }
    void Describe(CIEditHook& hook) override;

private:
    void OnShow(CKVQWindow* owner, CKVQMessage* message, CKVQWindow* sender);
};
