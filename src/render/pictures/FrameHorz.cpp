#include "render/pictures/FrameHorz.h"

std::array<frame_pieces::Piece, 3> CRenderObject_FrameHorz::Stored()
{
    return {{{"Left", &Left}, {"Right", &Right}, {"Center", &Center}}};
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
