#include "render/pictures/Sprite.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "common/Notices.h"
#include "gfx/DC.h"
#include "gfx/ImageSet.h"
#include "gfx/Texture.h"
#include "io/Archive.h"
#include "io/EditHook.h"
#include "io/LookupPlaces.h"
#include "io/RecordBlock.h"
#include "ui/Message.h"

namespace {

constexpr const char* kAlignHint = "ALIGN_TOPLEFT|ALIGN_TOPCENTER|ALIGN_CENTER|ALIGN_BOTTOMCENTER|";
constexpr const char* kRectCommands = "Copy|Paste|";
constexpr const char* kRectRange = "0:2048";
constexpr const char* kByteRange = "0:255";
constexpr const char* kAngleRange = "0:6282:1000";
constexpr const char* kFileFilter = "*.*";
constexpr const char* kFloatFormat = "%f";
constexpr const char* kCopy = "Copy";
constexpr const char* kPaste = "Paste";

// The outline is the image drawn eight times around its place, one pixel away, in this order.
constexpr KVQPoint kOutlineOffsets[] = {{1, 0}, {1, 1}, {1, -1}, {-1, 0}, {-1, 1}, {-1, -1}, {0, 1}, {0, -1}};

// The editor's rectangle clipboard, shared by every sprite of the process.
CKVQMessage& RectClipboard()
{
    static CKVQMessage clipboard(CKVQMessage::kEventCapacity);
    return clipboard;
}

void OnImageChanged(void* object, const char*, int32_t)
{
    if (auto* sprite = static_cast<Sprite*>(object))
        sprite->Unresolve();
}

// An image the sprite names that does not load: said once per run per name, however often the
// sprite asks for it again.
void ReportUnloadedImage(const char* name)
{
    switch (CTextureCache::Instance().LastLoadFailure()) {
    case CTextureCache::LoadFailure::Loaded:
        break;
    case CTextureCache::LoadFailure::NotFound:
        notices::ReportMissing("image", name, LookupPlaces(name));
        break;
    case CTextureCache::LoadFailure::Unreadable:
        notices::NoticeOnce(std::string("image\x1f") + name, std::string("image '") + name + "' is empty or unreadable");
        break;
    case CTextureCache::LoadFailure::NotAnImage:
    case CTextureCache::LoadFailure::NoTexture:
        notices::NoticeOnce(std::string("image\x1f") + name,
                            std::string("image '") + name +
                                "' cannot be decoded (PNG, JPEG, BMP, GIF, PCX and TGA images are read)");
        break;
    }
}

// A region the sprite names that its image set does not hold (the whole image is drawn instead).
void ReportMissingRegion(const char* region, const char* image, const CImageSet* set)
{
    std::string place = std::string("image set '") + image + ".set'";
    std::string names;
    if (set != nullptr) {
        const std::string& bars = set->GetNames();  // "|a|b|"
        for (size_t i = 1; i < bars.size(); ++i)
            names += bars[i] == '|' ? (i + 1 < bars.size() ? ", " : "") : std::string(1, bars[i]);
    }
    place += names.empty() ? ", which is missing or holds no regions" : ", which holds: " + names;
    notices::ReportMissing("image-set region", region, place);
}

KVQRect Moved(const KVQRect& r, int32_t dx, int32_t dy)
{
    return {wrap32::Add(r.left, dx), wrap32::Add(r.right, dx), wrap32::Add(r.top, dy), wrap32::Add(r.bottom, dy)};
}

bool SameSize(const KVQRect& a, const KVQRect& b)
{
    return a.Width() == b.Width() && a.Height() == b.Height();
}

KVQRect FullRect(ITextureObject* texture)
{
    return texture ? KVQRect{0, texture->GetWidth(), 0, texture->GetHeight()} : KVQRect{};
}

// Colours inside a sprite's record are four bytes in the order red, green, blue, alpha.
void TransferSpriteColor(CIArchive& ar, RGBA& c, const char* red, const char* green, const char* blue,
                         const char* alpha)
{
    ar.UInt8(c.red, red);
    ar.UInt8(c.green, green);
    ar.UInt8(c.blue, blue);
    ar.UInt8(c.alpha, alpha);
}

void DescribeSpriteColor(CIEditHook& hook, RGBA& c, const char* name)
{
    using namespace sprite_edit;
    hook.BeginGroup(&c, name, kColor, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.UInt8(&c.red, "red", kRange, kByteRange, nullptr, nullptr, 0);
    hook.UInt8(&c.green, "green", kRange, kByteRange, nullptr, nullptr, 0);
    hook.UInt8(&c.blue, "blue", kRange, kByteRange, nullptr, nullptr, 0);
    hook.UInt8(&c.alpha, "alpha", kRange, kByteRange, nullptr, nullptr, 0);
    hook.LeaveGroup();
}

}  // namespace

int32_t TruncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(INT32_MAX))
        return INT32_MAX;
    if (value <= static_cast<double>(INT32_MIN))
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

