#include "render/Line.h"

#include "gfx/DC.h"
#include "io/Archive.h"
#include "io/EditHook.h"

namespace {

constexpr LayoutRect kWholeWindow{ALIGNED_LEFT, ALIGNED_TOP, ALIGNED_RIGHT, ALIGNED_BOTTOM, 0, 0, 0, 0};
constexpr const char* kLineTypeHint = "Ascend|Descend|Vertical|Horizon|";

}  // namespace

CRenderObject_Line::CRenderObject_Line()
{
    Layout = kWholeWindow;
}

CKVQEditHook& CRenderObject_Line::AttributeTable() const
{
    static CKVQEditHook table;
    return table;
}

void CRenderObject_Line::TransferRecord(CIArchive& ar)
{
    TransferColor(ar, LineColor, "LineColor");
    ar.Int32(nLineWidth, "nLineWidth");
    ar.Int32(nLineType, "nLineType");
}

void CRenderObject_Line::Describe(CIEditHook& hook)
{
    hook.BeginGroup(this, "Line", ATTR_GROUP, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    hook.Int32(&nLineType, "nLineType", ATTR_INT32, kLineTypeHint, nullptr, nullptr, 0);
    hook.Int32(&nLineWidth, "nLineWidth", ATTR_INT32, "0:255", nullptr, nullptr, 0);
    DescribeColor(hook, LineColor, "LineColor");
    hook.LeaveGroup();
}

void CRenderObject_Line::Draw(const KVQRect& windowRect)
{
    CKVQDC* dc = GetCurrentDevice();
    if (!dc)
        return;
    const KVQRect r = ResolveRect(windowRect);
    dc->PushClip(r, 0);
    const int32_t previous = dc->SetLineWidth(nLineWidth);
    const uint32_t color = PackColor(LineColor);
    const int32_t midX = wrap32::Add(r.left, r.Width() / 2);
    const int32_t midY = wrap32::Add(r.top, r.Height() / 2);
    switch (nLineType) {
    case LINE_ASCEND:
        dc->DrawLine(r.BottomLeft(), r.TopRight(), color);
        break;
    case LINE_DESCEND:
        dc->DrawLine(r.TopLeft(), r.BottomRight(), color);
        break;
    case LINE_VERTICAL:
        dc->DrawLine(KVQPoint{midX, r.top}, KVQPoint{midX, r.bottom}, color);
        break;
    case LINE_HORIZONTAL:
        dc->DrawLine(KVQPoint{r.left, midY}, KVQPoint{r.right, midY}, color);
        break;
    default:
        break;
    }
    dc->SetLineWidth(previous);
    dc->PopClip();
}
