#include "render/pictures/FrameHorz.h"

#include "gfx/DC.h"
#include "io/EditHook.h"

namespace {

constexpr const char* kOnZoom = "OnZoom";

void OnZoomHandler(IRender* self, const char*, CKVQWindow*, CKVQMessage* message, CKVQWindow*)
{
    float zoom = 0.0f;
    if (frame_pieces::ReadZoom(message, zoom))
        static_cast<CRenderObject_FrameHorz*>(self)->Zoom(zoom);
}

}  // namespace

CRenderObject_FrameHorz::CRenderObject_FrameHorz()
{
    RegisterHandler(kOnZoom, &OnZoomHandler);
}

std::array<frame_pieces::Piece, 3> CRenderObject_FrameHorz::Pieces()
{
    return {{{"Left", &Left}, {"Right", &Right}, {"Center", &Center}}};
}

CKVQEditHook& CRenderObject_FrameHorz::AttributeTable() const
{
    static CKVQEditHook table;
    return table;
}

void CRenderObject_FrameHorz::TransferRecord(CIArchive& ar)
{
    frame_pieces::Transfer(ar, Pieces());
    clip.Transfer(ar);
}

void CRenderObject_FrameHorz::Describe(CIEditHook& hook)
{
    hook.BeginGroup(this, frame_pieces::kGroup, sprite_edit::kCommands, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    frame_pieces::Describe(hook, Pieces());
    clip.Describe(hook);
    hook.LeaveGroup();
}

bool CRenderObject_FrameHorz::ExecuteCommand(const char* groupPath, const char* command)
{
    return frame_pieces::ExecuteRectCommand(groupPath, command, Pieces());
}

void CRenderObject_FrameHorz::Zoom(float zoom)
{
    frame_pieces::Zoom(Pieces(), zoom);
}

void CRenderObject_FrameHorz::Draw(const KVQRect& windowRect)
{
    CKVQDC* dc = GetCurrentDevice();
    if (!dc)
        return;
    const bool clipped = clip.Push(windowRect, GetOwner());
    DrawPieces(frame_pieces::Painter(*dc, ResolveRect(windowRect)));
    if (clipped)
        dc->PopClip();
}

void CRenderObject_FrameHorz::DrawPieces(const frame_pieces::Painter& painter)
{
    using wrap32::Add;
    using wrap32::Sub;
    const KVQRect& L = painter.Layout();
    // As in the nine-piece frame, each piece draws into its own destination (offsets count twice).
    const KVQRect left = Left.GetDestRect(L);
    if (left.IsEmpty())
        return;
    painter.Draw(Left, left);

    const KVQRect right = Right.GetDestRect(L);
    if (right.IsEmpty())
        return;
    const int32_t across = Sub(painter.Width(), right.Width());
    painter.Draw(Right, KVQRect{Add(right.left, across), Add(right.right, across), right.top, right.bottom});

    const KVQRect center = Center.GetDestRect(L);
    if (center.IsEmpty())
        return;
    painter.TileAcross(Center, painter.At(left.Width(), 0, across, center.Height()), center.Width());
}
