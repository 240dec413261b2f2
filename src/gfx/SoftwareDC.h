#pragma once
// The software drawing device "Win32DC": the same drawing operations as the OpenGL device,
// rasterised on the CPU into a 32-bit buffer (bytes R, G, B, A in memory). It follows the GL
// device's state rules (clip stack, colour and transform stacks, blend table, records) and GL's
// rasterisation rules, so that pictures drawn with it are the reference the OpenGL device is
// compared against.
//
// Every operation becomes a primitive in logical pixels (after clipping and the window transform,
// like the GL device's vertices); the automatic scale and the projection are applied when a
// primitive is rasterised, as the GL model-view and viewport do.

#include <cstdint>
#include <map>
#include <vector>

#include "gfx/DeviceState.h"

namespace platform {
struct Window;
}

class ITextureObject;

class CKVQWin32DC : public CKVQDrawingDevice {
public:
    CKVQWin32DC();
    ~CKVQWin32DC() override = default;

    int32_t SetBlendMode(int32_t mode) override;
    int32_t Blit(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t color) override;
    int32_t StretchBlit(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t color) override;
    int32_t RotateBlit(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t color,
                       float angle) override;
    bool HasRecord(int32_t id) override;
    int32_t CreateRecord() override;
    int32_t DeleteRecord(int32_t id) override;
    int32_t BeginRecord(int32_t id) override;
    int32_t EndRecord(int32_t id) override;
    int32_t PlayRecord(int32_t id) override;
    int32_t DrawRect(const KVQRect& rect, uint32_t color) override;
    int32_t FillRect(const KVQRect& rect, uint32_t color) override;
    int32_t SetPixel(const KVQPoint& p, uint32_t color) override;
    int32_t DrawLine(const KVQPoint& a, const KVQPoint& b, uint32_t color) override;
    int32_t SetLineWidth(int32_t width) override;
    int32_t DrawEllipse(const KVQRect& rect, uint32_t color) override;
    int32_t FillEllipse(const KVQRect& rect, uint32_t color) override;
    int32_t Clear() override;
    int32_t BeginScene() override;
    int32_t EndScene() override;
    int32_t Flip() override;
    int32_t Init(int32_t width, int32_t height, void* window, int32_t param) override;
    int32_t Shutdown() override;
    int32_t Resize(int32_t width, int32_t height) override;
    int32_t GetWidth() override { return width_; }
    int32_t GetHeight() override { return height_; }
    int32_t SetPitch(int32_t value) override;
    int32_t GetPitch() override { return pitch_; }
    int32_t GetBytesPerPixel() override { return 4; }
    void* GetBits() override { return pixels_.empty() ? nullptr : pixels_.data(); }
    int32_t GetPixelFormat() override { return kPixelFormat; }
    intptr_t GetSurface() override;
    bool ReadFrame(std::vector<uint8_t>& rgba, int32_t& width, int32_t& height) override;

    static constexpr int32_t kPixelFormat = 516;
    // Buffers larger than this on either side are refused by Init.
    static constexpr int32_t kMaxSide = 16384;

    // The buffer's size in pixels (the viewport); GetWidth/GetHeight are the logical size, which
    // Resize may change without touching the buffer.
    int32_t BufferWidth() const { return bufferWidth_; }
    int32_t BufferHeight() const { return bufferHeight_; }
    // A pixel of the buffer as a packed colour (red in the lowest byte); 0 outside.
    uint32_t PixelAt(int32_t x, int32_t y) const;

    enum class Shape : uint8_t { TexturedQuad, FilledQuad, Line, Pixel, Ellipse, FilledEllipse };
    struct Vertex {
        float x = 0, y = 0;  // logical pixels after the window transform
        float s = 0, t = 0;  // texture source pixels (textured quads)
    };
    // One drawing operation ready to rasterise; records keep these.
    struct Primitive {
        Shape shape = Shape::FilledQuad;
        uint8_t blendMode = 0;
        int32_t texture = -1;
        uint32_t color = 0;
        int32_t lineWidth = 1;
        KVQRect clip;  // ellipses: the clip they were drawn under
        // Quads: left-top, right-top, left-bottom, right-bottom. Lines: v[0] to v[1]. Ellipses
        // and pixels: v[0] left-top, v[1] right-bottom.
        Vertex v[4];
    };

    // Where a sample falls along one texture axis: between texels i0 and i1, with the weight of i1
    // in 1/256 (0 on a texel centre).
    struct Tap {
        int32_t i0 = 0, i1 = 0;
        uint32_t w = 0;
    };

private:
    // Logical pixels to buffer pixels: the automatic scale, then the projection onto the buffer.
    struct View {
        double offsetX = 0, offsetY = 0;
        double scaleX = 1, scaleY = 1;
    };
    enum class Cut { SamePixels, Proportional };

    int32_t TexturedQuad(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t color, Cut cut,
                         bool rotate, float angle);
    bool ClipRect(const KVQRect& rect, KVQRect& clipped) const;
    void Emit(const Primitive& p);
    void Rasterise(const Primitive& p);
    View CurrentView() const;
    void RasteriseQuad(const Primitive& p, const View& view);
    void RasteriseTriangle(const Primitive& p, const Vertex& a, const Vertex& b, const Vertex& c, const View& view,
                           ITextureObject* texture);
    void RasteriseLine(const Primitive& p, const View& view);
    void RasteriseEllipse(const Primitive& p, const View& view);
    // The buffer pixels covered by a logical rect under the quad coverage rule: [x0, x1) x [y0, y1).
    void CoveredPixels(const View& view, double left, double top, double right, double bottom, int32_t& x0,
                       int32_t& y0, int32_t& x1, int32_t& y1) const;
    void FillSpan(uint32_t* row, int32_t count, uint32_t color, uint8_t mode);
    void Allocate(int32_t width, int32_t height, int32_t pitch);
    void FillAll(uint32_t color);

    std::vector<uint32_t> pixels_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t bufferWidth_ = 0;
    int32_t bufferHeight_ = 0;
    int32_t pitch_ = 0;
    platform::Window* window_ = nullptr;

    uint8_t blendMode_ = 0;
    int32_t lineWidth_ = 1;

    std::map<int32_t, std::vector<Primitive>> records_;
    int32_t nextRecordId_ = 1;
    int32_t recordingId_ = 0;  // 0: not recording
    std::vector<Primitive> recording_;

    // Reused between draws: the texels each covered column and row of a quad samples.
    std::vector<Tap> columnTaps_;
    std::vector<Tap> rowTaps_;
    std::vector<int32_t> texelColumns_;
};
