#pragma once
// Fonts: UCS-2 characters turned into glyph images on demand, packed into a few texture pages
// (the glyph atlas), measured, and laid out in a rectangle in one of eight modes. Glyphs come
// from a system face through the platform font (create and glyph callbacks) or from a bitmap
// font (regions of one image). Fonts are described by ".fnt" files and shared through the font
// manager: every user of the same file at the same size draws from the same atlas.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/EngineString.h"
#include "common/Types.h"

class CIArchive;

// Layout modes of DrawText and MeasureWidestLine.
enum FontLayoutMode : int32_t {
    FONT_LEFT = 0,
    FONT_RIGHT = 1,
    FONT_CENTRED = 2,
    FONT_JUSTIFIED = 3,
    FONT_WRAP_LEFT = 4,
    FONT_WRAP_RIGHT = 5,
    FONT_WRAP_CENTRED = 6,
    FONT_WRAP_JUSTIFIED = 7,
};

// What creating a platform font reports.
struct FontMetrics {
    int32_t cellHeight = 0;   // height of a character cell
    int32_t widestWidth = 0;  // the widest character
    int32_t lineSpacing = 0;  // cell height + external leading + 1: becomes the font's line height
};

// One rasterised character: RGBA rows of width pixels, opaque white where the character is and
// transparent black elsewhere (one-bit masks; colour comes from the draw colour).
struct GlyphImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgba;
};

// A system face at one pixel height: the font's create callback makes it, its Rasterise is the
// glyph callback.
class IPlatformFont {
public:
    virtual ~IPlatformFont() = default;
    virtual const FontMetrics& Metrics() const = 0;
    // False when the face yields no image for c (the font then uses '?').
    virtual bool Rasterise(uint16_t c, GlyphImage& out) = 0;
};

// Makes the platform font of a face (named in the game's code page) whose cell height reaches
// pixelHeight; null when it cannot be made.
using FontCreateCallback = std::unique_ptr<IPlatformFont> (*)(const CKVQString& faceName, int32_t pixelHeight);

// A code → entry map as font files keep it: 8 buckets (code & 7), each an unbalanced binary
// search tree by code. Trees are walked without recursion: codes typed in order make chains
// thousands of nodes deep.
template <typename Entry>
class GlyphTreeMap {
public:
    static constexpr int32_t kBuckets = 8;
    struct Node {
        uint16_t code = 0;
        Entry entry{};
        std::unique_ptr<Node> larger;
        std::unique_ptr<Node> smaller;
    };

    GlyphTreeMap() = default;
    GlyphTreeMap(const GlyphTreeMap&) = delete;
    GlyphTreeMap& operator=(const GlyphTreeMap&) = delete;
    ~GlyphTreeMap() { Clear(); }

    static int32_t BucketOf(uint16_t code) { return code & (kBuckets - 1); }
    const Entry* Find(uint16_t code) const;
    // Inserts or replaces; the tree keeps the shape insertion order gives it. True when the code
    // was not there before.
    bool Insert(uint16_t code, const Entry& entry);
    void Clear();
    size_t Size() const { return size_; }
    const std::unique_ptr<Node>& Root(int32_t bucket) const { return roots_[bucket]; }
    // Every node, bucket by bucket, each tree node first, then larger, then smaller (file order).
    template <typename Visit>
    void ForEach(Visit&& visit) const;
    // Loads or stores the 8 trees; entryBlock(ar, entry) transfers one entry (inside its own
    // record block when the caller wants one) and returns false when a load met damage. A load
    // re-inserts the nodes in file order, which gives each tree back its shape. False when a load
    // met damaged data; error then says what.
    template <typename TransferEntry>
    bool Transfer(CIArchive& ar, TransferEntry&& entryBlock, std::string& error);

private:
    std::unique_ptr<Node> roots_[kBuckets];
    size_t size_ = 0;
};

template <typename Entry>
const Entry* GlyphTreeMap<Entry>::Find(uint16_t code) const
{
    const Node* node = roots_[BucketOf(code)].get();
    while (node != nullptr) {
        if (code == node->code)
            return &node->entry;
        node = code > node->code ? node->larger.get() : node->smaller.get();
    }
    return nullptr;
}

template <typename Entry>
bool GlyphTreeMap<Entry>::Insert(uint16_t code, const Entry& entry)
{
    std::unique_ptr<Node>* place = &roots_[BucketOf(code)];
    while (*place != nullptr) {
        Node& node = **place;
        if (code == node.code) {
            node.entry = entry;
            return false;
        }
        place = code > node.code ? &node.larger : &node.smaller;
    }
    *place = std::make_unique<Node>();
    (*place)->code = code;
    (*place)->entry = entry;
    ++size_;
    return true;
}

