#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "common/Notices.h"
#include "gfx/Texture.h"
#include "io/EditHook.h"
#include "render/RenderRegistry.h"
#include "render/particles/Particle.h"
#include "support/Bytes.h"
#include "support/RecordingDC.h"
#include "support/TempFiles.h"
#include "ui/Message.h"
#include "ui/TimerSystem.h"
#include "ui/Window.h"

namespace {

// ---- the step written again from its description, over plain values ----

struct ModelParticle {
    float x, y, vx, vy, gravity, radial, tangential, size, sizeDelta, age, terminal;
};

struct Model {
    uint32_t seed = 0;
    ParticleInfo info;
    float scale = 1.0f;
    float age = -2.0f, residue = 0.0f;
    float prevX = 0, prevY = 0, curX = 0, curY = 0;
    std::vector<ModelParticle> live;

    float Random(float a, float b)
    {
        seed = seed * 214013u + 2531011u;
        return a + (static_cast<float>((seed >> 16) & 0xFFFF) * (1.0f / 65535.0f)) * (b - a);
    }
    static float Parabola(float x)
    {
        const float y = 1.27323954f * x - 0.405284735f * x * std::fabs(x);
        return y + 0.225f * (y * std::fabs(y) - y);
    }
    static float Sin(float x) { return Parabola(x < -3.14159265f ? x + 6.28318531f : x > 3.14159265f ? x - 6.28318531f : x); }
    static float Cos(float x) { return Parabola(x + 1.57079632f > 3.14159265f ? x + 1.57079632f - 6.28318531f : x + 1.57079632f); }

    void FireAt(float x, float y) { prevX = curX = x, prevY = curY = y, age = info.fLifetime == -1 ? -1 : 0; }
    void Step(float dt)
    {
        if (age >= 0 && (age += dt) >= info.fLifetime)
            age = -2;
        for (size_t i = 0; i < live.size();) {
            ModelParticle& p = live[i];
            if ((p.age += dt) >= p.terminal) {
                p = live.back();
                live.pop_back();
                continue;
            }
            float dx = p.x - curX, dy = p.y - curY;
            const float length = std::sqrt(dx * dx + dy * dy);
            dx = length != 0 ? dx / length : 0;
            dy = length != 0 ? dy / length : 0;
            p.vx += (dx * p.radial + -dy * p.tangential) * dt;
            p.vy += (dy * p.radial + dx * p.tangential) * dt;
            p.vy += p.gravity * dt;
            p.x += p.vx * scale;
            p.y += p.vy * scale;
            p.size += p.sizeDelta * dt;
            ++i;
        }
        if (age != -2) {
            const float e = residue + static_cast<float>(info.nEmission) * dt;
            const auto n = static_cast<int32_t>(e);
            residue = e - static_cast<float>(n);
            for (int32_t k = 0; k < n && live.size() < 200; ++k) {
                const ParticleInfo& in = info;
                ModelParticle p{};
                p.terminal = Random(in.fParticleLifeMin, in.fParticleLifeMax);
                const float s = 100.0f * (1.0f / static_cast<float>(static_cast<int32_t>(p.terminal * 100.0f)));
                const float f = Random(0, 1);
                p.x = prevX + (curX - prevX) * f;
                p.y = prevY + (curY - prevY) * f;
                p.x += Random(-2, 2) * scale;
                p.y += Random(-2, 2) * scale;
                float a = in.fDirection - 1.5707964f + Random(0, in.fSpread) - in.fSpread / 2;
                if (in.bRelative)
                    a += std::atan2(prevY - curY, prevX - curX) + 1.5707964f;
                const float speed = Random(in.fSpeedMin, in.fSpeedMax);
                p.vx = Cos(a) * speed;
                p.vy = Sin(a) * speed;
                p.gravity = Random(in.fGravityMin, in.fGravityMax);
                p.radial = Random(in.fRadialAccelMin, in.fRadialAccelMax);
                p.tangential = Random(in.fTangentialAccelMin, in.fTangentialAccelMax);
                p.size = Random(in.fSizeStart, in.fSizeStart + (in.fSizeEnd - in.fSizeStart) * in.fSizeVar);
                p.sizeDelta = (in.fSizeEnd - p.size) * s;
                for (int draw = 0; draw < 5; ++draw)  // spin and the four channels
                    Random(0, 1);
                live.push_back(p);
            }
        }
        prevX = curX;
        prevY = curY;
    }
};

ParticleInfo Fountain()
{
    ParticleInfo info;
    info.nEmission = 40;
    info.fLifetime = -1.0f;
    info.fParticleLifeMin = 0.3f, info.fParticleLifeMax = 0.9f;
    info.fSpread = 0.8f;
    info.fSpeedMin = 1.0f, info.fSpeedMax = 3.0f;
    info.fSizeStart = 1.0f, info.fSizeEnd = 0.25f, info.fSizeVar = 0.5f;
    info.colorStart = {1.0f, 0.5f, 0.25f, 1.0f};
    return info;
}

class Particles : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterRenderClasses();
        SetTextureKind(kTextureMemoryImage);
        CTimerSystem().Clear();
        previous = SetCurrentDevice(&dc);
        particle_math::randomSeed = 0;
    }
    void TearDown() override
    {
        SetCurrentDevice(previous);
        for (CKVQWindow* w : made)
            w->Delete();
        WindowModule::Get().ReleaseDeleted();
        CTimerSystem().Clear();
        CTextureCache::Instance().Clear();
        notices::Reset();
    }
    static CKVQTimerSystem& CTimerSystem() { return CKVQTimerSystem::Instance(); }
    // An emitter on a new window of rectangle (10, 110, 20, 60): its centre is (60, 40).
    CRenderObject_Particle* Make()
    {
        made.push_back(CKVQWindow::New());
        made.back()->Layout = LayoutRect{0, 0, 0, 0, 10, 110, 20, 60};
        auto* p = new CRenderObject_Particle;
        p->emitter.info = Fountain();
        made.back()->AddRender(p);
        return p;
    }
    void Send(const char* name, CKVQWindow* window)
    {
        CKVQMessage message(16);
        window->ProcMessage(name, &message, window);
    }
    // A ".psi" file with every byte the engine does not read set.
    std::string WritePsi(const std::string& name, const ParticleInfo& info)
    {
        uint8_t bytes[ParticleInfo::kFileBytes];
        info.ToFileBytes(bytes);
        std::memset(bytes, 0xAB, 4);
        std::memset(bytes + 29, 0xCD, 3);
        WriteFile(folder / name, bytes, sizeof bytes);
        return folder / name;
    }

    RecordingDC dc;
    CKVQDC* previous = nullptr;
    std::vector<CKVQWindow*> made;
    TempFolder folder;
};

