#include "render/pictures/FrameVert.h"

std::array<frame_pieces::Piece, 3> CRenderObject_FrameVert::Stored()
{
    return {{{"Top", &Top}, {"Bottom", &Bottom}, {"Center", &Center}}};
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