void TransferSwitch(CIArchive& ar, int32_t& value, const char* name)
{
    bool on = value != 0;
    ar.Bool(on, name);
    if (ar.IsLoading())
        value = on ? 1 : 0;
}

// ---- resolving ----

void Sprite::Unresolve()
{
    nTextureID = -1;
    Rect = KVQRect{};
}

int32_t Sprite::Resolve()
{
    CTextureCache& cache = CTextureCache::Instance();
    if (nTextureID != -1 && cache.GetTexture(nTextureID))
        return nTextureID;
    nTextureID = -1;
    if (file.IsEmpty())
        return -1;
    const int32_t source = cache.LoadTexture(file.c_str());
    if (source == -1) {
        ReportUnloadedImage(file.c_str());
        return -1;
    }
    // A sprite with its own copy draws from it, so changes to the copy (painting) stay private.
    const bool ownCopy = !clone.IsEmpty() && !(clone == file);
    const std::string working = ownCopy ? clone.c_str() : file.c_str();
    if (ownCopy)
        cache.CopyTexture(source, working.c_str());
    nTextureID = cache.LoadTexture(working.c_str());
    if (nTextureID == -1)
        return -1;
    // A region named by the layout (not the image's own name, which stands for the whole image)
    // that the set lacks is worth telling; the sprite still draws the whole image.
    const std::string given = ImageName.c_str();
    const bool regionNamed = !given.empty() && given != working && given != file.c_str();
    if (ImageName.IsEmpty())
        ImageName = working.c_str();
    CImageSetManager& sets = CImageSetManager::Instance();
    if (const ImageSetEntry* entry = sets.GetRect(working.c_str(), ImageName.c_str(), true)) {
        Rect = entry->rect;
    } else {
        Rect = FullRect(cache.GetTextureObject(nTextureID));
        CImageSet* set = sets.GetSet(working.c_str(), true);
        if (regionNamed)
            ReportMissingRegion(ImageName.c_str(), working.c_str(), set);
        if (set != nullptr)
            set->SetRect(file.c_str(), Rect);
    }
    return nTextureID;
}

ITextureObject* Sprite::GetTexture()
{
    if (file.IsEmpty())
        return nullptr;
    const int32_t id = Resolve();
    return id == -1 ? nullptr : CTextureCache::Instance().GetTextureObject(id);
}

const KVQRect& Sprite::GetSourceRect()
{
    if (Rect.IsEmpty())
        Resolve();
    return Rect;
}

// ---- geometry ----

KVQRect Sprite::GetDestRect(const KVQRect& target)
{
    if (Rect.IsEmpty())
        Resolve();
    int32_t width;
    int32_t height;
    if (IsScaleByWnd) {
        width = target.Width();
        height = target.Height();
    } else {
        width = TruncateToInt(static_cast<float>(Rect.Width()) * fScaleX);
        height = TruncateToInt(static_cast<float>(Rect.Height()) * fScaleY);
    }
    int32_t dx = 0;
    int32_t dy = 0;
    switch (nAlign) {
    case ALIGN_TOPCENTER:
        dx = wrap32::Sub(target.Width(), width) >> 1;
        break;
    case ALIGN_CENTER:
        dx = wrap32::Sub(target.Width(), width) >> 1;
        dy = wrap32::Sub(target.Height(), height) >> 1;
        break;
    case ALIGN_BOTTOMCENTER:
        dx = wrap32::Sub(target.Width(), width) >> 1;
        dy = wrap32::Sub(target.Height(), height);
        break;
    default:
        break;
    }
    // Only the hot spot's length counts; its direction is the sprite's rotation.
    if (hotX != 0 || hotY != 0) {
        const auto hx = static_cast<float>(hotX);
        const auto hy = static_cast<float>(hotY);
        const float length = std::sqrt(hx * hx + hy * hy);
        dx = TruncateToInt(std::cos(fRadia) * length + static_cast<float>(dx));
        dy = TruncateToInt(std::sin(fRadia) * length + static_cast<float>(dy));
    }
    const int32_t left = wrap32::Add(wrap32::Add(target.left, dx), Offset.x);
    const int32_t top = wrap32::Add(wrap32::Add(target.top, dy), Offset.y);
    return {left, wrap32::Add(left, width), top, wrap32::Add(top, height)};
}