// ---- the simulation ----

TEST_F(Particles, StepsMatchTheReferenceModelToTheBit)
{
    struct Case {
        const char* what;
        float gravity, radial, tangential, scale, updateSpeed, moveBy;
        bool relative;
    } cases[] = {
        {"plain, fixed step", 0, 0, 0, 1, 1.0f / 30.0f, 0, false},
        {"accelerated, elapsed time", 60, -150, 200, 1, 0, 0, false},
        {"scaled, moving, relative", 20, 0, 0, 2.5f, 0, 7, true},
    };
    for (const Case& c : cases) {
        ParticleEmitter emitter;
        Model model;
        model.info = Fountain();
        model.info.fGravityMin = c.gravity, model.info.fGravityMax = 2 * c.gravity;
        model.info.fRadialAccelMin = c.radial, model.info.fTangentialAccelMax = c.tangential;
        model.info.bRelative = c.relative ? 1 : 0;
        emitter.info = model.info;
        emitter.scale = model.scale = c.scale;
        emitter.fUpdSpeed = c.updateSpeed;
        particle_math::randomSeed = model.seed = 4321;
        emitter.FireAt(60, 40);
        model.FireAt(60, 40);
        for (int tick = 1; tick <= 12; ++tick) {
            const float x = 60 + c.moveBy * static_cast<float>(tick);
            emitter.MoveTo(x, 40, false);
            model.prevX = model.curX, model.curX = x;
            emitter.Advance(0.1f);
            model.Step(c.updateSpeed == 0 ? 0.1f : c.updateSpeed);
            ASSERT_EQ(emitter.Count(), static_cast<int32_t>(model.live.size())) << c.what << " tick " << tick;
            for (int32_t i = 0; i < emitter.Count(); ++i) {
                const Particle& p = emitter.Particles()[i];
                const ModelParticle& m = model.live[i];
                ASSERT_TRUE(p.x == m.x && p.y == m.y && p.size == m.size) << c.what << " tick " << tick << " #" << i;
            }
        }
        EXPECT_EQ(particle_math::randomSeed, model.seed) << c.what;
    }
}

