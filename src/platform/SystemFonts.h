#pragma once
// The system's faces, found through fontconfig and read with FreeType: what a font's platform
// side stands on. Names are UTF-8 here; the font converts from the game's code page.
//
// The FreeType library, the fontconfig configuration and every opened face live until the
// process ends and are shared: many fonts draw from one face, each at its own pixel height.
// Everything here runs on the main thread.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct FT_SizeRec_;

namespace platform {

struct LoadedFace;

// The face that supplies what the named one cannot: characters it lacks, and names fontconfig
// matches only approximately.
constexpr const char* kFallbackFamily = "WenQuanYi Micro Hei";

struct FaceMatch {
    std::string file;    // the face's file
    int32_t index = 0;   // the face within the file
    std::string family;  // the family fontconfig chose
    bool exact = false;  // the chosen family is the one asked for
};

// Looks a family up through fontconfig. False when nothing at all matches (or fontconfig has no
// usable configuration). Answers are remembered per name.
bool MatchFace(const std::string& familyUtf8, FaceMatch& out);

// Pixel heights a face may be set to; anything outside is refused rather than searched or drawn.
constexpr int32_t kMaxPixelHeight = 1024;

// A face's measures at one pixel height, in whole pixels.
struct FaceMetrics {
    int32_t ascent = 0;           // baseline to the top of the cell
    int32_t descent = 0;          // baseline to the bottom of the cell
    int32_t cellHeight = 0;       // ascent + descent
    int32_t externalLeading = 0;  // the face's line height beyond the cell, never negative
    int32_t widestWidth = 0;      // the largest advance of any character
};

// One rendered character: RGBA rows of width pixels, opaque white where the character is and
// transparent black elsewhere.
struct GlyphMask {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgba;
};

// A face of a font file set to one pixel height (the em height: GDI's negative request height).
class SizedFace {
public:
    // Opens face `index` of `file` (the face once per process) at pixelHeight; null when FreeType
    // cannot read the file or the face cannot take that height.
    static std::unique_ptr<SizedFace> Open(const std::string& file, int32_t index, int32_t pixelHeight);
    ~SizedFace();
    SizedFace(const SizedFace&) = delete;
    SizedFace& operator=(const SizedFace&) = delete;

    // Sets another pixel height; false (metrics unchanged) when the face cannot take it.
    bool SetPixelHeight(int32_t pixelHeight);
    // Sets the smallest pixel height from 1 up whose cell height reaches cellHeight, or
    // cellHeight itself when none below it does; false when the face cannot take that.
    bool SizeToCell(int32_t cellHeight);
    int32_t PixelHeight() const { return pixelHeight_; }
    const FaceMetrics& Metrics() const { return metrics_; }
    // Whether the face maps the character to a glyph of its own.
    bool HasCharacter(uint32_t code) const;
    // Renders the character monochrome into a mask as a text cell of this height with the
    // baseline at row `baseline` would hold it: the pen at the left edge, the width the
    // character's advance (emptyWidth when the advance is 0), pixels outside the mask cut off.
    // False when the face lacks the character or cannot render it.
    bool Render(uint32_t code, int32_t baseline, int32_t height, int32_t emptyWidth, GlyphMask& out) const;
    // The same file and face index as another.
    bool SameFace(const SizedFace& other) const { return face_ == other.face_; }

private:
    SizedFace(LoadedFace* face, FT_SizeRec_* size) : face_(face), size_(size) {}
    bool Activate() const;

    LoadedFace* face_ = nullptr;   // shared, owned by the process-wide face cache
    FT_SizeRec_* size_ = nullptr;  // this object's own size on the shared face
    int32_t pixelHeight_ = 0;
    FaceMetrics metrics_;
};

}  // namespace platform
