#include "render/pictures/PictureFrame.h"

#include <algorithm>
#include <string>

#include "common/Notices.h"
#include "gfx/DC.h"
#include "gfx/ImageSet.h"
#include "gfx/Texture.h"
#include "io/Archive.h"
#include "io/EditHook.h"
#include "io/LookupPlaces.h"
#include "render/pictures/Sprite.h"

namespace {

constexpr const char* kFileFilter = "*.png";
constexpr const char* kTypeHint = "3x3|H3|V3|";
constexpr const char* kByteRange = "0:255";

void OnImageChanged(void* object, const char*, int32_t)
{
    if (auto* frame = static_cast<CRenderObject_PictureFrame*>(object))
        frame->nTextureID = -1;
}

void DescribeMask(CIEditHook& hook, RGBA& c)
{
    using namespace sprite_edit;
    hook.BeginGroup(&c, "mask", kColor, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.UInt8(&c.red, "red", kRange, kByteRange, nullptr, nullptr, 0);
    hook.UInt8(&c.green, "green", kRange, kByteRange, nullptr, nullptr, 0);
    hook.UInt8(&c.blue, "blue", kRange, kByteRange, nullptr, nullptr, 0);
    hook.UInt8(&c.alpha, "alpha", kRange, kByteRange, nullptr, nullptr, 0);
    hook.LeaveGroup();
}

// Cell (column, row) of width cw and height ch cut from the region's top-left corner.
KVQRect Cell(const KVQRect& region, int32_t column, int32_t row, int32_t cw, int32_t ch)
{
    const int32_t left = wrap32::Add(region.left, wrap32::Mul(column, cw));
    const int32_t top = wrap32::Add(region.top, wrap32::Mul(row, ch));
    return {left, wrap32::Add(left, cw), top, wrap32::Add(top, ch)};
}

KVQRect Box(int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    return {left, right, top, bottom};
}

}  // namespace

CKVQEditHook& CRenderObject_PictureFrame::AttributeTable() const
{
    static CKVQEditHook table;
    return table;
}

void CRenderObject_PictureFrame::TransferRecord(CIArchive& ar)
{
    if (ar.IsLoading())
        nTextureID = -1;  // the file may differ from the one loaded before
    ar.String(file, "file");
    TransferColor(ar, mask, "mask");
    ar.Int32(type, "type");
    ar.Int32(Rect.left, "Rect.left");
    ar.Int32(Rect.right, "Rect.right");
    ar.Int32(Rect.top, "Rect.top");
    ar.Int32(Rect.bottom, "Rect.bottom");
    TransferSwitch(ar, IsDrawFrameOnly, "IsDrawFrameOnly");
    ar.String(name, "name");
}

void CRenderObject_PictureFrame::Describe(CIEditHook& hook)
{
    using namespace sprite_edit;
    hook.BeginGroup(this, kClassName, kCommands, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    hook.String(&file, "file", kFile, kFileFilter, &OnImageChanged, this, 0);
    std::string regions;
    if (!file.IsEmpty()) {
        if (CImageSet* set = CImageSetManager::Instance().GetSet(file.c_str(), true))
            regions = set->GetNames();
    }
    hook.String(&name, "name", kList, regions.c_str(), &OnImageChanged, this, 0);
    hook.BoolAsInt32(&IsDrawFrameOnly, "IsDrawFrameOnly", kChoice, kBoolHint, nullptr, nullptr, 0);
    hook.Int32(&type, "type", kChoice, kTypeHint, nullptr, nullptr, 0);
    DescribeMask(hook, mask);
    hook.BeginGroup(&Rect, "Rect", kPlain, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.Int32(&Rect.left, "left", kText, "", nullptr, nullptr, 0);
    hook.Int32(&Rect.top, "top", kText, "", nullptr, nullptr, 0);
    hook.Int32(&Rect.right, "right", kText, "", nullptr, nullptr, 0);
    hook.Int32(&Rect.bottom, "bottom", kText, "", nullptr, nullptr, 0);
    hook.LeaveGroup();
    hook.LeaveGroup();
}

int32_t CRenderObject_PictureFrame::ResolveTexture()
{
    CTextureCache& cache = CTextureCache::Instance();
    if (nTextureID != -1 && cache.GetTexture(nTextureID))
        return nTextureID;
    nTextureID = -1;
    regionKnown_ = false;
    if (file.IsEmpty())
        return -1;
    nTextureID = cache.LoadTexture(file.c_str());
    if (nTextureID == -1 && cache.LastLoadFailure() == CTextureCache::LoadFailure::NotFound)
        notices::ReportMissing("image", file.c_str(), LookupPlaces(file.c_str()));
    return nTextureID;
}

bool CRenderObject_PictureFrame::FindRegion(KVQRect& region)
{
    if (regionKnown_) {
        region = region_;
        return true;
    }
    // Without a region name the frame is cut from the whole image.
    if (!name.IsEmpty()) {
        CImageSetManager& sets = CImageSetManager::Instance();
        const ImageSetEntry* entry = sets.GetRect(file.c_str(), name.c_str(), true);
        if (!entry) {
            notices::ReportMissing("image-set region", name.c_str(), std::string("image set '") + file.c_str() + ".set'");
            return false;
        }
        region = entry->rect;
    } else {
        region = KVQRect{};
    }
    if (region.IsEmpty()) {
        ITextureObject* texture = CTextureCache::Instance().GetTextureObject(nTextureID);
        if (!texture)
            return false;
        region = KVQRect{0, texture->GetWidth(), 0, texture->GetHeight()};
        Rect = region;
    }
    region_ = region;
    regionKnown_ = true;
    return true;
}

int32_t CRenderObject_PictureFrame::EffectiveType(int32_t type, const KVQRect& region, const KVQRect& target)
{
    if (type == TYPE_H3 || type == TYPE_V3)
        return type;
    if (region.Height() >= target.Height())
        return TYPE_H3;
    if (region.Width() >= target.Width())
        return TYPE_V3;
    return TYPE_3X3;
}

void CRenderObject_PictureFrame::Tile(CKVQDC& dc, int32_t texture, const KVQRect& cell, const KVQRect& area,
                                      uint32_t color)
{
    // Sizes in 64 bits: rectangles from layouts may span the whole int32 range.
    const int64_t sw = int64_t{cell.right} - cell.left;
    const int64_t sh = int64_t{cell.bottom} - cell.top;
    const int64_t aw = int64_t{area.right} - area.left;
    const int64_t ah = int64_t{area.bottom} - area.top;
    if (sw <= 0 || sh <= 0 || aw <= 0 || ah <= 0)
        return;
    int64_t firstColumn = 0, lastColumn = (aw + sw - 1) / sw;
    int64_t firstRow = 0, lastRow = (ah + sh - 1) / sh;
    // Tiles outside the clip would be cut away whole: skip them, so a huge area costs only what
    // shows.
    KVQRect clip;
    dc.GetClip(clip);
    if (!clip.IsEmpty()) {
        if (clip.right <= area.left || clip.left >= area.right || clip.bottom <= area.top || clip.top >= area.bottom)
            return;
        firstColumn = std::max<int64_t>(0, (int64_t{clip.left} - area.left) / sw);
        lastColumn = std::min(lastColumn, (int64_t{clip.right} - area.left + sw - 1) / sw);
        firstRow = std::max<int64_t>(0, (int64_t{clip.top} - area.top) / sh);
        lastRow = std::min(lastRow, (int64_t{clip.bottom} - area.top + sh - 1) / sh);
    }
    for (int64_t i = firstRow; i < lastRow; ++i) {
        const int64_t top = area.top + i * sh;
        const int64_t bottom = std::min<int64_t>(top + sh, area.bottom);
        for (int64_t j = firstColumn; j < lastColumn; ++j) {
            const int64_t left = area.left + j * sw;
            const int64_t right = std::min<int64_t>(left + sw, area.right);
            // Tiles start at the area's corner, so only the right and bottom ones are cut.
            const KVQRect source{cell.left, static_cast<int32_t>(cell.left + (right - left)), cell.top,
                                 static_cast<int32_t>(cell.top + (bottom - top))};
            const KVQRect destination{static_cast<int32_t>(left), static_cast<int32_t>(right),
                                      static_cast<int32_t>(top), static_cast<int32_t>(bottom)};
            dc.StretchBlit(texture, source, destination, color);
        }
    }
}

void CRenderObject_PictureFrame::Draw(const KVQRect& windowRect)
{
    CKVQDC* dc = GetCurrentDevice();
    if (!dc || ResolveTexture() == -1)
        return;
    KVQRect region;
    if (!FindRegion(region) || region.Width() <= 0 || region.Height() <= 0)
        return;
    using wrap32::Add;
    using wrap32::Sub;
    const KVQRect& d = windowRect;
    const uint32_t color = PackColor(mask);
    const int32_t id = nTextureID;
    auto draw = [&](const KVQRect& source, const KVQRect& destination) {
        if (source.Width() > 0 && source.Height() > 0)
            dc->Blit(id, source, destination, color);
    };
    auto tile = [&](const KVQRect& source, const KVQRect& area) { Tile(*dc, id, source, area, color); };
    const int32_t left = d.left, right = d.right, top = d.top, bottom = d.bottom;

    switch (EffectiveType(type, region, d)) {
    case TYPE_H3: {
        const int32_t full = region.Width() / 3;
        const int32_t cw = std::min(full, d.Width() / 2);
        const int32_t ch = region.Height();
        if (cw <= 0)
            return;
        // A target narrower than two caps keeps the outer columns of each cap.
        const int32_t capEnd = Add(region.left, 3 * full);
        draw(Box(region.left, region.top, Add(region.left, cw), region.bottom), Box(left, top, Add(left, cw), Add(top, ch)));
        tile(Cell(region, 1, 0, full, ch), Box(Add(left, cw), top, Sub(right, cw), Add(top, ch)));
        draw(Box(Sub(capEnd, cw), region.top, capEnd, region.bottom), Box(Sub(right, cw), top, right, Add(top, ch)));
        break;
    }
    case TYPE_V3: {
        const int32_t full = region.Height() / 3;
        const int32_t ch = std::min(full, d.Height() / 2);
        const int32_t cw = region.Width();
        if (ch <= 0)
            return;
        const int32_t capEnd = Add(region.top, 3 * full);
        draw(Box(region.left, region.top, region.right, Add(region.top, ch)), Box(left, top, Add(left, cw), Add(top, ch)));
        tile(Cell(region, 0, 1, cw, full), Box(left, Add(top, ch), Add(left, cw), Sub(bottom, ch)));
        draw(Box(region.left, Sub(capEnd, ch), region.right, capEnd), Box(left, Sub(bottom, ch), Add(left, cw), bottom));
        break;
    }
    default: {
        const int32_t cw = region.Width() / 3;
        const int32_t ch = region.Height() / 3;
        if (cw <= 0 || ch <= 0)
            return;
        const int32_t innerLeft = Add(left, cw), innerRight = Sub(right, cw);
        const int32_t innerTop = Add(top, ch), innerBottom = Sub(bottom, ch);
        draw(Cell(region, 0, 0, cw, ch), Box(left, top, innerLeft, innerTop));
        tile(Cell(region, 1, 0, cw, ch), Box(innerLeft, top, innerRight, innerTop));
        draw(Cell(region, 2, 0, cw, ch), Box(innerRight, top, right, innerTop));
        tile(Cell(region, 0, 1, cw, ch), Box(left, innerTop, innerLeft, innerBottom));
        if (!IsDrawFrameOnly)
            tile(Cell(region, 1, 1, cw, ch), Box(innerLeft, innerTop, innerRight, innerBottom));
        tile(Cell(region, 2, 1, cw, ch), Box(innerRight, innerTop, right, innerBottom));
        draw(Cell(region, 0, 2, cw, ch), Box(left, innerBottom, innerLeft, bottom));
        tile(Cell(region, 1, 2, cw, ch), Box(innerLeft, innerBottom, innerRight, bottom));
        draw(Cell(region, 2, 2, cw, ch), Box(innerRight, innerBottom, right, bottom));
        break;
    }
    }
}