template <typename Entry>
void GlyphTreeMap<Entry>::Clear()
{
    // Detach children before each node dies, so no destructor recurses down a long chain.
    std::vector<std::unique_ptr<Node>> pending;
    for (auto& root : roots_) {
        if (root)
            pending.push_back(std::move(root));
    }
    while (!pending.empty()) {
        std::unique_ptr<Node> node = std::move(pending.back());
        pending.pop_back();
        if (node->larger)
            pending.push_back(std::move(node->larger));
        if (node->smaller)
            pending.push_back(std::move(node->smaller));
    }
    size_ = 0;
}

template <typename Entry>
template <typename Visit>
void GlyphTreeMap<Entry>::ForEach(Visit&& visit) const
{
    std::vector<const Node*> pending;
    for (const auto& root : roots_) {
        if (root)
            pending.push_back(root.get());
        while (!pending.empty()) {
            const Node* node = pending.back();
            pending.pop_back();
            visit(node->code, node->entry);
            if (node->smaller)
                pending.push_back(node->smaller.get());
            if (node->larger)
                pending.push_back(node->larger.get());
        }
    }
}

// Where a glyph sits in the atlas.
struct GlyphEntry {
    int32_t page = 0;
    KVQRect rect{};
};

// The pages of packed glyphs with their map and packing state.
struct CGlyphAtlas {
    static constexpr int32_t kDefaultPageSize = 512;

    GlyphTreeMap<GlyphEntry> map;
    int32_t cursorX = 0;
    int32_t cursorY = 0;
    int32_t rowHeight = 0;  // the font's line height
    int32_t pageWidth = kDefaultPageSize;
    int32_t pageHeight = kDefaultPageSize;
    int32_t fillingPage = 0;
    bool outline = false;
    // Texture ids of the pages (registered with the texture cache under the names beside them);
    // their pixel copies are the stored pixels.
    std::vector<int32_t> pages;
    std::vector<std::string> pageNames;
};

// A bitmap font: regions of one image.
struct CBitmapFont {
    CKVQString imageName;
    int32_t texture = -1;
    GlyphTreeMap<KVQRect> map;
};

// A glyph ready to draw.
struct FontGlyph {
    int32_t texture = -1;
    KVQRect source{};
    int32_t width = 0;
    int32_t height = 0;
};

class CKVQFont {
public:
    // create is null for a font that only draws from its bitmap font.
    explicit CKVQFont(FontCreateCallback create = nullptr);
    ~CKVQFont();  // releases the atlas pages
    CKVQFont(const CKVQFont&) = delete;
    CKVQFont& operator=(const CKVQFont&) = delete;

    // Makes the platform font of the face at pixel height size; the line height becomes its line
    // spacing (and the atlas row height with it). False when there is no create callback or the
    // face cannot be made.
    bool CreatePlatformFont(const CKVQString& face, int32_t size);

    // The glyph of c: from the bitmap font when the font uses one, else from the atlas, else
    // rasterised by the platform font into the atlas ('?' standing in for what it cannot draw).
    // False when there is none.
    bool GetGlyph(uint16_t c, FontGlyph& out);
    // The glyph's width, 0 without a glyph ('*' for every character while the password flag is
    // on, as it is drawn).
    int32_t GetCharAdvance(uint16_t c);
    // Sum of advance × scale, the running sum truncated after each character.
    int32_t GetTextWidth(std::u16string_view text);
    // The index of the first character from start at which the running width exceeds width; the
    // text's length when it never does; start when width <= 0 or start is past the end.
    size_t IndexAtWidth(std::u16string_view text, size_t start, int32_t width);

    // Draws one line (no line feeds) with the pen at (x, y), y the top of the line box.
    void DrawLine(std::u16string_view line, int32_t x, int32_t y, uint32_t color);
    // Draws text (lines separated by line feeds) into r in a layout mode.
    void DrawText(std::u16string_view text, const KVQRect& r, int32_t mode, uint32_t color);
    // The widest line of text in r for a layout mode.
    int32_t MeasureWidestLine(std::u16string_view text, const KVQRect& r, int32_t mode);

    // The ".fnt" record: one record block holding the font's fields (both directions). After a
    // load the bitmap font's image is loaded and, for a regenerated font, the platform font made
    // at the requested size. False when a load met damaged data (GetLoadError says what) or the
    // regenerated face cannot be made.
    bool Transfer(CIArchive& ar);
    // The record alone, without what a load does afterwards (tools that pass files through).
    bool TransferRecord(CIArchive& ar);
    // Reads a ".fnt" file through the file system; records the file name. A size above 0 makes a
    // regenerated font at that size instead of the one the file asks for.
    bool LoadFromFile(const char* fileName, int32_t size = 0);
    // What was wrong with the last load ("" after one that succeeded; kNotFound when there is no
    // such file).
    static constexpr const char* kNotFound = "not found";
    const std::string& GetLoadError() const { return loadError_; }
    // The requested size the loaded record held (before a size given to LoadFromFile).
    int32_t GetStoredSize() const { return storedSize_; }

