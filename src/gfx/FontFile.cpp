// The ".fnt" record: one record block holding, in order, the requested size, the line height, the
// atlas block, the face name, the use-bitmap flag, the bitmap-font block, the outline flag, the
// second name and the regenerate flag. Integers are int32, flags the 4-byte bool transfer.
//
//   atlas block:   the glyph map (8 trees); cursor x, cursor y, row height, page width, page
//                  height, page being filled; page count; the pages; the outline flag
//   tree node:     int32 1, int32 code, the entry as a record block, the subtree of larger codes,
//                  the subtree of smaller codes; an empty place is int32 0
//   glyph entry:   page, left, right, top, bottom (20 bytes)
//   bitmap block:  image name, then 8 trees whose entries are left, right, top, bottom (16 bytes)
//   page:          int32 width, int32 height, width × height × 4 bytes of RGBA, row by row

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/Notices.h"
#include "gfx/Font.h"
#include "gfx/Texture.h"
#include "io/Archive.h"
#include "io/FileSystem.h"
#include "io/FileSystemSerial.h"
#include "io/LookupPlaces.h"
#include "io/RecordBlock.h"

namespace {

// Store capacities of the blocks when the stream is not memory (a message is filled first).
constexpr int32_t kFontRecordCapacity = 1024;
constexpr int32_t kAtlasCapacity = 4096;
constexpr int32_t kBitmapCapacity = 256;
constexpr int32_t kEntryCapacity = 32;
// A place in a tree takes at least its marker; a page at least its two sizes.
constexpr int32_t kMarkerBytes = 4;
constexpr int32_t kPageHeaderBytes = 8;
constexpr int32_t kNodeMarker = 1;
constexpr int32_t kEmptyMarker = 0;
constexpr int32_t kLargestCode = 0xFFFF;

std::string Text(int64_t v)
{
    return std::to_string(v);
}

bool InTextureRange(int32_t side)
{
    return side >= 1 && side <= kMaxTextureSide;
}

// One entry in its own record block; false when a load found the block or its fields cut short.
template <typename Fields>
bool EntryBlock(CIArchive& ar, Fields&& fields)
{
    bool complete = true;
    const bool transferred = TransferBlock(ar, "entry", kEntryCapacity, [&](CIArchive& block) {
        fields(block);
        complete = block.GetError() == CISerial::kNoError;
    });
    return transferred && complete;
}

bool GlyphEntryBlock(CIArchive& ar, GlyphEntry& e)
{
    return EntryBlock(ar, [&](CIArchive& block) {
        block.Int32(e.page);
        block.Int32(e.rect.left);
        block.Int32(e.rect.right);
        block.Int32(e.rect.top);
        block.Int32(e.rect.bottom);
    });
}

bool RectEntryBlock(CIArchive& ar, KVQRect& r)
{
    return EntryBlock(ar, [&](CIArchive& block) {
        block.Int32(r.left);
        block.Int32(r.right);
        block.Int32(r.top);
        block.Int32(r.bottom);
    });
}

}  // namespace

template <typename Entry>
template <typename TransferEntry>
bool GlyphTreeMap<Entry>::Transfer(CIArchive& ar, TransferEntry&& entryBlock, std::string& error)
{
    if (ar.IsStoring()) {
        std::vector<const Node*> pending;
        for (const auto& root : roots_) {
            pending.push_back(root.get());
            while (!pending.empty()) {
                const Node* node = pending.back();
                pending.pop_back();
                int32_t marker = node != nullptr ? kNodeMarker : kEmptyMarker;
                ar.Int32(marker);
                if (node == nullptr)
                    continue;
                int32_t code = node->code;
                ar.Int32(code);
                Entry entry = node->entry;
                entryBlock(ar, entry);
                pending.push_back(node->smaller.get());
                pending.push_back(node->larger.get());
            }
        }
        return ar.GetError() == CISerial::kNoError;
    }

    // Reading needs no recursion: the trees are a sequence of nodes in file order, each opening
    // two more places, and inserting them in that order rebuilds every tree's shape.
    Clear();
    CISerial* serial = ar.GetSerial();
    if (serial == nullptr) {
        error = "no stream";
        return false;
    }
    for (int32_t bucket = 0; bucket < kBuckets; ++bucket) {
        const std::string where = "bucket " + Text(bucket);
        int64_t open = 1;
        while (open > 0) {
            if (open * kMarkerBytes > serial->Remaining()) {
                error = where + ": the tree ends before its last node";
                return false;
            }
            --open;
            int32_t marker = 0;
            ar.Int32(marker);
            if (marker == kEmptyMarker)
                continue;
            if (marker != kNodeMarker) {
                error = where + ": node marker " + Text(marker) + " (1 or 0 expected)";
                return false;
            }
            int32_t code = 0;
            ar.Int32(code);
            if (code < 0 || code > kLargestCode) {
                error = where + ": code " + Text(code) + " is not a UCS-2 unit";
                return false;
            }
            if (BucketOf(static_cast<uint16_t>(code)) != bucket) {
                error = where + ": code " + Text(code) + " belongs in bucket " + Text(code & (kBuckets - 1));
                return false;
            }
            Entry entry{};
            if (!entryBlock(ar, entry) || ar.GetError() != CISerial::kNoError) {
                error = where + ": the entry of code " + Text(code) + " is damaged";
                return false;
            }
            // The engine never stores a code twice; allowing it would let a file of repeats make
            // every insert walk a chain thousands of nodes long.
            if (!Insert(static_cast<uint16_t>(code), entry)) {
                error = where + ": code " + Text(code) + " appears twice";
                return false;
            }
            open += 2;
        }
    }
    return true;
}