// ---- drawing ----

void Sprite::Blit(const KVQRect& destination, uint32_t packedColor) const
{
    CKVQDC* dc = GetCurrentDevice();
    if (!dc)
        return;
    if (fRadia != 0.0f)
        dc->RotateBlit(nTextureID, Rect, destination, packedColor, fRadia);
    else if (fScaleX == 1.0f && fScaleY == 1.0f && SameSize(destination, Rect))
        dc->Blit(nTextureID, Rect, destination, packedColor);
    else
        dc->StretchBlit(nTextureID, Rect, destination, packedColor);
}

void Sprite::Draw(const KVQRect& target)
{
    if (file.IsEmpty() || Resolve() == -1 || !GetCurrentDevice())
        return;
    if (Rect.IsEmpty())
        Rect = FullRect(CTextureCache::Instance().GetTextureObject(nTextureID));
    const KVQRect destination = GetDestRect(target);
    if (FrameWidth > 0) {
        const uint32_t outline = PackColor(framecolor);
        for (const KVQPoint& offset : kOutlineOffsets)
            Blit(Moved(destination, offset.x, offset.y), outline);
    }
    Blit(destination, PackColor(color));
}

void Sprite::DrawCentered(int32_t x, int32_t y, float angle, float scaleX, float scaleY, const KVQRect& reference)
{
    if (Resolve() == -1)
        return;
    CKVQDC* dc = GetCurrentDevice();
    if (!dc)
        return;
    if (Rect.IsEmpty())
        Rect = FullRect(CTextureCache::Instance().GetTextureObject(nTextureID));
    const int32_t sourceWidth = Rect.Width();
    const int32_t sourceHeight = Rect.Height();
    if (IsScaleByWnd) {
        // A source without extent has nothing to stretch (and must not be divided by).
        if (sourceHeight != 0)
            scaleY *= static_cast<float>(reference.Height()) / static_cast<float>(sourceHeight);
        if (sourceWidth != 0)
            scaleX *= static_cast<float>(reference.Width()) / static_cast<float>(sourceWidth);
    }
    const int32_t width =
        scaleX != 1.0f ? TruncateToInt(static_cast<float>(sourceWidth) * scaleX) : sourceWidth;
    const int32_t height =
        scaleY != 1.0f ? TruncateToInt(static_cast<float>(sourceHeight) * scaleY) : sourceHeight;
    const int32_t hw = width >> 1;
    const int32_t hh = height >> 1;
    const KVQRect destination{wrap32::Sub(x, hw), wrap32::Add(x, hw), wrap32::Sub(y, hh), wrap32::Add(y, hh)};
    if (destination.Width() == 0 || destination.Height() == 0)
        return;
    const uint32_t packed = PackColor(color);
    if (angle != 0.0f)
        dc->RotateBlit(nTextureID, Rect, destination, packed, angle);
    else if (SameSize(destination, Rect))
        dc->Blit(nTextureID, Rect, destination, packed);
    else
        dc->StretchBlit(nTextureID, Rect, destination, packed);
}

// ---- record ----

void Sprite::Transfer(CIArchive& ar, const char* name)
{
    TransferBlock(ar, name, kRecordCapacity, [this](CIArchive& block) { TransferFields(block); });
}

