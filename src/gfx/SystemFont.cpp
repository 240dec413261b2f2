// The platform font on the system's faces: a face found by name, sized so that its character
// cell reaches the height asked for, rendering white one-bit masks. Characters the face lacks,
// and names the system does not have, come from the fallback face.
#include "gfx/Font.h"

#include "common/Notices.h"
#include "platform/DebugOutput.h"
#include "platform/SystemFonts.h"

#include <string>
#include <utility>

namespace {

using platform::SizedFace;

std::unique_ptr<SizedFace> OpenMatch(const platform::FaceMatch& match, int32_t cellHeight)
{
    std::unique_ptr<SizedFace> face = SizedFace::Open(match.file, match.index, cellHeight);
    if (face != nullptr && !face->SizeToCell(cellHeight))
        face.reset();
    return face;
}

bool IsControl(uint16_t c) { return c < 0x20 || c == 0x7F; }

class CSystemFont final : public IPlatformFont {
public:
    explicit CSystemFont(std::unique_ptr<SizedFace> face) : face_(std::move(face))
    {
        const platform::FaceMetrics& m = face_->Metrics();
        metrics_.cellHeight = m.cellHeight;
        metrics_.widestWidth = m.widestWidth;
        metrics_.lineSpacing = m.cellHeight + m.externalLeading + 1;
    }

    const FontMetrics& Metrics() const override { return metrics_; }

    bool Rasterise(uint16_t c, GlyphImage& out) override
    {
        const int32_t widest = metrics_.widestWidth;
        const int32_t height = metrics_.cellHeight > 0 ? metrics_.cellHeight : widest;
        const int32_t baseline = face_->Metrics().ascent;
        platform::GlyphMask mask;
        bool drawn = face_->Render(c, baseline, height, widest, mask);
        if (!drawn) {
            if (SizedFace* fallback = Fallback())
                drawn = fallback->Render(c, baseline, height, widest, mask);
        }
        // Tabs and carriage returns in a text are spacing, not unknown characters.
        if (!drawn && IsControl(c))
            drawn = Blank(baseline, height, mask);
        if (!drawn)
            return false;
        out.width = mask.width;
        out.height = mask.height;
        out.rgba = std::move(mask.rgba);
        return true;
    }

private:
    // A blank cell as wide as a space (the widest character without one).
    bool Blank(int32_t baseline, int32_t height, platform::GlyphMask& mask) const
    {
        if (face_->Render(' ', baseline, height, metrics_.widestWidth, mask))
            return true;
        mask.width = metrics_.widestWidth;
        mask.height = height;
        mask.rgba.assign(static_cast<size_t>(mask.width) * static_cast<size_t>(mask.height) * 4, 0);
        return mask.width > 0 && mask.height > 0;
    }

    // The fallback face at the same em height, opened on the first character the face lacks.
    SizedFace* Fallback()
    {
        if (!fallbackTried_) {
            fallbackTried_ = true;
            platform::FaceMatch match;
            if (platform::MatchFace(platform::kFallbackFamily, match))
                fallback_ = SizedFace::Open(match.file, match.index, face_->PixelHeight());
            if (fallback_ != nullptr && fallback_->SameFace(*face_))
                fallback_.reset();
        }
        return fallback_.get();
    }

    std::unique_ptr<SizedFace> face_;
    std::unique_ptr<SizedFace> fallback_;
    bool fallbackTried_ = false;
    FontMetrics metrics_;
};

}  // namespace

std::unique_ptr<IPlatformFont> CreateSystemFont(const CKVQString& faceName, int32_t pixelHeight)
{
    if (pixelHeight < 1 || pixelHeight > platform::kMaxPixelHeight)
        return nullptr;
    std::string name = faceName.GetUtf8String();
    if (name.empty())
        name = platform::kFallbackFamily;

    std::unique_ptr<SizedFace> face;
    platform::FaceMatch match;
    if (platform::MatchFace(name, match) && match.exact)
        face = OpenMatch(match, pixelHeight);
    if (face == nullptr) {
        platform::FaceMatch fallback;
        if (platform::MatchFace(platform::kFallbackFamily, fallback)) {
            face = OpenMatch(fallback, pixelHeight);
            if (face != nullptr && name != platform::kFallbackFamily) {
                const std::string text = "font face '" + name + "' is not available; drawing it with '" +
                                         fallback.family + "'\r\n";
                platform::WriteDebugOutput(text.c_str());
            }
        }
    }
    if (face == nullptr) {
        const std::string lookedIn = "the system's fonts through fontconfig, with '" +
                                     std::string(platform::kFallbackFamily) + "' as the fallback";
        notices::ReportMissing("font face", name, lookedIn);
        return nullptr;
    }
    return std::make_unique<CSystemFont>(std::move(face));
}
