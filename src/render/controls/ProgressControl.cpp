#include "render/controls/ProgressControl.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "gfx/DC.h"
#include "io/Archive.h"
#include "io/EditHook.h"
#include "render/logic/LuaLogic.h"
#include "render/pictures/Picture.h"

namespace {

constexpr const char* kModeHint = "FixWidthX|FixHeightY|JionX|JionY|";

int32_t Clamp32(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

int64_t FloorDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

KVQRect Exchanged(const KVQRect& r)
{
    return {r.top, r.bottom, r.left, r.right};
}

}  // namespace

CKVQEditHook& CRenderObject_ProgressControl::AttributeTable() const
{
    static CKVQEditHook table;
    return table;
}

void CRenderObject_ProgressControl::TransferRecord(CIArchive& ar)
{
    // Offset has no place here (see the header).
    ar.Int32(mode, "mode");
    ar.Int32(FixWidth, "FixWidth");
    ar.Int32(FixHeight, "FixHeight");
    ar.Int32(nCurrentProgress, "nCurrentProgress");
    ar.Int32(nTotalProgress, "nTotalProgress");
    TransferSwitch(ar, IsRightToLeft, "IsRightToLeft");
    TransferSwitch(ar, IsBottomToTop, "IsBottomToTop");
    sprite.Transfer(ar);
}

void CRenderObject_ProgressControl::Describe(CIEditHook& hook)
{
    using namespace sprite_edit;
    hook.BeginGroup(this, kClassName, kPlain, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    hook.BeginGroup(&Offset, "Offset", kPlain, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.Int32(&Offset.x, "x", kText, "", nullptr, nullptr, 0);
    hook.Int32(&Offset.y, "y", kText, "", nullptr, nullptr, 0);
    hook.LeaveGroup();
    hook.Int32(&mode, "mode", kChoice, kModeHint, nullptr, nullptr, 0);
    hook.Int32(&FixWidth, "FixWidth", kText, "", nullptr, nullptr, 0);
    hook.Int32(&FixHeight, "FixHeight", kText, "", nullptr, nullptr, 0);
    hook.BoolAsInt32(&IsRightToLeft, "IsRightToLeft", kChoice, kBoolHint, nullptr, nullptr, 0);
    hook.BoolAsInt32(&IsBottomToTop, "IsBottomToTop", kChoice, kBoolHint, nullptr, nullptr, 0);
    hook.Int32(&nTotalProgress, "nTotalProgress", kText, "", nullptr, nullptr, 0);
    hook.Int32(&nCurrentProgress, "nCurrentProgress", kText, "", nullptr, nullptr, 0);
    sprite.Describe(hook);
    hook.LeaveGroup();
}

bool CRenderObject_ProgressControl::ExecuteCommand(const char* groupPath, const char* command)
{
    const char* inside = ComponentGroupPath(groupPath, kClassName);
    if (!inside || !IsSpriteRectPath(inside))
        return false;
    return sprite.ExecuteRectCommand(command);
}

void CRenderObject_ProgressControl::Draw(const KVQRect& windowRect)
{
    DrawProgress(ResolveRect(windowRect));
}

void CRenderObject_ProgressControl::DrawProgress(const KVQRect& r)
{
    CKVQDC* dc = GetCurrentDevice();
    if (!dc)
        return;
    const KVQRect source = sprite.GetSourceRect();
    if (nCurrentProgress == 0 || source.Width() == 0 || source.Height() == 0 || nTotalProgress <= 0)
        return;

    // Worked out as the horizontal modes; the vertical ones exchange x and y.
    const bool vertical = mode == FIX_HEIGHT_Y || mode == JION_Y;
    const bool reversed = vertical ? IsBottomToTop != 0 : IsRightToLeft != 0;
    const KVQRect l = vertical ? Exchanged(r) : r;
    const KVQRect s = vertical ? Exchanged(source) : source;
    const int64_t extent = int64_t{l.right} - l.left;
    const int64_t a = int64_t{nCurrentProgress} * extent / nTotalProgress;
    if (a == 0)
        return;
    const int64_t step = vertical ? (mode == FIX_HEIGHT_Y ? FixHeight : s.Width())
                                  : (mode == FIX_WIDTH_X ? FixWidth : s.Width());
    if (step <= 0)
        return;  // a tile step of zero (or less) would never cover the bar
    const int64_t n = (extent + step - 1) / step;

    const KVQRect clip = reversed ? KVQRect{Clamp32(l.right - a), l.right, l.top, l.bottom}
                                  : KVQRect{l.left, Clamp32(l.left + a), l.top, l.bottom};
    const int64_t origin = reversed ? int64_t{l.right} - s.Width() : l.left;
    const int64_t direction = reversed ? -1 : 1;

    // Only tiles that can reach into the clip are drawn. The sprite may land beside its tile
    // (hot spot, offset, scale) or turn about it, so the reach is measured on the first tile.
    const KVQRect tile0{Clamp32(origin), Clamp32(origin + s.Width()), l.top, Clamp32(int64_t{l.top} + s.Height())};
    const KVQRect real0 = vertical ? Exchanged(tile0) : tile0;
    const KVQRect dest = vertical ? Exchanged(sprite.GetDestRect(real0)) : sprite.GetDestRect(real0);
    const int64_t turn =
        sprite.fRadia != 0.0f ? std::max(std::abs(int64_t{dest.Width()}), std::abs(int64_t{dest.Height()})) : 0;
    const int64_t reachBack = std::min<int64_t>(0, int64_t{dest.left} - tile0.left) - turn - 1;
    const int64_t reachOn = std::max<int64_t>(s.Width(), int64_t{dest.right} - tile0.left) + turn + 1;
    int64_t firstTile = 0, lastTile = n - 1;
    if (direction > 0) {
        firstTile = std::max(firstTile, FloorDiv(int64_t{clip.left} - reachOn - origin, step) + 1);
        lastTile = std::min(lastTile, FloorDiv(int64_t{clip.right} - reachBack - origin - 1, step));
    } else {
        firstTile = std::max(firstTile, FloorDiv(origin + reachBack - clip.right, step) + 1);
        lastTile = std::min(lastTile, FloorDiv(origin + reachOn - clip.left - 1, step));
    }
    lastTile = std::min(lastTile, firstTile + kMaxTiles - 1);

    dc->PushClip(vertical ? Exchanged(clip) : clip, 0);
    for (int64_t i = firstTile; i <= lastTile; ++i) {
        const int64_t at = origin + direction * i * step;
        const KVQRect tile{Clamp32(at), Clamp32(at + s.Width()), tile0.top, tile0.bottom};
        sprite.Draw(vertical ? Exchanged(tile) : tile);
    }
    dc->PopClip();
}