// Emission angles reach beyond a turn from zero (a direction near 2 pi turned by the emitter's
// movement): the parabola is kept inside one half-turn either way, or it is no sine.
TEST_F(Particles, FastSineAndCosineStayNearTheTruthForAnyAngle)
{
    const float angles[] = {0.0f, 1.0f, -2.5f, 3.14159f, -3.14159f, 4.0f, -4.0f, 4.43f, 7.0f, -7.0f, 9.14f, 12.5f, -12.5f, 40.0f};
    for (float a : angles) {
        EXPECT_NEAR(particle_math::FastSin(a), std::sin(a), 0.002f) << a;
        EXPECT_NEAR(particle_math::FastCos(a), std::cos(a), 0.002f) << a;
    }
    // Inside the range one wrap reaches, the values are the parabola's to the bit.
    EXPECT_EQ(particle_math::FastCos(4.43f), Model::Cos(4.43f));
    EXPECT_EQ(particle_math::FastSin(5.0f), Model::Sin(5.0f));
    EXPECT_EQ(particle_math::FastCos(-3.0f), Model::Cos(-3.0f));
}

TEST_F(Particles, EmissionCarriesItsResidueAndStopsAtTwoHundred)
{
    struct Case {
        int32_t emission;
        float dt;
        int steps;
        int32_t count;  // live after the steps (none dies)
        float residue;
    } cases[] = {
        {30, 1.0f / 30.0f, 3, 3, 0.0f},           // one a step
        {30, 0.05f, 2, 3, 0.0f},                    // the half carries to the second step
        {2500, 0.1f, 1, 200, 0.0f},                 // 250 wanted: 200 made, the residue reduced by 250
        {5000, 0.1f, 3, 200, 0.0f},
        {-40, 0.1f, 2, 0, 0.0f},
    };
    for (const Case& c : cases) {
        ParticleEmitter e;
        e.info = Fountain();
        e.info.nEmission = c.emission;
        e.info.fParticleLifeMin = e.info.fParticleLifeMax = 50.0f;
        e.FireAt(0, 0);
        for (int i = 0; i < c.steps; ++i)
            e.Step(c.dt);
        EXPECT_TRUE(e.Count() == c.count && std::fabs(e.residue - c.residue) < 1e-6f) << c.emission << " at " << c.dt;
    }

    // A particle meant to live 0.004 s gets an infinite rate and dies in its first step.
    ParticleEmitter fleeting;
    fleeting.info = Fountain();
    fleeting.info.nEmission = 10;
    fleeting.info.fParticleLifeMin = fleeting.info.fParticleLifeMax = 0.004f;
    fleeting.FireAt(0, 0);
    fleeting.Step(0.1f);
    ASSERT_EQ(fleeting.Count(), 1);
    EXPECT_TRUE(std::isinf(fleeting.Particles()[0].sizeDelta));
    fleeting.Stop(false), fleeting.Step(0.1f);
    EXPECT_EQ(fleeting.Count(), 0);
}

TEST_F(Particles, AdvanceRunsAtMostOneStepAndAnyStepLengthEnds)
{
    struct Case {
        float updateSpeed;
        int advances;
        float age;  // of an emitter fired at 0
    } cases[] = {
        {1.0f / 30.0f, 3, 0.1f},     // 1/30 s per 100 ms tick
        {0.0f, 3, 0.3f},             // the elapsed time
        {0.25f, 6, 0.5f},            // two steps in 0.6 s
        {1e-30f, 2, 2e-30f},         // far below the tick: one step each, no endless subtraction
        {-1.0f, 2, 0.2f},            // taken as the elapsed time
        {NAN, 2, 0.2f},
    };
    for (const Case& c : cases) {
        ParticleEmitter e;
        e.info.fLifetime = 100.0f;
        e.fUpdSpeed = c.updateSpeed;
        e.Fire();
        for (int i = 0; i < c.advances; ++i)
            e.Advance(0.1f);
        EXPECT_NEAR(e.age, c.age, 1e-6f) << c.updateSpeed;
        EXPECT_GE(e.accumulator, 0.0f) << c.updateSpeed;
    }
}