bool CKVQFont::TransferRecord(CIArchive& ar)
{
    loadError_.clear();
    if (ar.GetTextForm() != nullptr || ar.GetSerial() == nullptr) {
        loadError_ = "a font record needs a byte stream";
        return false;
    }
    const bool loading = ar.IsLoading();
    if (loading) {
        ReleasePages();
        atlas.map.Clear();
        bitmapFont.map.Clear();
        bitmapFont.texture = -1;
        platformFont_.reset();
    }
    std::string error;
    auto fail = [&](const std::string& what) {
        if (error.empty())
            error = what;
        return false;
    };

    auto atlasFields = [&](CIArchive& a) -> bool {
        if (!atlas.map.Transfer(a, GlyphEntryBlock, error))
            return fail("glyph map");
        a.Int32(atlas.cursorX);
        a.Int32(atlas.cursorY);
        a.Int32(atlas.rowHeight);
        a.Int32(atlas.pageWidth);
        a.Int32(atlas.pageHeight);
        a.Int32(atlas.fillingPage);
        if (loading && (!InTextureRange(atlas.pageWidth) || !InTextureRange(atlas.pageHeight)))
            return fail("atlas: page size " + Text(atlas.pageWidth) + " x " + Text(atlas.pageHeight) +
                        " outside 1 … " + Text(kMaxTextureSide));
        int32_t count = static_cast<int32_t>(atlas.pages.size());
        a.Int32(count);
        if (loading && (count < 0 || count > a.GetSerial()->Remaining() / kPageHeaderBytes))
            return fail("atlas: " + Text(count) + " pages, more than the record holds");
        for (int32_t i = 0; i < count; ++i) {
            const std::string where = "atlas: page " + Text(i);
            if (loading) {
                int32_t width = 0, height = 0;
                a.Int32(width);
                a.Int32(height);
                if (!InTextureRange(width) || !InTextureRange(height))
                    return fail(where + ": size " + Text(width) + " x " + Text(height) + " outside 1 … " +
                                Text(kMaxTextureSide));
                const int64_t bytes = int64_t{width} * height * 4;
                if (bytes > a.GetSerial()->Remaining())
                    return fail(where + ": " + Text(bytes) + " bytes of pixels, more than the record holds");
                std::vector<uint8_t> pixels(static_cast<size_t>(bytes));
                a.Bytes(pixels.data(), static_cast<int32_t>(bytes));
                if (AddPage(pixels.data(), width, height) < 0)
                    return fail(where + ": no texture can be made");
                continue;
            }
            ITextureObject* object = CTextureCache::Instance().GetTextureObject(atlas.pages[static_cast<size_t>(i)]);
            int32_t width = object != nullptr ? object->GetWidth() : atlas.pageWidth;
            int32_t height = object != nullptr ? object->GetHeight() : atlas.pageHeight;
            a.Int32(width);
            a.Int32(height);
            const TexturePixels pixels = GetTexturePixels(object);
            std::vector<uint8_t> row(static_cast<size_t>(std::max(width, 0)) * 4, 0);
            for (int32_t y = 0; y < height; ++y) {
                if (pixels.Holds(width - 1, y))
                    std::memcpy(row.data(), pixels.At(0, y), row.size());
                a.Bytes(row.data(), static_cast<int32_t>(row.size()));
            }
        }
        a.Bool(atlas.outline);
        return a.GetError() == CISerial::kNoError || fail("atlas: the block ends early");
    };

    auto bitmapFields = [&](CIArchive& b) -> bool {
        b.String(bitmapFont.imageName);
        if (!bitmapFont.map.Transfer(b, RectEntryBlock, error))
            return fail("bitmap font");
        return true;
    };

    auto fields = [&](CIArchive& r) -> bool {
        r.Int32(requestedSize);
        r.Int32(lineHeight);
        bool inner = false;
        if (!TransferBlock(r, "atlas", kAtlasCapacity, [&](CIArchive& a) { inner = atlasFields(a); }))
            return fail("atlas: bad block length");
        if (!inner)
            return false;
        r.String(faceName);
        r.Bool(useBitmapFont);
        if (!TransferBlock(r, "bitmap", kBitmapCapacity, [&](CIArchive& b) { inner = bitmapFields(b); }))
            return fail("bitmap font: bad block length");
        if (!inner)
            return false;
        r.Bool(outline);
        r.String(secondName);
        r.Bool(regenerate);
        return r.GetError() == CISerial::kNoError || fail("the record ends early");
    };

    bool complete = false;
    const bool transferred =
        TransferBlock(ar, "font", kFontRecordCapacity, [&](CIArchive& r) { complete = fields(r); });
    if (!transferred)
        fail("not one font record (its length does not match the file)");
    if (transferred && complete) {
        if (loading)
            storedSize_ = requestedSize;
        return true;
    }
    if (loading) {
        loadError_ = error.empty() ? std::string("damaged") : error;
        // What was read before the damage is not kept: it would draw from a half-made atlas.
        ReleasePages();
        atlas.map.Clear();
        bitmapFont.map.Clear();
    }
    return false;
}

