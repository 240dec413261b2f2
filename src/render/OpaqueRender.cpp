#include "render/OpaqueRender.h"

#include <atomic>

#include "io/Archive.h"
#include "io/EditHook.h"
#include "io/RecordBlock.h"
#include "io/RecordText.h"
#include "ui/Message.h"

namespace {

std::atomic<bool> keepUnknown{false};

}  // namespace

void SetKeepUnknownRenderObjects(bool keep)
{
    keepUnknown = keep;
}

bool KeepUnknownRenderObjects()
{
    return keepUnknown;
}

void CRenderObject_Opaque::Describe(CIEditHook& hook)
{
    hook.BeginGroup(this, "Opaque", ATTR_GROUP, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    hook.LeaveGroup();
}

CKVQEditHook& CRenderObject_Opaque::AttributeTable() const
{
    static CKVQEditHook table;
    return table;
}

bool CRenderObject_Opaque::TransferBlock(CIArchive& ar)
{
    if (IRecordText* text = ar.GetTextForm()) {
        // Load: the text form lends its decoded bytes until its next call; they are copied here.
        uint8_t* data = bytes_.data();
        auto length = static_cast<int32_t>(bytes_.size());
        if (!text->OpaqueBlock(kBytesField, data, length))
            return false;
        if (ar.IsLoading()) {
            bytes_.assign(data, data + (data && length > 0 ? length : 0));
            ReadBaseRecord();
        }
        return text->GetError() == 0;
    }
    if (ar.IsStoring()) {
        auto length = static_cast<int32_t>(bytes_.size());
        ar.Int32(length);
        ar.CountedBytes(bytes_.data(), length, length);
        return ar.GetError() == 0;
    }
    CKVQMessage block(0);
    if (!block.ReadBlock(ar, true))
        return false;
    bytes_.assign(block.GetBuffer(), block.GetBuffer() + block.GetSize());
    ReadBaseRecord();
    return true;
}

void CRenderObject_Opaque::ReadBaseRecord()
{
    if (bytes_.empty())
        return;
    CIMemFile view;
    view.SetView(bytes_.data(), static_cast<int32_t>(bytes_.size()));
    CIArchive ar(&view, CIArchive::SM_READ);
    Serialize(ar);  // the base record; this class has no record of its own to read
}