TEST_F(Particles, MovingTheEmitterMovesLiveParticlesOnlyWhenAsked)
{
    for (bool moveParticles : {true, false}) {
        ParticleEmitter e;
        e.info = Fountain();
        e.info.fParticleLifeMin = e.info.fParticleLifeMax = 50.0f;
        e.FireAt(100, 100);
        e.Step(0.1f);
        const std::vector<Particle> before(e.Particles(), e.Particles() + e.Count());
        e.MoveTo(300, 80, moveParticles);
        for (int32_t i = 0; i < e.Count(); ++i)
            EXPECT_TRUE(e.Particles()[i].x == before[i].x + (moveParticles ? 200.0f : 0.0f) &&
                        e.Particles()[i].y == before[i].y + (moveParticles ? -20.0f : 0.0f));
        // New particles are spread along the way the emitter went in the step.
        e.info.fSpeedMin = e.info.fSpeedMax = 0.0f;
        e.info.nEmission = 400;
        e.Step(0.1f);
        float lowest = 1e9f, highest = -1e9f;
        for (int32_t i = static_cast<int32_t>(before.size()); i < e.Count(); ++i) {
            lowest = std::min(lowest, e.Particles()[i].x);
            highest = std::max(highest, e.Particles()[i].x);
        }
        // Moved along, the old place is the new one: only the jitter spreads them.
        EXPECT_TRUE(moveParticles ? lowest > 296.0f : lowest < 130.0f && highest > 270.0f) << lowest << " " << highest;
    }
}

// ---- messages and the timer ----

TEST_F(Particles, ShowAndHideStartAndStopOneSharedTimer)
{
    CRenderObject_Particle* p = Make();
    CKVQWindow* w = made.back();
    // "OnLoad" and "OnShow" in one tick: one timer, triggering every 100 ms.
    Send("OnLoad", w);
    Send("OnShow", w);
    EXPECT_EQ(CTimerSystem().GetTimerCount(), 1u);
    EXPECT_TRUE(p->emitter.current.x == 60.0f && p->emitter.current.y == 40.0f);
    EXPECT_EQ(p->emitter.age, -1.0f);  // fired, endless
    for (int tick = 0; tick < 100; ++tick)
        CTimerSystem().Update(33);
    EXPECT_EQ(CTimerSystem().GetTriggeredCount(p->timerId), 33u);
    EXPECT_GT(p->emitter.Count(), 0);

    const float residue = p->emitter.residue = 0.5f;
    Send("OnHide", w);
    EXPECT_EQ(p->emitter.Count(), 0);
    EXPECT_EQ(p->emitter.residue, residue);
    EXPECT_EQ(CTimerSystem().GetTimerCount(), 0u);
    p->emitter.age = -2.0f;
    Send("OnShow", w);
    EXPECT_EQ(CTimerSystem().GetTimerCount(), 1u);
    EXPECT_EQ(p->emitter.age, -1.0f);

    // A second emitter shares the timer; removing the first leaves it running.
    auto* second = new CRenderObject_Particle;
    w->AddRender(second);
    Send("OnFireParticle", w);
    ASSERT_EQ(second->timerId, p->timerId);
    w->DelRender(p);
    WindowModule::Get().ReleaseDeleted();
    EXPECT_EQ(CTimerSystem().GetTimerCount(), 1u);
    w->DelRender(second);
    WindowModule::Get().ReleaseDeleted();
    EXPECT_EQ(CTimerSystem().GetTimerCount(), 0u);
}

