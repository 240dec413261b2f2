#pragma once
// Five named text slots kept with a window. Writing a slot's Value through the attribute
// interface (scripts, mini logics, the editor) sends the slot's TransMsg to the window.

#include <array>
#include <cstdint>

#include "common/EngineString.h"
#include "render/behaviour/BehaviourSupport.h"

class CRenderObject_ExtraDataSet : public behaviour::CBehaviourRender<CRenderObject_ExtraDataSet> {
public:
    static constexpr const char* kClassName = "ExtraDataSet";
    static constexpr int32_t kSlotCount = 5;

    struct Slot {
        CKVQString Name;
        CKVQString Value;
        CKVQString TransMsg;
    };

    CRenderObject_ExtraDataSet();

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;

    // Sends slot's TransMsg (when it has one) to the owner window, with an empty message.
    void Announce(int32_t slot);

    std::array<Slot, kSlotCount> ExtraData{};

private:
    void OnLoad(CKVQWindow*, CKVQMessage*, CKVQWindow*) {}

    // The slots being announced: a TransMsg handler that writes its own slot again is not
    // answered with the same message over and over.
    uint32_t announcing_ = 0;
};
