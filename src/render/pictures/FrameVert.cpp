#include "render/pictures/FrameVert.h"

#include "gfx/DC.h"
#include "io/EditHook.h"

namespace {

constexpr const char* kOnZoom = "OnZoom";

void OnZoomHandler(IRender* self, const char*, CKVQWindow*, CKVQMessage* message, CKVQWindow*)
{
    float zoom = 0.0f;
    if (frame_pieces::ReadZoom(message, zoom))
        static_cast<CRenderObject_FrameVert*>(self)->Zoom(zoom);
}

}  // namespace

CRenderObject_FrameVert::CRenderObject_FrameVert()
{
    RegisterHandler(kOnZoom, &OnZoomHandler);
}

std::array<frame_pieces::Piece, 3> CRenderObject_FrameVert::Pieces()
{
    return {{{"Top", &Top}, {"Bottom", &Bottom}, {"Center", &Center}}};
}

CKVQEditHook& CRenderObject_FrameVert::AttributeTable() const
{
    static CKVQEditHook table;
    return table;
}

void CRenderObject_FrameVert::TransferRecord(CIArchive& ar)
{
    frame_pieces::Transfer(ar, Pieces());
    clip.Transfer(ar);
}

void CRenderObject_FrameVert::Describe(CIEditHook& hook)
{
    hook.BeginGroup(this, frame_pieces::kGroup, sprite_edit::kCommands, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    frame_pieces::Describe(hook, Pieces());
    clip.Describe(hook);
    hook.LeaveGroup();
}

bool CRenderObject_FrameVert::ExecuteCommand(const char* groupPath, const char* command)
{
    return frame_pieces::ExecuteRectCommand(groupPath, command, Pieces());
}

void CRenderObject_FrameVert::Zoom(float zoom)
{
    frame_pieces::Zoom(Pieces(), zoom);
}

void CRenderObject_FrameVert::Draw(const KVQRect& windowRect)
{
    CKVQDC* dc = GetCurrentDevice();
    if (!dc)
        return;
    const bool clipped = clip.Push(windowRect, GetOwner());
    DrawPieces(frame_pieces::Painter(*dc, ResolveRect(windowRect)));
    if (clipped)
        dc->PopClip();
}

void CRenderObject_FrameVert::DrawPieces(const frame_pieces::Painter& painter)
{
    using wrap32::Add;
    using wrap32::Sub;
    const KVQRect& L = painter.Layout();
    // As in the nine-piece frame, each piece draws into its own destination (offsets count twice).
    const KVQRect top = Top.GetDestRect(L);
    if (top.IsEmpty())
        return;
    painter.Draw(Top, top);

    const KVQRect bottom = Bottom.GetDestRect(L);
    if (bottom.IsEmpty())
        return;
    const int32_t down = Sub(painter.Height(), bottom.Height());
    painter.Draw(Bottom, KVQRect{bottom.left, bottom.right, Add(bottom.top, down), Add(bottom.bottom, down)});

    const KVQRect center = Center.GetDestRect(L);
    if (center.IsEmpty())
        return;
    painter.TileDown(Center, painter.At(0, top.Height(), top.Width(), down), center.Height());
}