TEST_F(Particles, UpdatesOnlyWhileVisibleUnlessAlwaysAndZoomScales)
{
    struct Case {
        bool windowShown, objectShown, always;
        bool advances;
    } cases[] = {
        {true, true, false, true}, {false, true, false, false}, {true, false, false, false}, {false, false, true, true},
    };
    for (const Case& c : cases) {
        CRenderObject_Particle* p = Make();
        p->emitter.fUpdSpeed = 0;
        p->emitter.Fire();
        if (!c.windowShown)
            made.back()->DelBit(STATUS_IsVisible);
        p->IsVisible = c.objectShown ? 1 : 0;
        p->IsUpdateAllway = c.always ? 1 : 0;
        p->Update();
        EXPECT_EQ(p->emitter.Count() > 0, c.advances) << c.windowShown << c.objectShown << c.always;
    }
    CRenderObject_Particle* p = Make();
    CKVQMessage zoom(16);
    zoom.setMode(CIArchive::SM_WRITE);
    float factor = 2.0f;
    zoom.Float(factor);
    made.back()->ProcMessage("OnZoom", &zoom, made.back());
    EXPECT_TRUE(p->emitter.scale == 2.0f && p->sprite.fScaleX == 2.0f && p->sprite.fScaleY == 2.0f);
    Send("OnZoom", made.back());  // without a factor: 1
    EXPECT_EQ(p->emitter.scale, 1.0f);
}

// ---- files, drawing, record ----

TEST_F(Particles, PsiFilesLoadAndSaveWithZerosWhereTheEngineReadsNothing)
{
    ASSERT_TRUE(folder.ok());
    CRenderObject_Particle p;
    p.psiFile = WritePsi("fountain.psi", Fountain()).c_str();
    ASSERT_TRUE(p.LoadPsi());
    EXPECT_EQ(p.IsLoaded, 1);
    EXPECT_EQ(p.emitter.info.nEmission, 40);
    EXPECT_EQ(p.emitter.info.colorStart.green, 0.5f);
    EXPECT_EQ(p.emitter.info.spriteSlot, 0u);

    // Saved twice, from an Info whose unread bytes hold anything: the same bytes each time.
    p.emitter.info.spriteSlot = 0x12345678;
    p.emitter.info.padding[1] = 9;
    p.psiFile = (folder / "saved.psi").c_str();
    ASSERT_TRUE(p.ExecuteCommand("CKVQWindow:RenderLst:Particle:Particle", "SavePsi"));
    const std::vector<uint8_t> first = ReadFileBytes(folder / "saved.psi");
    p.emitter.info.spriteSlot = 7;
    ASSERT_TRUE(p.SavePsi());
    EXPECT_EQ(ReadFileBytes(folder / "saved.psi"), first);
    uint8_t expected[ParticleInfo::kFileBytes];
    Fountain().ToFileBytes(expected);
    EXPECT_EQ(first, std::vector<uint8_t>(expected, expected + sizeof expected));

    // Missing and short files: said once, nothing changed, tried again at the next draw.
    WriteFile(folder / "short.psi", expected, 100);
    for (const char* name : {"absent.psi", "short.psi"}) {
        notices::Reset();
        CRenderObject_Particle q;
        q.emitter.info.nEmission = 3;
        q.psiFile = (folder / name).c_str();
        testing::internal::CaptureStderr();
        q.Draw(KVQRect{0, 10, 0, 10});
        q.Draw(KVQRect{0, 10, 0, 10});
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_NE(said.find(name), std::string::npos) << said;
        EXPECT_EQ(q.emitter.info.nEmission, 3);
        EXPECT_EQ(q.IsLoaded, 0);
        EXPECT_FALSE(q.IsSpriteAttached());
    }
}

