#include "render/pictures/Frame.h"

std::array<frame_pieces::Piece, 9> CRenderObject_Frame::Stored()
{
    return {{{"TopLeft", &TopLeft},
             {"TopRight", &TopRight},
             {"BottomLeft", &BottomLeft},
             {"BottomRight", &BottomRight},
             {"LeftCenter", &LeftCenter},
             {"RightCenter", &RightCenter},
             {"TopCenter", &TopCenter},
             {"BottomCenter", &BottomCenter},
             {"Center", &Center}}};
}

std::array<frame_pieces::Piece, 9> CRenderObject_Frame::Described()
{
    return {{{"TopLeft", &TopLeft},
             {"TopRight", &TopRight},
             {"TopCenter", &TopCenter},
             {"BottomLeft", &BottomLeft},
             {"BottomRight", &BottomRight},
             {"BottomCenter", &BottomCenter},
             {"LeftCenter", &LeftCenter},
             {"RightCenter", &RightCenter},
             {"Center", &Center}}};
}

void CRenderObject_Frame::DrawPieces(const frame_pieces::Painter& painter)
{
    using wrap32::Sub;
    const KVQRect& L = painter.Layout();
    const int32_t Wd = painter.Width();
    const int32_t Hd = painter.Height();
    // Each piece's rectangle is its destination inside L; the piece then draws into it, so its
    // offset and hot spot count once for the place and once more inside it.
    const KVQRect topLeft = TopLeft.GetDestRect(L);
    if (topLeft.IsEmpty())
        return;
    painter.Draw(TopLeft, topLeft);

    const KVQRect topRight = TopRight.GetDestRect(L);
    if (topRight.IsEmpty())
        return;
    painter.Draw(TopRight, KVQRect{wrap32::Add(topRight.left, Sub(Wd, topRight.Width())),
                                   wrap32::Add(topRight.right, Sub(Wd, topRight.Width())), topRight.top,
                                   topRight.bottom});

    const KVQRect topCenter = TopCenter.GetDestRect(L);
    if (topCenter.IsEmpty())
        return;
    painter.TileAcross(TopCenter, painter.At(topLeft.Width(), 0, Sub(Wd, topRight.Width()), topCenter.Height()),
                       topCenter.Width());

    const KVQRect bottomLeft = BottomLeft.GetDestRect(L);
    if (bottomLeft.IsEmpty())
        return;
    const int32_t downLeft = Sub(Hd, bottomLeft.Height());
    painter.Draw(BottomLeft, KVQRect{bottomLeft.left, bottomLeft.right, wrap32::Add(bottomLeft.top, downLeft),
                                     wrap32::Add(bottomLeft.bottom, downLeft)});

    const KVQRect bottomRight = BottomRight.GetDestRect(L);
    if (bottomRight.IsEmpty())
        return;
    const int32_t acrossRight = Sub(Wd, bottomRight.Width());
    const int32_t downRight = Sub(Hd, bottomRight.Height());
    painter.Draw(BottomRight,
                 KVQRect{wrap32::Add(bottomRight.left, acrossRight), wrap32::Add(bottomRight.right, acrossRight),
                         wrap32::Add(bottomRight.top, downRight), wrap32::Add(bottomRight.bottom, downRight)});

    const KVQRect bottomCenter = BottomCenter.GetDestRect(L);
    if (bottomCenter.IsEmpty())
        return;
    painter.TileAcross(BottomCenter,
                       painter.At(bottomLeft.Width(), Sub(Hd, bottomCenter.Height()), Sub(Wd, bottomRight.Width()), Hd),
                       bottomCenter.Width());

    const KVQRect leftCenter = LeftCenter.GetDestRect(L);
    if (leftCenter.IsEmpty())
        return;
    painter.TileDown(LeftCenter, painter.At(0, topLeft.Height(), topLeft.Width(), Sub(Hd, bottomLeft.Height())),
                     leftCenter.Height());

    const KVQRect rightCenter = RightCenter.GetDestRect(L);
    if (rightCenter.IsEmpty())
        return;
    painter.TileDown(RightCenter,
                     painter.At(Sub(Wd, rightCenter.Width()), topRight.Height(), Wd, Sub(Hd, bottomRight.Height())),
                     rightCenter.Height());

    // The centre runs from the top-left corner's extent to the far corners' (as stored layouts
    // were drawn: the right edge from the bottom-right piece, the bottom from the bottom-left).
    const KVQRect center = Center.GetDestRect(L);
    if (center.IsEmpty())
        return;
    painter.TileArea(Center,
                     painter.At(topLeft.Width(), topLeft.Height(), Sub(Wd, bottomRight.Width()),
                                Sub(Hd, bottomLeft.Height())),
                     center.Width(), center.Height());
}
