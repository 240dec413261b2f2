#include "render/Rectangle.h"

#include "gfx/DC.h"
#include "io/Archive.h"
#include "io/EditHook.h"

namespace {

// A new object's layout follows the window's four edges.
constexpr LayoutRect kWholeWindow{ALIGNED_LEFT, ALIGNED_TOP, ALIGNED_RIGHT, ALIGNED_BOTTOM, 0, 0, 0, 0};

}  // namespace

CRenderObject_Rectangle::CRenderObject_Rectangle()
{
    Layout = kWholeWindow;
}

CKVQEditHook& CRenderObject_Rectangle::AttributeTable() const
{
    static CKVQEditHook table;
    return table;
}

void CRenderObject_Rectangle::TransferRecord(CIArchive& ar)
{
    TransferColor(ar, FillColor, "FillColor");
    TransferColor(ar, LeftColor, "LeftColor");
    TransferColor(ar, TopColor, "TopColor");
    TransferColor(ar, RightColor, "RightColor");
    TransferColor(ar, BottomColor, "BottomColor");
    ar.UiBoolean(IsFill, "IsFill");
    ar.UiBoolean(IsDrawFrame, "IsDrawFrame");
    ar.Int32(nFrameWidth, "nFrameWidth");
}

void CRenderObject_Rectangle::Describe(CIEditHook& hook)
{
    hook.BeginGroup(this, "Rect", ATTR_GROUP, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    hook.BoolAsInt32(&IsFill, "IsFill", ATTR_BOOL_INT32, "false|true|", nullptr, nullptr, 0);
    hook.BoolAsInt32(&IsDrawFrame, "IsDrawFrame", ATTR_BOOL_INT32, "false|true|", nullptr, nullptr, 0);
    hook.Int32(&nFrameWidth, "nFrameWidth", ATTR_INT32, "0:255", nullptr, nullptr, 0);
    DescribeColor(hook, FillColor, "FillColor");
    DescribeColor(hook, LeftColor, "LeftColor");
    DescribeColor(hook, TopColor, "TopColor");
    DescribeColor(hook, RightColor, "RightColor");
    DescribeColor(hook, BottomColor, "BottomColor");
    hook.LeaveGroup();
}

void CRenderObject_Rectangle::Draw(const KVQRect& windowRect)
{
    CKVQDC* dc = GetCurrentDevice();
    if (!dc)
        return;
    const KVQRect r = ResolveRect(windowRect);
    if (IsFill == 1)
        dc->FillRect(r, PackColor(FillColor));
    if (IsDrawFrame != 0) {
        const int32_t previous = dc->SetLineWidth(nFrameWidth);
        dc->DrawHLine(r.TopLeft(), r.Width(), PackColor(TopColor));
        dc->DrawHLine(r.BottomLeft(), r.Width(), PackColor(BottomColor));
        dc->DrawVLine(r.TopLeft(), r.Height(), PackColor(LeftColor));
        dc->DrawVLine(r.TopRight(), r.Height(), PackColor(RightColor));
        dc->SetLineWidth(previous);
    }
}
