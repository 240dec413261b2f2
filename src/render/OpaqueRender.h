#pragma once
// A render object of a class this program does not know, kept as the bytes of its record block
// so that a layout passes through the tools unchanged. Loaders make one only while the
// keep-unknown switch is on (the layout tools turn it on); the engine itself skips such entries.

#include <cstdint>
#include <string>
#include <vector>

#include "render/Render.h"

// Process-wide: render-object entries of unregistered classes load as CRenderObject_Opaque
// instead of being skipped.
void SetKeepUnknownRenderObjects(bool keep);
bool KeepUnknownRenderObjects();

class CRenderObject_Opaque final : public IRender {
public:
    explicit CRenderObject_Opaque(const char* className) : className_(className ? className : "") {}

    const char* GetClassName() const override { return className_.c_str(); }
    void Describe(CIEditHook& hook) override;
    bool CanDraw() override { return false; }
    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_Opaque); }

    // The whole record block, both directions: the bytes verbatim (the text form writes them as
    // hex). Loading also reads the shared base record from them, so the object keeps its name.
    // False when the block could not be transferred.
    bool TransferBlock(CIArchive& ar);

    const std::vector<uint8_t>& Bytes() const { return bytes_; }

    // The text form's field holding the bytes.
    static constexpr const char* kBytesField = "bytes";

private:
    void ReadBaseRecord();

    std::string className_;
    std::vector<uint8_t> bytes_;
};