bool CKVQFont::AfterLoad(int32_t sizeOverride)
{
    if (!bitmapFont.imageName.IsEmpty()) {
        const char* image = bitmapFont.imageName.c_str();
        bitmapFont.texture = CTextureCache::Instance().LoadTexture(image);
        if (bitmapFont.texture < 0) {
            if (CTextureCache::Instance().LastLoadFailure() == CTextureCache::LoadFailure::NotFound)
                notices::ReportMissing("image", image, LookupPlaces(image));
            else
                notices::NoticeOnce(std::string("image\x1f") + image,
                                    std::string("image '") + image + "' of a bitmap font cannot be decoded");
        }
    }
    if (create_ != nullptr && !useBitmapFont && regenerate) {
        // The face is made at the size asked for, never at the stored line height: that is the
        // size plus the face's leading, and would grow with every save and reload.
        const int32_t size = sizeOverride > 0 ? sizeOverride : requestedSize;
        if (size != requestedSize) {
            // Glyphs stored at another size do not belong to this one.
            ReleasePages();
            atlas.map.Clear();
            atlas.cursorX = atlas.cursorY = atlas.fillingPage = 0;
        }
        if (!CreatePlatformFont(faceName, size)) {
            loadError_ = "the face '" + faceName.GetUtf8String() + "' cannot be made at " + std::to_string(size) +
                         " pixels";
            return false;
        }
    }
    atlas.rowHeight = lineHeight;
    return true;
}

bool CKVQFont::Transfer(CIArchive& ar)
{
    if (!TransferRecord(ar))
        return false;
    return ar.IsStoring() || AfterLoad(0);
}

bool CKVQFont::LoadFromFile(const char* name, int32_t size)
{
    loadError_.clear();
    if (name == nullptr || *name == '\0') {
        loadError_ = "no file name";
        return false;
    }
    CFileSystem& fs = GetFileSystem();
    IFile* file = fs.Open(name, true);
    if (file == nullptr) {
        loadError_ = kNotFound;
        return false;
    }
    bool loaded = false;
    {
        CIFileSystemSerial serial(file);
        CIArchive ar(&serial, CIArchive::SM_READ);
        loaded = TransferRecord(ar);
    }
    fs.Close(file);
    if (!loaded)
        return false;
    fileName = name;
    return AfterLoad(size);
}