TEST_F(Particles, DrawingCentresTheSpriteOnEachParticleInItsColour)
{
    const int32_t texture = CTextureCache::Instance().AddTexture("spark.png", std::vector<uint8_t>(8 * 8 * 4).data(), 8, 8);
    CRenderObject_Particle* p = Make();
    p->psiFile = WritePsi("spark.psi", Fountain()).c_str();
    p->sprite.file = "spark.png";
    p->sprite.color = RGBA{1, 2, 3, 4};
    p->Layout = LayoutRect{0, 0, 0, 0, 0, 40, 0, 20};
    p->emitter.info.nEmission = 0;  // replaced by the file's 40
    p->Draw(KVQRect{100, 200, 100, 200});
    EXPECT_TRUE(p->IsSpriteAttached());
    EXPECT_EQ(p->emitter.current.x, 120.0f);
    EXPECT_EQ(p->emitter.current.y, 110.0f);
    EXPECT_EQ(dc.calls.size(), 0u);  // fired, nothing emitted yet

    p->emitter.fUpdSpeed = 0;
    p->emitter.Advance(0.1f);
    ASSERT_EQ(p->emitter.Count(), 4);
    Particle& first = p->emitter.pool[0];
    first.x = 130.7f, first.y = 90.2f, first.size = 2.0f, first.spin = 0, first.angle = 0;
    first.red = 1.5f, first.green = 0.5f, first.blue = -0.25f, first.alpha = 1.0f;  // held at 255 and 0
    p->Draw(KVQRect{100, 200, 100, 200});
    ASSERT_EQ(static_cast<int32_t>(dc.calls.size()), 4);
    // 8 x 8 at size 2: a 16 x 16 square centred on (130, 90), stretched; no clip.
    EXPECT_EQ(dc.calls[0], "StretchBlit " + std::to_string(texture) + " 0,8,0,8 122,138,82,98 #ff7f00ff");
    EXPECT_EQ(dc.Count("RotateBlit"), 3);
    EXPECT_EQ(dc.Count("PushClip"), 0);
    EXPECT_EQ(p->sprite.color, (RGBA{1, 2, 3, 4}));

    // A step longer than the tick still comes round while the emitter is drawn between updates.
    p->emitter.fUpdSpeed = 0.25f;
    const int32_t before = p->emitter.Count();
    for (int tick = 0; tick < 3; ++tick) {
        p->emitter.Advance(0.1f);
        p->Draw(KVQRect{100, 200, 100, 200});
    }
    EXPECT_GT(p->emitter.Count(), before);
}

TEST_F(Particles, RecordAndAttributesCarryTheParameters)
{
    CRenderObject_Particle p;
    p.psiFile = "fx/smoke.psi";
    p.emitter.info = Fountain();
    p.emitter.info.bRelative = 1;
    p.IsMoveParticle = 0;
    p.sprite.file = "smoke.png";
    CKVQMessage m(16);
    m.setMode(CIArchive::SM_WRITE);
    p.TransferRecord(m);
    const std::vector<uint8_t> bytes = BytesOf(m);
    // psiFile (8 + 13 bytes), then the Info block: 124 bytes of record behind its 8-byte header.
    ASSERT_GT(bytes.size(), 21u + 8u + 124u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 21, bytes.begin() + 33),
              Bytes({124, 0, 0, 0, 124, 0, 0, 0, 40, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 53, bytes.begin() + 57), Bytes({1, 0, 0, 0}));  // bRelative

    auto* back = static_cast<CRenderObject_Particle*>(p.Clone());
    ASSERT_NE(back, nullptr);
    EXPECT_STREQ(back->psiFile.c_str(), "fx/smoke.psi");
    EXPECT_EQ(std::memcmp(&back->emitter.info, &p.emitter.info, sizeof(ParticleInfo)), 0);
    EXPECT_TRUE(std::strcmp(back->sprite.file.c_str(), "smoke.png") == 0 && back->IsMoveParticle == 0);
    DestroyRender(back);

    const std::vector<std::string> names = p.BoundTable().FullNames();
    int last = -1;
    for (const char* name : {"Particle:Base:Name", "Particle:Sprite:file", "Particle:psiFile", "Particle:IsUpdateAllway",
                             "Particle:Info:nEmission", "Particle:Info:bRelative", "Particle:Info:colorEnd:alpha",
                             "Particle:Info:fAlphaVar", "Particle:fInitAngleDelta", "Particle:fUpdSpeed"}) {
        const auto at = static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
        EXPECT_GT(at, last) << name;
        EXPECT_LT(at, static_cast<int>(names.size())) << name;
        last = at;
    }
    CRenderObject_Particle other;
    ASSERT_TRUE(other.SetAttribute(other.GetAttributeNameRef("Particle:Info:colorEnd:blue"), "0.75"));
    EXPECT_EQ(other.emitter.info.colorEnd.blue, 0.75f);
    other.IsLoaded = 1;
    ASSERT_TRUE(other.SetAttribute(other.GetAttributeNameRef("Particle:psiFile"), "other.psi"));
    EXPECT_EQ(other.IsLoaded, 0);  // the next draw reads the new file
}

}  // namespace
