#include "gfx/OpenGLESDC.h"

#include <GL/glew.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "app/CoreCfg.h"
#include "gfx/DeviceKinds.h"
#include "gfx/DrawGeometry.h"
#include "gfx/Texture.h"
#include "platform/MessageBox.h"
#include "platform/Video.h"

namespace {

// Vertex buffer sizes: one GL buffer per attribute, each the size of the whole batch.
constexpr int32_t kPositionComponents = 3;  // x, y, 0 as signed 16-bit values
constexpr int32_t kTexCoordComponents = 2;  // u, v as floats
constexpr int32_t kColorComponents = 4;     // r, g, b, a bytes
constexpr GLsizeiptr kPositionBufferBytes =
    CKVQOpenGLESDC::kBatchCapacity * kPositionComponents * static_cast<GLsizeiptr>(sizeof(int16_t));
constexpr GLsizeiptr kTexCoordBufferBytes =
    CKVQOpenGLESDC::kBatchCapacity * kTexCoordComponents * static_cast<GLsizeiptr>(sizeof(float));
constexpr GLsizeiptr kColorBufferBytes =
    CKVQOpenGLESDC::kBatchCapacity * kColorComponents * static_cast<GLsizeiptr>(sizeof(uint8_t));
static_assert(kPositionBufferBytes == 12288 && kTexCoordBufferBytes == 16384 && kColorBufferBytes == 8192);

constexpr int32_t kQuadVertices = 6;
constexpr int32_t kLineVertices = 2;
// Background of every scene; the editor tool shows magenta so unpainted areas stand out.
constexpr GLclampf kClearGrey = 192.0f / 255.0f;

constexpr double kMinimumGLVersion = 1.5;
constexpr const char* kOldGLMessage =
    "OpenGL 1.5 or higher is required (your version is %s). Please upgrade the driver of your video card.";
constexpr const char* kMissingBufferMessage = "OpenGL vertex buffer objects are not available";

struct BlendFactors {
    GLenum source;
    GLenum destination;
};
// Blend modes 0..9: Replace, Blend, RGBOnly, AlphaOnly, Transparent, And, Not, Xor, XorDest,
// Additive. Any other mode blends by source alpha.
constexpr BlendFactors kBlendTable[] = {
    {GL_ONE, GL_ZERO},
    {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
    {GL_SRC_COLOR, GL_DST_COLOR},
    {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
    {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
    {GL_ONE, GL_ONE},
    {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
    {GL_SRC_COLOR, GL_ZERO},
    {GL_ZERO, GL_DST_COLOR},
    {GL_SRC_ALPHA, GL_ONE},
};
constexpr BlendFactors kDefaultBlend = {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};

BlendFactors BlendFor(int32_t mode)
{
    if (mode >= 0 && mode < static_cast<int32_t>(std::size(kBlendTable)))
        return kBlendTable[mode];
    return kDefaultBlend;
}

// 1/n for the texture sizes textures are normally allocated at, so a quad costs no division.
constexpr int32_t kReciprocalTableSize = 2048;
constexpr std::array<float, kReciprocalTableSize + 1> kReciprocals = [] {
    std::array<float, kReciprocalTableSize + 1> table{};
    for (int32_t n = 1; n <= kReciprocalTableSize; ++n)
        table[n] = 1.0f / static_cast<float>(n);
    return table;
}();

float Reciprocal(int32_t size)
{
    if (size >= 1 && size <= kReciprocalTableSize)
        return kReciprocals[size];
    return size > 0 ? 1.0f / static_cast<float>(size) : 0.0f;
}

// Batch positions are 16-bit: coordinates beyond that range are held at its ends instead of
// wrapping onto the other side of the screen.
int16_t ToPosition(int64_t v)
{
    return static_cast<int16_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX));
}

// The largest frame ReadFrame copies (a side beyond this is no real window).
constexpr int32_t kMaxFrameSide = 16384;

// The leading "major.minor" of a GL version text (0 when there is none).
double LeadingVersion(const char* text)
{
    while (*text && (*text < '0' || *text > '9'))
        ++text;
    double major = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        major = major * 10 + (*text - '0');
    double minor = 0, scale = 0.1;
    if (*text == '.') {
        for (++text; *text >= '0' && *text <= '9'; ++text, scale /= 10)
            minor += (*text - '0') * scale;
    }
    return major + minor;
}

}  // namespace

CKVQOpenGLESDC::CKVQOpenGLESDC() = default;

CKVQOpenGLESDC::~CKVQOpenGLESDC()
{
    // The context lives with the window; destroy the device before the window.
    DeleteBuffers();
}

// ---- clip, blend, parameters ----------------------------------------------------------------

int32_t CKVQOpenGLESDC::SetBlendMode(int32_t mode)
{
    if (mode != blend_) {
        EndRun();
        blend_ = mode;
    }
    return 0;
}

int32_t CKVQOpenGLESDC::SetPitch(int32_t value)
{
    pitch_ = value;
    return 0;
}

// ---- invalidation and presenting --------------------------------------------------------------

int32_t CKVQOpenGLESDC::Flip()
{
    if (GetCoreCfg().IsPaused)
        return 1;
    if (hasContext_)
        platform::SwapGLWindow(window_);
    MarkPresented();
    return 0;
}

// ---- textured quads ---------------------------------------------------------------------------

bool CKVQOpenGLESDC::ResolveTexture(int32_t id, TextureSource& source) const
{
    ITextureObject* texture = CTextureCache::Instance().GetTextureObject(id);
    if (!texture || texture->GetKind() != kTextureOpenGL)
        return false;
    auto* glTexture = static_cast<CKVQOpenGLESTexture*>(texture);
    glTexture->EnsureUploaded();
    int32_t name = glTexture->GetGLName();
    if (name > 0) {
        source.name = static_cast<uint32_t>(name);
    } else if (!hasContext_) {
        // Nothing will be drawn, but runs still split per texture as they would with a context.
        source.name = 0x80000000u | static_cast<uint32_t>(id);
    } else {
        return false;  // the upload failed: there is nothing to draw from
    }
    source.inverseWidth = Reciprocal(glTexture->GetTexWidth());
    source.inverseHeight = Reciprocal(glTexture->GetTexHeight());
    return true;
}

int32_t CKVQOpenGLESDC::Blit(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t color)
{
    return TexturedQuad(texture, src, dst, color, Cut::SamePixels, false, 0.0f);
}

int32_t CKVQOpenGLESDC::StretchBlit(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t color)
{
    return TexturedQuad(texture, src, dst, color, Cut::Proportional, false, 0.0f);
}

int32_t CKVQOpenGLESDC::RotateBlit(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t color,
                                   float angle)
{
    return TexturedQuad(texture, src, dst, color, Cut::Proportional, true, angle);
}

int32_t CKVQOpenGLESDC::TexturedQuad(int32_t texture, const KVQRect& src, const KVQRect& dst, uint32_t color,
                                     Cut cut, bool rotate, float angle)
{
    // The visible part of the destination; a quad without area draws nothing.
    const int32_t left = std::max(dst.left, clip_.left);
    const int32_t right = std::min(dst.right, clip_.right);
    const int32_t top = std::max(dst.top, clip_.top);
    const int32_t bottom = std::min(dst.bottom, clip_.bottom);
    if (right <= left || bottom <= top)
        return 0;

    TextureSource source;
    if (!ResolveTexture(texture, source))
        return 0;

    // The source follows the cut destination: pixel for pixel for plain blits, in proportion
    // (truncated toward zero) for scaled ones.
    const KVQRect visible{left, right, top, bottom};
    const KVQSourceEdges edges = cut == Cut::SamePixels ? CutSourceSamePixels(src, dst, visible)
                                                        : CutSourceProportional(src, dst, visible);
    const int64_t sl = edges.left, sr = edges.right, st = edges.top, sb = edges.bottom;
    const float u0 = static_cast<float>(sl) * source.inverseWidth;
    const float u1 = static_cast<float>(sr) * source.inverseWidth;
    const float v0 = static_cast<float>(st) * source.inverseHeight;
    const float v1 = static_cast<float>(sb) * source.inverseHeight;

    const int64_t x0 = transform_.MapX(left), x1 = transform_.MapX(right);
    const int64_t y0 = transform_.MapY(top), y1 = transform_.MapY(bottom);
    const uint32_t c = ModulateColor(color, modulation_);

    Reserve(kQuadVertices);
    SelectRun(source.name, kPrimitiveTexturedTriangles);
    if (!rotate) {
        PutVertex(ClampToInt32(x0), ClampToInt32(y0), u0, v0, c);
        PutVertex(ClampToInt32(x1), ClampToInt32(y0), u1, v0, c);
        PutVertex(ClampToInt32(x0), ClampToInt32(y1), u0, v1, c);
        PutVertex(ClampToInt32(x1), ClampToInt32(y1), u1, v1, c);
        PutVertex(ClampToInt32(x0), ClampToInt32(y1), u0, v1, c);
        PutVertex(ClampToInt32(x1), ClampToInt32(y0), u1, v0, c);
        return 0;
    }

    // Rotation about the centre of the transformed destination.
    const KVQRotatedCorners r = RotateQuadCorners(x0, y0, x1, y1, angle);
    const float cornerU[4] = {u0, u1, u0, u1};
    const float cornerV[4] = {v0, v0, v1, v1};
    // Two triangles: left-top, right-top, left-bottom and right-bottom, left-bottom, right-top.
    for (int i : {0, 1, 2, 3, 2, 1})
        PutVertex(r.corner[i][0], r.corner[i][1], cornerU[i], cornerV[i], c);
    return 0;
}

// ---- untextured drawing ----------------------------------------------------------------------

int32_t CKVQOpenGLESDC::DrawRect(const KVQRect& rect, uint32_t color)
{
    KVQSegment edges[4];
    const int32_t count = ClipRectOutline(rect, &clip_, edges);
    Reserve(4 * kLineVertices);
    for (int32_t i = 0; i < count; ++i)
        AppendLine(edges[i].from.x, edges[i].from.y, edges[i].to.x, edges[i].to.y, color);
    return 0;
}

int32_t CKVQOpenGLESDC::FillRect(const KVQRect& rect, uint32_t color)
{
    const int32_t left = std::max(rect.left, clip_.left);
    const int32_t right = std::min(rect.right, clip_.right);
    const int32_t top = std::max(rect.top, clip_.top);
    const int32_t bottom = std::min(rect.bottom, clip_.bottom);
    if (right <= left || bottom <= top)
        return 0;
    Reserve(kQuadVertices);
    SelectRun(0, kPrimitiveTriangles);
    PutVertex(left, top, 0, 0, color);
    PutVertex(right, top, 0, 0, color);
    PutVertex(left, bottom, 0, 0, color);
    PutVertex(right, bottom, 0, 0, color);
    PutVertex(left, bottom, 0, 0, color);
    PutVertex(right, top, 0, 0, color);
    return 0;
}

int32_t CKVQOpenGLESDC::SetPixel(const KVQPoint& p, uint32_t color)
{
    (void)p, (void)color;
    return 0;
}

int32_t CKVQOpenGLESDC::DrawLine(const KVQPoint& from, const KVQPoint& to, uint32_t color)
{
    KVQPoint a = from, b = to;
    if (!clips_.empty() && !ClipSegment(clip_, a, b))
        return 0;
    AppendLine(a.x, a.y, b.x, b.y, color);
    return 0;
}

void CKVQOpenGLESDC::AppendLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color)
{
    Reserve(kLineVertices);
    SelectRun(0, kPrimitiveLines);
    PutVertex(x1, y1, 0, 0, color);
    PutVertex(x2, y2, 0, 0, color);
}

int32_t CKVQOpenGLESDC::SetLineWidth(int32_t width)
{
    int32_t previous = lineWidth_;
    // A run draws with one width: lines batched before the change keep theirs.
    if (width != lineWidth_ && run_.kind == kPrimitiveLines)
        EndRun();
    lineWidth_ = width;
    return previous;
}

int32_t CKVQOpenGLESDC::DrawEllipse(const KVQRect& rect, uint32_t color)
{
    (void)rect, (void)color;
    return 0;
}

int32_t CKVQOpenGLESDC::FillEllipse(const KVQRect& rect, uint32_t color)
{
    (void)rect, (void)color;
    return 0;
}

// ---- colour and transform stacks -------------------------------------------------------------

int32_t CKVQOpenGLESDC::PushTransform(int32_t x, int32_t y, float scaleX, float scaleY)
{
    // Commands carry their scale, so a scaled part of the batch starts a run of its own.
    if (scaleX != 1.0f || scaleY != 1.0f)
        EndRun();
    return CKVQDrawingDevice::PushTransform(x, y, scaleX, scaleY);
}

// ---- records ----------------------------------------------------------------------------------

bool CKVQOpenGLESDC::HasRecord(int32_t id)
{
    return records_.count(id) != 0;
}

int32_t CKVQOpenGLESDC::CreateRecord()
{
    // Ids count up from 1 and wrap past the largest one, skipping ids still in use.
    auto next = [](int32_t id) { return id <= 0 || id == INT32_MAX ? 1 : id + 1; };
    while (nextRecordId_ <= 0 || records_.count(nextRecordId_))
        nextRecordId_ = next(nextRecordId_);
    int32_t id = nextRecordId_;
    nextRecordId_ = next(id);
    records_[id];
    return id;
}

int32_t CKVQOpenGLESDC::DeleteRecord(int32_t id)
{
    if (recordingId_ == id && id != 0) {
        recordingId_ = 0;
        recording_ = Record{};
    }
    return records_.erase(id) ? 0 : -1;
}

int32_t CKVQOpenGLESDC::BeginRecord(int32_t id)
{
    if (!records_.count(id))
        return -1;
    EndRun();
    recordingId_ = id;
    recordStartVertex_ = count_;
    recordStartCommand_ = commandCount_;
    recording_ = Record{};
    return 0;
}

int32_t CKVQOpenGLESDC::EndRecord(int32_t id)
{
    if (id == 0 || recordingId_ != id)
        return -1;
    // The open run must become a command, or its vertices would replay without one.
    EndRun();
    CaptureRecordedSlice();
    records_[id] = std::move(recording_);
    recording_ = Record{};
    recordingId_ = 0;
    return 0;
}

// Moves what was drawn since the last capture into the record being made. Runs before every
// batch reset as well, so a recording survives the batch filling up in between.
void CKVQOpenGLESDC::CaptureRecordedSlice()
{
    if (recordingId_ == 0)
        return;
    recording_.positions.insert(recording_.positions.end(), positions_ + recordStartVertex_ * kPositionComponents,
                                positions_ + count_ * kPositionComponents);
    recording_.texCoords.insert(recording_.texCoords.end(), texCoords_ + recordStartVertex_ * kTexCoordComponents,
                                texCoords_ + count_ * kTexCoordComponents);
    recording_.colors.insert(recording_.colors.end(), colors_ + recordStartVertex_, colors_ + count_);
    recording_.commands.insert(recording_.commands.end(), commands_ + recordStartCommand_,
                               commands_ + commandCount_);
    recordStartVertex_ = count_;
    recordStartCommand_ = commandCount_;
}

int32_t CKVQOpenGLESDC::PlayRecord(int32_t id)
{
    auto it = records_.find(id);
    if (it == records_.end())
        return -1;
    const Record& record = it->second;
    if (record.commands.empty())
        return 0;
    EndRun();
    const int32_t total = static_cast<int32_t>(record.colors.size());
    const int32_t commands = static_cast<int32_t>(record.commands.size());
    if (count_ + total > kBatchLimit || commandCount_ + commands > kMaxCommands)
        Flush();
    if (total <= kBatchLimit && commands <= kMaxCommands) {
        int32_t first = 0;
        for (const Command& command : record.commands) {
            AppendFromRecord(record, first, command, command.count);
            first += command.count;
        }
    } else {
        PlayInPieces(record);
    }
    const Command& last = record.commands.back();
    run_ = Run{last.texture, last.kind, 0};
    blend_ = last.blend;
    return 0;
}

// A record larger than the batch is played batch by batch, cutting commands at whole
// primitives.
void CKVQOpenGLESDC::PlayInPieces(const Record& record)
{
    int32_t first = 0;
    for (const Command& command : record.commands) {
        const int32_t unit = command.kind == kPrimitiveLines ? kLineVertices : kQuadVertices;
        int32_t left = command.count;
        while (left > 0) {
            int32_t space = commandCount_ < kMaxCommands ? kBatchLimit - count_ : 0;
            int32_t take = left <= space ? left : space - space % unit;
            if (take <= 0) {
                Flush();
                continue;
            }
            AppendFromRecord(record, first, command, take);
            first += take;
            left -= take;
        }
    }
}

void CKVQOpenGLESDC::AppendFromRecord(const Record& record, int32_t first, const Command& command, int32_t count)
{
    std::memcpy(positions_ + count_ * kPositionComponents, record.positions.data() + first * kPositionComponents,
                sizeof(int16_t) * kPositionComponents * count);
    std::memcpy(texCoords_ + count_ * kTexCoordComponents, record.texCoords.data() + first * kTexCoordComponents,
                sizeof(float) * kTexCoordComponents * count);
    std::memcpy(colors_ + count_, record.colors.data() + first, sizeof(uint32_t) * count);
    Command piece = command;
    piece.count = count;
    commands_[commandCount_++] = piece;
    count_ += count;
}

// ---- the batch --------------------------------------------------------------------------------

void CKVQOpenGLESDC::Reserve(int32_t n)
{
    if (count_ + n > kBatchLimit || commandCount_ >= kMaxCommands)
        Flush();
}

// A run is what one draw call can draw: one texture, one primitive kind, one blend mode (a mode
// change ends the run where it is set).
void CKVQOpenGLESDC::SelectRun(uint32_t texture, uint16_t kind)
{
    if (run_.texture == texture && run_.kind == kind)
        return;
    EndRun();
    run_.texture = texture;
    run_.kind = kind;
}

void CKVQOpenGLESDC::EndRun()
{
    if (run_.count == 0)
        return;
    Command& command = commands_[commandCount_++];
    command.kind = run_.kind;
    command.blend = static_cast<uint16_t>(blend_);
    command.count = run_.count;
    command.texture = run_.texture;
    command.param = run_.kind == kPrimitiveLines ? lineWidth_ : 0;
    command.scaleX = transform_.scaleX;
    command.scaleY = transform_.scaleY;
    run_.count = 0;
}

void CKVQOpenGLESDC::PutVertex(int32_t x, int32_t y, float u, float v, uint32_t color)
{
    int16_t* p = positions_ + count_ * kPositionComponents;
    p[0] = ToPosition(x);
    p[1] = ToPosition(y);
    p[2] = 0;
    float* t = texCoords_ + count_ * kTexCoordComponents;
    t[0] = u;
    t[1] = v;
    colors_[count_] = color;
    ++count_;
    ++run_.count;
}

void CKVQOpenGLESDC::Flush()
{
    EndRun();
    RenderBatch();
}

void CKVQOpenGLESDC::ResetBatch()
{
    count_ = 0;
    commandCount_ = 0;
    run_ = Run{};
    recordStartVertex_ = 0;
    recordStartCommand_ = 0;
}

void CKVQOpenGLESDC::RenderBatch()
{
    if (commandCount_ == 0) {
        ResetBatch();
        return;
    }
    CaptureRecordedSlice();
    ++flushes_;
    drawCalls_ += commandCount_;
    verticesRendered_ += count_;
    if (!hasContext_ || !hasBuffers_) {
        ResetBatch();
        return;
    }

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    const KVQCoreCfg& cfg = GetCoreCfg();
    if (cfg.IsAutoScale) {
        glTranslatef(static_cast<GLfloat>(cfg.nAutoOffsetX), static_cast<GLfloat>(cfg.nAutoOffsetY), 0.0f);
        glScalef(cfg.fAutoScaleX, cfg.fAutoScaleY, 1.0f);
    }
    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);

