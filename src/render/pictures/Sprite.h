#pragma once
// One drawable image reference shared by the picture-like render objects: an image file (or a
// named region of its image set) with its source rectangle, modulation colour, alignment, scale,
// rotation, hot spot, offset and an optional one-pixel outline. The texture belongs to the texture
// cache; a sprite only remembers its id.

#include <cstdint>

#include "common/EngineString.h"
#include "common/Types.h"

class CIArchive;
class CIEditHook;
class ITextureObject;

// Editor widget codes the picture-like classes describe their attributes with.
namespace sprite_edit {
constexpr int32_t kPlain = 0;
constexpr int32_t kText = 1;
constexpr int32_t kList = 2;
constexpr int32_t kChoice = 3;
constexpr int32_t kCommands = 5;
constexpr int32_t kColor = 6;
constexpr int32_t kFile = 7;
constexpr int32_t kRange = 9;
constexpr const char* kBoolHint = "false|true|";
}  // namespace sprite_edit

class Sprite {
public:
    enum Align : int32_t {
        ALIGN_TOPLEFT = 0,
        ALIGN_TOPCENTER = 1,
        ALIGN_CENTER = 2,
        ALIGN_BOTTOMCENTER = 3,
    };
    // Room reserved for a sprite's nested record before it grows.
    static constexpr int32_t kRecordCapacity = 64;
    static constexpr const char* kDefaultGroup = "Sprite";

    // The texture id, loading the texture (and the private copy named by `clone`) on first use and
    // taking `Rect` from the image set; -1 when there is no texture.
    int32_t Resolve();
    // The texture object, or null when `file` is empty or nothing can be loaded.
    ITextureObject* GetTexture();
    // `Rect`, resolving first when it is not known yet.
    const KVQRect& GetSourceRect();
    // Where the sprite lands inside the target rectangle.
    KVQRect GetDestRect(const KVQRect& target);
    // Draws into the target rectangle through the current device.
    void Draw(const KVQRect& target);
    // Draws centred at (x, y) with angle and scale factors; `reference` is the rectangle that
    // IsScaleByWnd stretches to. No alignment, hot spot, offset or outline.
    void DrawCentered(int32_t x, int32_t y, float angle, float scaleX, float scaleY, const KVQRect& reference);

    // Forgets the resolved texture and source rectangle (the next draw resolves again).
    void Unresolve();
    int32_t GetTextureId() const { return nTextureID; }

    // The sprite's record as one nested block.
    void Transfer(CIArchive& ar, const char* name = kDefaultGroup);
    // The record inside the block.
    void TransferFields(CIArchive& ar);
    // The sprite's group of attributes; hint is the group's buttons (empty for none).
    void Describe(CIEditHook& hook, const char* group = kDefaultGroup, const char* hint = "");
    // "Copy" and "Paste" of the "Rect" group through the process-wide rectangle clipboard. False
    // for other commands and for "Paste" with nothing copied.
    bool ExecuteRectCommand(const char* command);

    int32_t hotX = 0;
    int32_t hotY = 0;
    int32_t FrameWidth = 0;
    KVQPoint Offset{};
    float fScaleX = 1.0f;
    float fScaleY = 1.0f;
    KVQRect Rect{};
    CKVQString file;
    CKVQString clone;
    CKVQString ImageName;
    int32_t nTextureID = -1;
    float fRadia = 0.0f;
    int32_t IsScaleByWnd = 0;
    int32_t nAlign = ALIGN_TOPLEFT;
    RGBA color{255, 255, 255, 255};
    RGBA framecolor{255, 255, 255, 255};

private:
    // The draw of step "unscaled / stretched / rotated" for one destination and colour.
    void Blit(const KVQRect& destination, uint32_t packedColor) const;
};

// Float results that become pixel sizes: truncated toward zero, NaN as 0, and held inside the
// int32 range (scales come from layouts and scripts, so any value may arrive).
int32_t TruncateToInt(double value);

// A record switch: written as 1 or 0, read back as 1 only for a stored 1.
void TransferSwitch(CIArchive& ar, int32_t& value, const char* name);
