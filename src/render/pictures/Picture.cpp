#include "render/pictures/Picture.h"

#include <cstring>

#include "gfx/DC.h"
#include "io/Archive.h"
#include "io/EditHook.h"
#include "render/logic/LuaLogic.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

constexpr const char* kOnZoom = "OnZoom";
constexpr const char* kRectGroup = "Rect";

void OnZoomHandler(IRender* self, const char*, CKVQWindow*, CKVQMessage* message, CKVQWindow*)
{
    if (!message)
        return;
    float zoom = 0.0f;
    if (message->Float(zoom) < 0)
        return;  // a message without the factor changes nothing
    static_cast<CRenderObject_Pitcture*>(self)->Zoom(zoom);
}

}  // namespace

// ---- clip settings ----

void PictureClip::Transfer(CIArchive& ar)
{
    TransferSwitch(ar, IsClip, "IsClip");
    ar.Int32(Clip.left, "Clip.left");
    ar.Int32(Clip.right, "Clip.right");
    ar.Int32(Clip.top, "Clip.top");
    ar.Int32(Clip.bottom, "Clip.bottom");
    TransferSwitch(ar, IsClipByParent, "IsClipByParent");
}

void PictureClip::Describe(CIEditHook& hook)
{
    using namespace sprite_edit;
    hook.BoolAsInt32(&IsClip, "IsClip", kChoice, kBoolHint, nullptr, nullptr, 0);
    hook.BoolAsInt32(&IsClipByParent, "IsClipByParent", kChoice, kBoolHint, nullptr, nullptr, 0);
    hook.BeginGroup(&Clip, "Clip", kPlain, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.Int32(&Clip.left, "left", kText, "", nullptr, nullptr, 0);
    hook.Int32(&Clip.top, "top", kText, "", nullptr, nullptr, 0);
    hook.Int32(&Clip.right, "right", kText, "", nullptr, nullptr, 0);
    hook.Int32(&Clip.bottom, "bottom", kText, "", nullptr, nullptr, 0);
    hook.LeaveGroup();
}

bool PictureClip::Push(const KVQRect& drawRect, CKVQWindow* owner) const
{
    CKVQDC* dc = GetCurrentDevice();
    if (!dc || !IsClip)
        return false;
    KVQRect r = drawRect;
    if (IsClipByParent) {
        CKVQWindow* parent = owner ? owner->GetParent() : nullptr;
        if (!parent)
            return false;
        r = parent->GetRect();
    }
    r.left = wrap32::Add(r.left, Clip.left);
    r.top = wrap32::Add(r.top, Clip.top);
    r.right = wrap32::Sub(r.right, Clip.right);
    r.bottom = wrap32::Sub(r.bottom, Clip.bottom);
    dc->PushClip(r, 0);
    return true;
}

bool IsSpriteRectPath(const char* groupPath)
{
    if (!groupPath)
        return false;
    const char* last = std::strrchr(groupPath, ':');
    return std::strcmp(last ? last + 1 : groupPath, kRectGroup) == 0;
}

// ---- picture ----

CRenderObject_Pitcture::CRenderObject_Pitcture()
{
    RegisterHandler(kOnZoom, &OnZoomHandler);
}

CKVQEditHook& CRenderObject_Pitcture::AttributeTable() const
{
    static CKVQEditHook table;
    return table;
}

void CRenderObject_Pitcture::TransferRecord(CIArchive& ar)
{
    sprite.Transfer(ar);
    clip.Transfer(ar);
}

void CRenderObject_Pitcture::Describe(CIEditHook& hook)
{
    hook.BeginGroup(this, kClassName, sprite_edit::kCommands, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    sprite.Describe(hook);
    clip.Describe(hook);
    hook.LeaveGroup();
}

void CRenderObject_Pitcture::Draw(const KVQRect& windowRect)
{
    CKVQDC* dc = GetCurrentDevice();
    if (!dc)
        return;
    const bool clipped = clip.Push(windowRect, GetOwner());
    sprite.Draw(ResolveRect(windowRect));
    if (clipped)
        dc->PopClip();
}

bool CRenderObject_Pitcture::ExecuteCommand(const char* groupPath, const char* command)
{
    const char* inside = ComponentGroupPath(groupPath, kClassName);
    if (!inside || !IsSpriteRectPath(inside))
        return false;
    return sprite.ExecuteRectCommand(command);
}

void CRenderObject_Pitcture::Zoom(float zoom)
{
    sprite.fScaleX *= zoom;
    sprite.fScaleY *= zoom;
}