void Sprite::TransferFields(CIArchive& ar)
{
    if (ar.IsLoading())
        nTextureID = -1;  // the file may differ from the one resolved before
    ar.String(file, "file");
    ar.Int32(Rect.left, "Rect.left");
    ar.Int32(Rect.right, "Rect.right");
    ar.Int32(Rect.top, "Rect.top");
    ar.Int32(Rect.bottom, "Rect.bottom");
    ar.Int32(nAlign, "nAlign");
    TransferSpriteColor(ar, color, "color.red", "color.green", "color.blue", "color.alpha");
    ar.Int32(hotX, "hotX");
    ar.Int32(hotY, "hotY");
    ar.Float(fScaleX, "fScaleX");
    ar.Float(fScaleY, "fScaleY");
    ar.Float(fRadia, "fRadia");
    TransferSwitch(ar, IsScaleByWnd, "IsScaleByWnd");
    ar.Int32(Offset.x, "Offset.x");
    ar.Int32(Offset.y, "Offset.y");
    ar.String(ImageName, "ImageName");
    ar.String(clone, "clone");
    ar.Int32(FrameWidth, "FrameWidth");
    TransferSpriteColor(ar, framecolor, "framecolor.red", "framecolor.green", "framecolor.blue",
                        "framecolor.alpha");
}

// ---- attributes ----

void Sprite::Describe(CIEditHook& hook, const char* group, const char* hint)
{
    using namespace sprite_edit;
    hook.BeginGroup(this, group, kCommands, hint ? hint : "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.String(&file, "file", kFile, kFileFilter, &OnImageChanged, this, 0);
    hook.String(&clone, "clone", kText, "", &OnImageChanged, this, 0);
    // The editor offers the regions of the file's image set.
    std::string regions;
    if (!file.IsEmpty()) {
        if (CImageSet* set = CImageSetManager::Instance().GetSet(file.c_str(), true))
            regions = set->GetNames();
    }
    hook.String(&ImageName, "ImageName", kList, regions.c_str(), &OnImageChanged, this, 0);

    hook.BeginGroup(&Rect, "Rect", kCommands, kRectCommands, nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.Int32(&Rect.left, "left", kRange, kRectRange, nullptr, nullptr, 0);
    hook.Int32(&Rect.top, "top", kRange, kRectRange, nullptr, nullptr, 0);
    hook.Int32(&Rect.right, "right", kRange, kRectRange, nullptr, nullptr, 0);
    hook.Int32(&Rect.bottom, "bottom", kRange, kRectRange, nullptr, nullptr, 0);
    hook.LeaveGroup();

    hook.Int32(&nAlign, "nAlign", kChoice, kAlignHint, nullptr, nullptr, 0);
    DescribeSpriteColor(hook, color, "color");
    hook.Int32(&hotX, "hotX", kText, "0", nullptr, nullptr, 0);
    hook.Int32(&hotY, "hotY", kText, "0", nullptr, nullptr, 0);
    hook.Int32(&FrameWidth, "FrameWidth", kText, "0", nullptr, nullptr, 0);
    DescribeSpriteColor(hook, framecolor, "framecolor");

    hook.BeginGroup(&Offset, "Offset", kColor, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.Int32(&Offset.x, "x", kText, "", nullptr, nullptr, 0);
    hook.Int32(&Offset.y, "y", kText, "", nullptr, nullptr, 0);
    hook.LeaveGroup();

    hook.Float(&fScaleX, kFloatFormat, "fScaleX", kText, "0", nullptr, nullptr, 0);
    hook.Float(&fScaleY, kFloatFormat, "fScaleY", kText, "0", nullptr, nullptr, 0);
    hook.Float(&fRadia, kFloatFormat, "fRadia", kRange, kAngleRange, nullptr, nullptr, 0);
    hook.BoolAsInt32(&IsScaleByWnd, "IsScaleByWnd", kList, kBoolHint, nullptr, nullptr, 0);
    hook.LeaveGroup();
}

bool Sprite::ExecuteRectCommand(const char* command)
{
    if (!command)
        return false;
    CKVQMessage& clipboard = RectClipboard();
    if (std::strcmp(command, kCopy) == 0) {
        clipboard.Buffer().Reset();
        clipboard.setMode(CIArchive::SM_WRITE);
        KVQRect copy = Rect;
        clipboard.Int32(copy.left);
        clipboard.Int32(copy.right);
        clipboard.Int32(copy.top);
        clipboard.Int32(copy.bottom);
        return true;
    }
    if (std::strcmp(command, kPaste) == 0) {
        if (clipboard.GetSize() == 0)
            return false;
        clipboard.setMode(CIArchive::SM_READ);
        KVQRect pasted;
        clipboard.Int32(pasted.left);
        clipboard.Int32(pasted.right);
        clipboard.Int32(pasted.top);
        clipboard.Int32(pasted.bottom);
        if (clipboard.GetError() != 0)
            return false;
        Rect = pasted;
        return true;
    }
    return false;
}