    // Appends an atlas page of width × height RGBA pixels (transparent when null), registered with
    // the texture cache under a name of its own; the texture id, -1 when no texture can be made.
    int32_t AddPage(const uint8_t* pixels, int32_t width, int32_t height);

    // Drops and rebuilds the device copies of the atlas pages (pause and resume).
    void ReleaseDevice();
    void RestoreDevice();

    int32_t GetLineHeight() const { return lineHeight; }
    float GetScale() const { return scale; }
    void SetScale(float s) { scale = s; }
    void SetPassword(bool on) { password = on; }
    void SetOutline(bool on, const RGBA& color)
    {
        drawOutline = on;
        outlineColor = color;
    }
    bool HasPlatformFont() const { return platformFont_ != nullptr; }

    // Fields, as the font file holds them.
    CKVQString faceName;
    CKVQString secondName;
    CKVQString fileName;
    int32_t requestedSize = 0;
    int32_t lineHeight = 0;
    float scale = 1.0f;
    CGlyphAtlas atlas;
    CBitmapFont bitmapFont;
    bool useBitmapFont = false;
    bool outline = false;
    bool regenerate = false;
    bool drawOutline = false;
    RGBA outlineColor{0, 0, 0, 255};
    bool password = false;

    // The character every glyph is drawn as while the password flag is on, and the one that
    // stands in for characters the platform font cannot draw.
    static constexpr uint16_t kPasswordChar = u'*';
    static constexpr uint16_t kMissingChar = u'?';

private:
    // Where a glyph comes from, with the page it was found on (-1: the bitmap font).
    bool LookUp(uint16_t c, FontGlyph& out, int32_t& page);
    bool AddToAtlas(uint16_t c, const GlyphImage& image, FontGlyph& out);
    // A fresh page that glyphs are packed into from now on.
    bool NewPage();
    void ReleasePages();
    // Advance × scale, truncated: what the pen moves by.
    int32_t ScaledAdvance(uint16_t c);
    // One line with extra pixels added after each space and tab (justification).
    void DrawRun(std::u16string_view line, int32_t x, int32_t y, uint32_t color, int32_t extraPerSpace);
    void UploadChangedPages();
    void EmitGlyph(int32_t texture, const KVQRect& source, const KVQRect& destination, uint32_t color);
    bool AfterLoad(int32_t sizeOverride);

    FontCreateCallback create_ = nullptr;
    std::unique_ptr<IPlatformFont> platformFont_;
    std::string loadError_;
    int32_t storedSize_ = 0;
    // Characters the platform font gave nothing for, not even '?', or too large for a page: asked
    // once, not on every frame (one bit per code, made on first need).
    std::vector<uint64_t> noGlyph_;
    bool pagesChanged_ = false;  // glyphs were written into pages since their last upload
};

// The process-wide list of loaded fonts, one per (file name, size).
class CKVQFontMgr {
public:
    static CKVQFontMgr& Instance();

    // The loaded font of that file and size, or a new one loaded from the file; null for an empty
    // name or a file that cannot be loaded (said once per name). A missing file is looked for
    // again on the next request; a damaged file or a face that cannot be made is not read again
    // until Clear.
    CKVQFont* GetFont(const char* fileName, int32_t size);
    // GetFont at the size the file itself stores (the first request reads it).
    CKVQFont* GetFont(const char* fileName);
    // The font the engine draws its own text with (the on-screen error display): the first
    // loaded font, null when none is loaded.
    CKVQFont* GetDefaultFont();

    // Drop and rebuild the device copies of every font's pages. The pages are textures of the
    // texture cache, so pause and resume, which release and restore the whole cache, need not
    // call these as well (they would upload every page twice).
    void ReleaseAll();
    void RestoreAll();
    // Drops every font and forgets failed names (tests).
    void Clear();
    size_t Count() const { return fonts_.size(); }

    // The create callback new fonts get (the system rasteriser unless a test sets another).
    void SetCreateCallback(FontCreateCallback create) { create_ = create; }
    FontCreateCallback GetCreateCallback() const { return create_; }

private:
    CKVQFontMgr();
    // size 0: the size the file stores.
    CKVQFont* Load(const std::string& name, int32_t size);
    struct Entry {
        std::string fileName;
        int32_t size = 0;
        bool fileSize = false;  // loaded at the size the file stores
        std::unique_ptr<CKVQFont> font;
    };
    std::vector<Entry> fonts_;
    std::vector<std::pair<std::string, int32_t>> failed_;
    FontCreateCallback create_ = nullptr;
};

// The create callback on the system's faces (FreeType and fontconfig).
std::unique_ptr<IPlatformFont> CreateSystemFont(const CKVQString& faceName, int32_t pixelHeight);
