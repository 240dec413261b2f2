#pragma once
// The OpenGL drawing device. Every drawing call appends vertices to one batch of 2048 vertices;
// runs of equal texture, primitive kind and blend mode become one draw call when the batch is
// rendered (at EndScene, or earlier when the batch is full). Clipping is done on the CPU by
// cutting quads to the clip rectangle, so the GL state never changes per draw.
//
// A device without a context (never initialised, or initialisation failed) never calls GL: it
// batches as usual and discards each batch when it would be rendered.

#include <cstdint>
#include <map>
#include <vector>

#include "common/Types.h"
#include "gfx/DeviceState.h"

namespace platform {
struct Window;
}

class CKVQOpenGLESDC : public CKVQDrawingDevice {
public:
    // The batch holds 2048 vertices; an append that would take the count past 2047 renders the
    // batch first, so a full batch never overflows the buffers.
    static constexpr int32_t kBatchCapacity = 2048;
    static constexpr int32_t kBatchLimit = kBatchCapacity - 1;
    // Every command covers at least two vertices (a line), so this many always suffice.
    static constexpr int32_t kMaxCommands = kBatchCapacity / 2;

    // Primitive kinds of runs and commands.
    enum PrimitiveKind : uint16_t {
        kPrimitiveNone = 0,
        kPrimitiveTexturedTriangles = 1,
        kPrimitiveLines = 2,
        kPrimitiveTriangles = 3,
    };

    // One finished run: what one draw call draws.
    struct Command {
        uint16_t kind = kPrimitiveNone;
        uint16_t blend = 0;
        int32_t count = 0;
        uint32_t texture = 0;
        int32_t param = 0;  // the line width for lines
        float scaleX = 1.0f;
        float scaleY = 1.0f;
    };

    // One vertex as the batch holds it (for tests and tools).
    struct Vertex {
        int16_t x = 0;
        int16_t y = 0;
        float u = 0.0f;
        float v = 0.0f;
        uint32_t color = 0;  // red in the lowest byte
    };

    CKVQOpenGLESDC();
    ~CKVQOpenGLESDC() override;
    CKVQOpenGLESDC(const CKVQOpenGLESDC&) = delete;
    CKVQOpenGLESDC& operator=(const CKVQOpenGLESDC&) = delete;

    void* GetNativeDevice() override { return nullptr; }
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
    // A scaled transform ends the current run: commands carry their scale.
    int32_t PushTransform(int32_t x, int32_t y, float scaleX, float scaleY) override;
    int32_t Clear() override;
    int32_t BeginScene() override;
    int32_t EndScene() override;
    int32_t Flip() override;
    // window is a platform::Window*. 0 on success; -1 when no usable GL context could be made
    // (the device then keeps batching without drawing).
    int32_t Init(int32_t width, int32_t height, void* window, int32_t param) override;
    int32_t Shutdown() override;
    int32_t Resize(int32_t width, int32_t height) override;
    int32_t GetWidth() override { return width_; }
    int32_t GetHeight() override { return height_; }
    int32_t SetPitch(int32_t value) override;
    int32_t GetPitch() override { return pitch_; }
    int32_t GetBytesPerPixel() override { return 4; }
    void* GetBits() override { return nullptr; }
    int32_t GetPixelFormat() override { return 516; }
    intptr_t GetSurface() override { return 0; }
    int32_t ResetDevice() override;

    // The frame drawn since the last BeginScene, read from the back buffer: call it after EndScene
    // and before Flip (after a swap the back buffer's contents are undefined).
    bool ReadFrame(std::vector<uint8_t>& rgba, int32_t& width, int32_t& height) override;

    // State for the shell, tests and benchmarks.
    bool HasContext() const { return hasContext_; }
    bool HasBuffers() const { return hasBuffers_; }
    int32_t GetBlendMode() const { return blend_; }
    int32_t GetLineWidth() const { return lineWidth_; }

    // Counters: draw calls the rendered batches turned into (issued to GL when there is a
    // context), batches rendered, and what waits in the batch now.
    int64_t GetDrawCalls() const { return drawCalls_; }
    int64_t GetBatchFlushes() const { return flushes_; }
    int64_t GetVerticesRendered() const { return verticesRendered_; }
    int32_t GetPendingVertices() const { return count_; }
    int32_t GetPendingCommands() const { return commandCount_; }
    int32_t GetRunVertices() const { return run_.count; }
    void ResetCounters() { drawCalls_ = 0, flushes_ = 0, verticesRendered_ = 0; }
    Vertex GetVertex(int32_t index) const;
    const Command* GetCommands() const { return commands_; }

private:
    struct Run {
        uint32_t texture = 0;
        uint16_t kind = kPrimitiveNone;
        int32_t count = 0;
    };
    // A saved slice of the batch.
    struct Record {
        std::vector<int16_t> positions;
        std::vector<float> texCoords;
        std::vector<uint32_t> colors;
        std::vector<Command> commands;
    };
    // What a texture id draws from.
    struct TextureSource {
        uint32_t name = 0;
        float inverseWidth = 0.0f;
        float inverseHeight = 0.0f;
    };
    enum class Cut { SamePixels, Proportional };

    bool ResolveTexture(int32_t id, TextureSource& source) const;
    // Clips dst, cuts src to match and writes the quad; rotated when rotate is set.
    int32_t TexturedQuad(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t color, Cut cut,
                         bool rotate, float angle);
    void Reserve(int32_t n);
    void SelectRun(uint32_t texture, uint16_t kind);
    void EndRun();
    void Flush();
    void RenderBatch();
    void CaptureRecordedSlice();
    void ResetBatch();
    void PutVertex(int32_t x, int32_t y, float u, float v, uint32_t color);
    void AppendLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color);
    void AppendFromRecord(const Record& record, int32_t first, const Command& command, int32_t count);
    void PlayInPieces(const Record& record);
    bool CreateContext();
    bool CreateBuffers();
    void DeleteBuffers();
    void SetProjection(int32_t width, int32_t height, double zFar);

    platform::Window* window_ = nullptr;
    bool hasContext_ = false;
    bool hasBuffers_ = false;
    uint32_t buffers_[3] = {0, 0, 0};
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t pitch_ = 0;

    int32_t blend_ = 0;
    int32_t lineWidth_ = 1;

    // The batch: positions (x, y, 0), texture coordinates (u, v) and colours per vertex.
    int16_t positions_[kBatchCapacity * 3] = {};
    float texCoords_[kBatchCapacity * 2] = {};
    uint32_t colors_[kBatchCapacity] = {};
    int32_t count_ = 0;
    Run run_;
    Command commands_[kMaxCommands] = {};
    int32_t commandCount_ = 0;

    std::map<int32_t, Record> records_;
    int32_t nextRecordId_ = 1;
    int32_t recordingId_ = 0;  // 0: not recording
    int32_t recordStartVertex_ = 0;
    int32_t recordStartCommand_ = 0;
    Record recording_;

    int64_t drawCalls_ = 0;
    int64_t flushes_ = 0;
    int64_t verticesRendered_ = 0;
};