    glBindBuffer(GL_ARRAY_BUFFER, buffers_[0]);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(count_) * kPositionComponents * sizeof(int16_t),
                    positions_);
    glVertexPointer(kPositionComponents, GL_SHORT, 0, nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, buffers_[1]);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(count_) * kTexCoordComponents * sizeof(float),
                    texCoords_);
    glTexCoordPointer(kTexCoordComponents, GL_FLOAT, 0, nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, buffers_[2]);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(count_) * sizeof(uint32_t), colors_);
    glColorPointer(kColorComponents, GL_UNSIGNED_BYTE, 0, nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, 0);

    // State changes only where a command differs from the one before it.
    bool texturing = true;
    bool anyBound = false;
    uint32_t bound = 0;
    bool anyBlend = false;
    int32_t blendSet = 0;
    int32_t widthSet = 0;
    GLint first = 0;
    for (int32_t i = 0; i < commandCount_; ++i) {
        const Command& command = commands_[i];
        if (command.kind == kPrimitiveTexturedTriangles) {
            if (!texturing) {
                glEnable(GL_TEXTURE_2D);
                texturing = true;
            }
            if (!anyBound || command.texture != bound) {
                glBindTexture(GL_TEXTURE_2D, command.texture);
                bound = command.texture;
                anyBound = true;
            }
        } else if (texturing) {
            glDisable(GL_TEXTURE_2D);
            texturing = false;
        }
        if (!anyBlend || command.blend != blendSet) {
            BlendFactors factors = BlendFor(command.blend);
            glBlendFunc(factors.source, factors.destination);
            blendSet = command.blend;
            anyBlend = true;
        }
        if (command.kind == kPrimitiveLines) {
            int32_t width = std::max(command.param, 1);
            if (width != widthSet) {
                glLineWidth(static_cast<GLfloat>(width));
                widthSet = width;
            }
            glDrawArrays(GL_LINES, first, command.count);
        } else {
            glDrawArrays(GL_TRIANGLES, first, command.count);
        }
        first += command.count;
    }

    ResetBatch();
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
    glFlush();
}

