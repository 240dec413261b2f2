#pragma once
// The drawing device every window and render object draws through. Coordinates are logical
// window pixels, colours 32-bit RGBA with red in the lowest byte, and 0 means success. The base
// class does nothing; devices override what they support.

#include <cstdint>
#include <vector>

#include "common/Types.h"

// One recorded text glyph (a window with a char cache replays these instead of laying text out).
struct GlyphDraw {
    int32_t texture = -1;
    KVQRect source;
    KVQRect destination;
    uint32_t color = 0;
};
using GlyphCache = std::vector<GlyphDraw>;

// Packs a colour the way devices take it: red in the lowest byte.
inline uint32_t PackColor(const RGBA& c)
{
    return static_cast<uint32_t>(c.red) | (static_cast<uint32_t>(c.green) << 8) |
           (static_cast<uint32_t>(c.blue) << 16) | (static_cast<uint32_t>(c.alpha) << 24);
}

class CKVQDC {
public:
    virtual ~CKVQDC() = default;

    virtual void* GetNativeDevice() { return nullptr; }
    virtual int32_t PushClip(const KVQRect& rect, int32_t flag) { (void)rect, (void)flag; return 0; }
    virtual int32_t PopClip() { return 0; }
    virtual int32_t GetClip(KVQRect& rect) { rect = KVQRect{}; return 0; }
    virtual int32_t SetBlendMode(int32_t mode) { (void)mode; return 0; }
    virtual int32_t SetParam(const int32_t* value) { (void)value; return 0; }
    virtual int32_t InvalidateRect(const KVQRect& rect, int32_t flag) { (void)rect, (void)flag; return 0; }
    virtual int32_t GetInvalidRect(KVQRect& rect) { rect = KVQRect{}; return 0; }
    virtual int32_t RequestRedraw() { return 0; }
    virtual int32_t Blit(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t color)
    {
        (void)texture, (void)src, (void)dst, (void)color;
        return 0;
    }
    virtual int32_t BlitOutlined(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t fill,
                                 uint32_t outline)
    {
        (void)texture, (void)src, (void)dst, (void)fill, (void)outline;
        return 0;
    }
    virtual int32_t StretchBlit(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t color)
    {
        (void)texture, (void)src, (void)dst, (void)color;
        return 0;
    }
    virtual int32_t RotateBlit(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t color, float angle)
    {
        (void)texture, (void)src, (void)dst, (void)color, (void)angle;
        return 0;
    }
    virtual bool HasRecord(int32_t id) { (void)id; return false; }
    virtual int32_t CreateRecord() { return 0; }
    virtual int32_t DeleteRecord(int32_t id) { (void)id; return 0; }
    virtual int32_t BeginRecord(int32_t id) { (void)id; return 0; }
    virtual int32_t EndRecord(int32_t id) { (void)id; return 0; }
    virtual int32_t PlayRecord(int32_t id) { (void)id; return 0; }
    virtual int32_t DrawRect(const KVQRect& rect, uint32_t color) { (void)rect, (void)color; return 0; }
    virtual int32_t FillRect(const KVQRect& rect, uint32_t color) { (void)rect, (void)color; return 0; }
    virtual int32_t SetPixel(const KVQPoint& p, uint32_t color) { (void)p, (void)color; return 0; }
    virtual int32_t DrawHLine(const KVQPoint& p, int32_t length, uint32_t color)
    {
        return DrawLine(p, KVQPoint{wrap32::Add(p.x, length), p.y}, color);
    }
    virtual int32_t DrawVLine(const KVQPoint& p, int32_t length, uint32_t color)
    {
        return DrawLine(p, KVQPoint{p.x, wrap32::Add(p.y, length)}, color);
    }
    virtual int32_t DrawLine(const KVQPoint& a, const KVQPoint& b, uint32_t color)
    {
        (void)a, (void)b, (void)color;
        return 0;
    }
    // Returns the previous width.
    virtual int32_t SetLineWidth(int32_t width) { (void)width; return 1; }
    virtual int32_t DrawEllipse(const KVQRect& rect, uint32_t color) { (void)rect, (void)color; return 0; }
    virtual int32_t FillEllipse(const KVQRect& rect, uint32_t color) { (void)rect, (void)color; return 0; }
    virtual int32_t PushColor(uint32_t color) { (void)color; return 0; }
    virtual int32_t PopColor(uint32_t* color) { (void)color; return 0; }
    virtual int32_t PushTransform(int32_t x, int32_t y, float scaleX, float scaleY)
    {
        (void)x, (void)y, (void)scaleX, (void)scaleY;
        return 0;
    }
    virtual int32_t PopTransform() { return 0; }
    virtual int32_t Clear() { return 0; }
    virtual int32_t BeginScene() { return 0; }
    virtual int32_t EndScene() { return 0; }
    virtual int32_t SetParam2(int32_t value) { (void)value; return 0; }
    virtual int32_t Flip() { return 0; }
    virtual int32_t Init(int32_t width, int32_t height, void* window, int32_t param)
    {
        (void)width, (void)height, (void)window, (void)param;
        return 0;
    }
    virtual int32_t Shutdown() { return 0; }
    virtual int32_t Resize(int32_t width, int32_t height) { (void)width, (void)height; return 0; }
    virtual int32_t GetWidth() { return 0; }
    virtual int32_t GetHeight() { return 0; }
    virtual int32_t SetPitch(int32_t value) { (void)value; return 0; }
    virtual int32_t GetPitch() { return 0; }
    virtual int32_t GetBytesPerPixel() { return 4; }
    virtual void* GetBits() { return nullptr; }
    virtual int32_t GetPixelFormat() { return 516; }
    virtual int32_t SetParam3(int32_t value) { (void)value; return 0; }
    virtual int32_t GetParam3() { return 0; }
    virtual intptr_t GetSurface() { return 0; }
    virtual int32_t SetInvalidate(int32_t mode) { (void)mode; return 0; }
    virtual int32_t ResetDevice() { return 0; }
    virtual bool IsDirty() { return false; }

    // Not a device slot: reads what the last scene drew back as RGBA rows, top row first
    // (screenshots and tests), opaque as the window shows it: alpha is 255 in every pixel,
    // whatever blending left in the buffer. False when the device cannot.
    virtual bool ReadFrame(std::vector<uint8_t>& rgba, int32_t& width, int32_t& height)
    {
        (void)rgba, (void)width, (void)height;
        return false;
    }

    // A window's end of drawing undoes what its start pushed: its colour mask, then its scale.
    virtual void EndWindow()
    {
        PopColor(nullptr);
        PopTransform();
    }
    // Glyph draws are recorded into this cache while it is set (a window's char cache).
    void SetGlyphCache(GlyphCache* cache) { glyphCache_ = cache; }
    GlyphCache* GetGlyphCache() const { return glyphCache_; }

private:
    GlyphCache* glyphCache_ = nullptr;
};

// Sets the alpha of every pixel of RGBA rows to 255 (a frame read back as the window shows it).
void MakeOpaque(std::vector<uint8_t>& rgba);

// Device kinds are created by name.
using DeviceFactory = CKVQDC* (*)();
void RegisterDevice(const char* name, DeviceFactory create);
CKVQDC* CreateDevice(const char* name);  // null when no kind has that name
CKVQDC* SetCurrentDevice(CKVQDC* device);  // returns the previous one
CKVQDC* GetCurrentDevice();
