#include "render/particles/Particle.h"

#include <climits>
#include <cstring>
#include <string>

#include "common/Notices.h"
#include "gfx/DC.h"
#include "io/Archive.h"
#include "io/EditHook.h"
#include "io/LookupPlaces.h"
#include "render/logic/LuaLogic.h"
#include "render/pictures/Picture.h"
#include "ui/Message.h"
#include "render/SharedTimer.h"
#include "ui/Window.h"

namespace {

constexpr const char* kOnLoad = "OnLoad";
constexpr const char* kOnShow = "OnShow";
constexpr const char* kOnHide = "OnHide";
constexpr const char* kOnZoom = "OnZoom";
constexpr const char* kCommandsHint = "LoadPsi|SavePsi|Timer|";
constexpr const char* kLoadPsi = "LoadPsi";
constexpr const char* kSavePsi = "SavePsi";
constexpr const char* kTimer = "Timer";
constexpr const char* kPsiFilter = "*.psi";
constexpr const char* kFloatFormat = "%f";
constexpr const char* kAngleRange = "0:6283:1000";
constexpr const char* kStepRange = "0:1000:1";
// The timer repeats until the emitter lets it go; the first update comes with the first tick.
constexpr uint32_t kForever = UINT32_MAX;
constexpr int32_t kTimerDelay = 1;

CRenderObject_Particle* Self(IRender* self)
{
    return static_cast<CRenderObject_Particle*>(self);
}

void OnLoadHandler(IRender* self, const char*, CKVQWindow* owner, CKVQMessage*, CKVQWindow*)
{
    if (!owner || !owner->IsVisible())
        return;
    Self(self)->StartTimer();
    Self(self)->FireAtWindowCentre();
}

void OnShowHandler(IRender* self, const char*, CKVQWindow*, CKVQMessage*, CKVQWindow*)
{
    Self(self)->StartTimer();
    Self(self)->FireAtWindowCentre();
}

void OnFireParticleHandler(IRender* self, const char*, CKVQWindow*, CKVQMessage*, CKVQWindow*)
{
    Self(self)->StopTimer();
    Self(self)->StartTimer();
    Self(self)->FireAtWindowCentre();
}

void OnHideHandler(IRender* self, const char*, CKVQWindow*, CKVQMessage*, CKVQWindow*)
{
    Self(self)->StopTimer();
    Self(self)->emitter.count = 0;  // the part of a particle not yet emitted stays
}

void OnParticleUpdateHandler(IRender* self, const char*, CKVQWindow*, CKVQMessage*, CKVQWindow*)
{
    Self(self)->Update();
}

void OnZoomHandler(IRender* self, const char*, CKVQWindow*, CKVQMessage* message, CKVQWindow*)
{
    float zoom = 1.0f;
    if (!message || message->Float(zoom) < 0)
        zoom = 1.0f;
    Self(self)->Zoom(zoom);
}

void OnPsiFileChanged(void* object, const char*, int32_t)
{
    if (auto* particle = static_cast<CRenderObject_Particle*>(object))
        particle->IsLoaded = 0;  // the next draw reads the new file
}

// A channel of 0.0 to 1.0 as a byte; values beyond either end are held at it.
uint8_t ChannelByte(float value)
{
    const int32_t v = TruncateToInt(static_cast<double>(value * 255.0f));
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

}  // namespace

CRenderObject_Particle::CRenderObject_Particle()
{
    RegisterHandler(kOnLoad, &OnLoadHandler);
    RegisterHandler(kOnShow, &OnShowHandler);
    RegisterHandler(kOnFireParticle, &OnFireParticleHandler);
    RegisterHandler(kOnHide, &OnHideHandler);
    RegisterHandler(kOnParticleUpdate, &OnParticleUpdateHandler);
    RegisterHandler(kOnZoom, &OnZoomHandler);
}

CRenderObject_Particle::~CRenderObject_Particle()
{
    ReleaseSharedTimer(timerId);
}

CKVQEditHook& CRenderObject_Particle::AttributeTable() const
{
    static CKVQEditHook table;
    return table;
}

// ---- timer and messages ----

void CRenderObject_Particle::StartTimer()
{
    CKVQWindow* owner = GetOwner();
    if (!owner || owner->IsDeleted())
        return;
    HoldSharedTimer(timerId, owner, kOnParticleUpdate, kUpdateInterval, kForever, kTimerDelay);
}

void CRenderObject_Particle::StopTimer()
{
    ReleaseSharedTimer(timerId);
}

void CRenderObject_Particle::FireAtWindowCentre()
{
    CKVQWindow* owner = GetOwner();
    if (!owner || owner->IsDeleted())
        return;
    const KVQRect r = owner->GetRect();
    emitter.FireAt(static_cast<float>(wrap32::Add(r.Width() >> 1, r.left)),
                   static_cast<float>(wrap32::Add(r.Height() >> 1, r.top)));
}

void CRenderObject_Particle::Update()
{
    CKVQWindow* owner = GetOwner();
    if (!IsUpdateAllway && (!owner || !owner->IsVisible() || IsVisible == 0))
        return;
    emitter.Advance(kUpdateSeconds);
    if (owner && !owner->IsDeleted())
        owner->Invalidate();
}

void CRenderObject_Particle::Zoom(float factor)
{
    sprite.fScaleX *= factor;
    sprite.fScaleY *= factor;
    emitter.scale = factor;
}

// ---- files ----

bool CRenderObject_Particle::LoadPsi()
{
    std::string problem;
    ParticleInfo read = emitter.info;
    if (!psi_file::Load(psiFile.c_str(), read, problem)) {
        // Said once per file: drawing asks again every frame.
        const std::string name = psiFile.c_str();
        if (name.empty())
            notices::NoticeOnce("psi\x1f", "a particle emitter names no particle file and draws nothing");
        else if (problem == "cannot be opened")
            notices::ReportMissing("particle file", name, LookupPlaces(name));
        else
            notices::NoticeOnce("psi\x1f" + name, "particle file '" + name + "' " + problem);
        return false;
    }
    AttachInfo(read);
    return true;
}

void CRenderObject_Particle::AttachInfo(const ParticleInfo& info)
{
    emitter.info = info;
    spriteAttached = true;
    IsLoaded = 1;
}

bool CRenderObject_Particle::SavePsi()
{
    if (psi_file::Save(psiFile.c_str(), emitter.info))
        return true;
    notices::Notice(std::string("particle file '") + psiFile.c_str() + "' cannot be written");
    return false;
}

// ---- drawing ----

void CRenderObject_Particle::Draw(const KVQRect& windowRect)
{
    if (!IsLoaded || !spriteAttached)
        LoadPsi();
    if (!spriteAttached)
        return;
    const KVQRect area = ResolveRect(windowRect);
    emitter.MoveTo(static_cast<float>(wrap32::Add(area.Width() >> 1, area.left)),
                   static_cast<float>(wrap32::Add(area.Height() >> 1, area.top)), IsMoveParticle != 0);
    emitter.KeepAlive();

    const RGBA saved = sprite.color;
    const float offsetX = emitter.offset.x;
    const float offsetY = emitter.offset.y;
    const float scale = sprite.fScaleX;
    const Particle* particles = emitter.Particles();
    for (int32_t i = 0; i < emitter.Count(); ++i) {
        const Particle& p = particles[i];
        sprite.color = RGBA{ChannelByte(p.red), ChannelByte(p.green), ChannelByte(p.blue), ChannelByte(p.alpha)};
        const float size = p.size * scale;
        sprite.DrawCentered(TruncateToInt(static_cast<double>(p.x + offsetX)),
                            TruncateToInt(static_cast<double>(p.y + offsetY)), p.spin * p.age + p.angle, size, size,
                            area);
    }
    sprite.color = saved;
}

// ---- record and attributes ----

void CRenderObject_Particle::TransferRecord(CIArchive& ar)
{
    ar.String(psiFile, "psiFile");
    emitter.info.Transfer(ar);
    sprite.Transfer(ar);
    TransferSwitch(ar, IsLoaded, "IsLoaded");
    TransferSwitch(ar, IsMoveParticle, "IsMoveParticle");
    TransferSwitch(ar, IsUpdateAllway, "IsUpdateAllway");
    if (ar.IsLoading())
        spriteAttached = false;  // the file is read again at the next draw
}

void CRenderObject_Particle::Describe(CIEditHook& hook)
{
    using namespace sprite_edit;
    hook.BeginGroup(this, kClassName, kCommands, kCommandsHint, nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    sprite.Describe(hook);
    hook.String(&psiFile, "psiFile", kFile, kPsiFilter, &OnPsiFileChanged, this, 0);
    hook.BoolAsInt32(&IsLoaded, "IsLoaded", kChoice, kBoolHint, nullptr, nullptr, 0);
    hook.BoolAsInt32(&IsMoveParticle, "IsMoveParticle", kChoice, kBoolHint, nullptr, nullptr, 0);
    hook.BoolAsInt32(&IsUpdateAllway, "IsUpdateAllway", kChoice, kBoolHint, nullptr, nullptr, 0);
    emitter.info.Describe(hook);
    hook.Float(&emitter.fInitAngleDelta, kFloatFormat, "fInitAngleDelta", kRange, kAngleRange, nullptr, nullptr, 0);
    hook.Float(&emitter.fUpdSpeed, kFloatFormat, "fUpdSpeed", kRange, kStepRange, nullptr, nullptr, 0);
    hook.LeaveGroup();
}

bool CRenderObject_Particle::ExecuteCommand(const char* groupPath, const char* command)
{
    const char* inside = groupPath && std::strcmp(groupPath, kClassName) == 0 ? ""
                                                                              : ComponentGroupPath(groupPath, kClassName);
    if (!inside || !command)
        return false;
    if (IsSpriteRectPath(inside))
        return sprite.ExecuteRectCommand(command);
    if (*inside != '\0')
        return false;
    if (std::strcmp(command, kLoadPsi) == 0) {
        IsLoaded = 0;
        return true;
    }
    if (std::strcmp(command, kSavePsi) == 0) {
        SavePsi();
        return true;
    }
    if (std::strcmp(command, kTimer) == 0) {
        StopTimer();
        StartTimer();
        return true;
    }
    return false;
}