CKVQOpenGLESDC::Vertex CKVQOpenGLESDC::GetVertex(int32_t index) const
{
    Vertex v;
    if (index < 0 || index >= count_)
        return v;
    v.x = positions_[index * kPositionComponents];
    v.y = positions_[index * kPositionComponents + 1];
    v.u = texCoords_[index * kTexCoordComponents];
    v.v = texCoords_[index * kTexCoordComponents + 1];
    v.color = colors_[index];
    return v;
}

// ---- scenes -----------------------------------------------------------------------------------

int32_t CKVQOpenGLESDC::Clear()
{
    if (!hasContext_)
        return 0;
    if (GetCoreCfg().IsEditTool)
        glClearColor(kClearGrey, 0.0f, kClearGrey, 1.0f);
    else
        glClearColor(kClearGrey, kClearGrey, kClearGrey, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    return 0;
}

int32_t CKVQOpenGLESDC::BeginScene()
{
    // Every frame starts grey, the editor's tool colour included: only an explicit clear shows it.
    if (hasContext_) {
        platform::MakeGLCurrent(window_);
        glClearColor(kClearGrey, kClearGrey, kClearGrey, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    return 0;
}

int32_t CKVQOpenGLESDC::EndScene()
{
    Flush();
    return 0;
}

bool CKVQOpenGLESDC::ReadFrame(std::vector<uint8_t>& rgba, int32_t& width, int32_t& height)
{
    if (!hasContext_ || width_ <= 0 || height_ <= 0 || width_ > kMaxFrameSide || height_ > kMaxFrameSide)
        return false;
    const size_t rowBytes = static_cast<size_t>(width_) * 4;
    rgba.resize(rowBytes * static_cast<size_t>(height_));
    platform::MakeGLCurrent(window_);
    GLboolean doubleBuffered = GL_FALSE;
    glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
    glReadBuffer(doubleBuffered ? GL_BACK : GL_FRONT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    if (glGetError() != GL_NO_ERROR)
        return false;
    // GL's rows start at the bottom.
    std::vector<uint8_t> row(rowBytes);
    for (int32_t top = 0, bottom = height_ - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = rgba.data() + rowBytes * static_cast<size_t>(top);
        uint8_t* b = rgba.data() + rowBytes * static_cast<size_t>(bottom);
        std::memcpy(row.data(), a, rowBytes);
        std::memcpy(a, b, rowBytes);
        std::memcpy(b, row.data(), rowBytes);
    }
    MakeOpaque(rgba);
    width = width_;
    height = height_;
    return true;
}

// ---- set-up -----------------------------------------------------------------------------------

bool CKVQOpenGLESDC::CreateContext()
{
    std::string error;
    if (!window_) {
        platform::ShowMessageBox("No window to draw into", "");
        return false;
    }
    if (!platform::CreateGLContext(window_, error)) {
        platform::ShowMessageBox(error.c_str(), "");
        return false;
    }
    auto fail = [this](const std::string& message) {
        platform::ShowMessageBox(message.c_str(), "");
        platform::DestroyGLContext(window_);
        return false;
    };
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (!version || LeadingVersion(version) < kMinimumGLVersion) {
        char message[512];
        std::snprintf(message, sizeof message, kOldGLMessage, version ? version : "unknown");
        return fail(message);
    }
    // Under EGL GLEW loads every function and then reports that there is no GLX display.
    GLenum result = glewInit();
    if (result != GLEW_OK && result != GLEW_ERROR_NO_GLX_DISPLAY)
        return fail(reinterpret_cast<const char*>(glewGetErrorString(result)));
    (void)glewIsSupported("GL_VERSION_2_0");
    if (!glGenBuffers || !glBindBuffer || !glBufferData || !glBufferSubData || !glDeleteBuffers)
        return fail(kMissingBufferMessage);
    hasContext_ = true;
    SetTextureUploadEnabled(true);
    return true;
}

bool CKVQOpenGLESDC::CreateBuffers()
{
    if (!hasContext_)
        return false;
    if (hasBuffers_)
        return true;
    static constexpr GLsizeiptr kSizes[3] = {kPositionBufferBytes, kTexCoordBufferBytes, kColorBufferBytes};
    GLuint names[3] = {0, 0, 0};
    glGenBuffers(3, names);
    for (int i = 0; i < 3; ++i) {
        glBindBuffer(GL_ARRAY_BUFFER, names[i]);
        glBufferData(GL_ARRAY_BUFFER, kSizes[i], nullptr, GL_DYNAMIC_DRAW);
        buffers_[i] = names[i];
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    hasBuffers_ = true;
    return true;
}

void CKVQOpenGLESDC::DeleteBuffers()
{
    if (!hasContext_ || !hasBuffers_)
        return;
    GLuint names[3] = {buffers_[0], buffers_[1], buffers_[2]};
    glDeleteBuffers(3, names);
    buffers_[0] = buffers_[1] = buffers_[2] = 0;
    hasBuffers_ = false;
}

void CKVQOpenGLESDC::SetProjection(int32_t width, int32_t height, double zFar)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, height, 0, 0, zFar);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

int32_t CKVQOpenGLESDC::Init(int32_t width, int32_t height, void* window, int32_t param)
{
    (void)param;
    auto* target = static_cast<platform::Window*>(window);
    if (hasContext_ && target != window_) {
        // A context belongs to its window: a new window needs a new one (the old buffers went
        // with the old context).
        hasContext_ = false;
        hasBuffers_ = false;
    }
    width_ = width;
    height_ = height;
    window_ = target;
    if (!hasContext_ && !CreateContext())
        return -1;
    platform::MakeGLCurrent(window_);
    glViewport(0, 0, width, height);
    SetProjection(width, height, 1.0);
    glEnable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_DEPTH_TEST);
    CreateBuffers();
    clips_.clear();
    PushClip(KVQRect{0, width, 0, height}, 0);
    Clear();
    return 0;
}

int32_t CKVQOpenGLESDC::Shutdown()
{
    DeleteBuffers();
    return 0;
}

int32_t CKVQOpenGLESDC::ResetDevice()
{
    CreateBuffers();
    return 0;
}

int32_t CKVQOpenGLESDC::Resize(int32_t width, int32_t height)
{
    if (hasContext_) {
        SetProjection(width, height, 0.2);
        glEnable(GL_BLEND);
    }
    width_ = width;
    height_ = height;
    PopClip();
    PushClip(KVQRect{0, width, 0, height}, 0);
    Clear();
    return 0;
}

CKVQDC* CreateOpenGLESDC()
{
    return new CKVQOpenGLESDC();
}
