#include "render/RenderRegistry.h"


#include "render/controls/EditBox.h"
#include "render/controls/HorzScrollBar.h"
#include "render/controls/ProgressControl.h"
#include "render/controls/VertScrollBar.h"
#include "render/controls/Animate.h"
#include "render/logic/BridgeMessage.h"
#include "render/Line.h"
#include "render/particles/Particle.h"
#include "render/logic/LuaLogic.h"
#include "render/logic/MiniLogic.h"
#include "render/pictures/Frame.h"
#include "render/pictures/FrameHorz.h"
#include "render/pictures/FrameVert.h"
#include "render/pictures/Picture.h"
#include "render/pictures/PictureMix.h"
#include "render/pictures/PictureFrame.h"
#include "render/Rectangle.h"
#include "render/pictures/SpriteList.h"
#include "render/logic/TimerLogic.h"
#include "render/logic/XMLLuaLogic.h"
#include "render/behaviour/ArrayKVQWindowLogic.h"
#include "render/behaviour/DraggingLogic.h"
#include "render/behaviour/ExtraDataSet.h"
#include "render/behaviour/MoveLogic.h"
#include "render/behaviour/SelectKVQWindowLogic.h"
#include "render/behaviour/Sound.h"
#include "render/behaviour/TopmostLogic.h"

CRenderRegistry& CRenderRegistry::Instance()
{
    static CRenderRegistry registry;
    return registry;
}

void CRenderRegistry::Register(const char* name, RenderFactory factory)
{
    if (!name || !*name || !factory)
        return;
    entries_.push_back(Entry{name, factory});
    listText_ += name;
    listText_ += '|';
}

IRender* CRenderRegistry::Create(const char* name) const
{
    if (!name)
        return nullptr;
    for (const Entry& e : entries_) {
        if (e.name == name)
            return e.factory();
    }
    return nullptr;
}

bool CRenderRegistry::IsRegistered(const char* name) const
{
    if (!name)
        return false;
    for (const Entry& e : entries_) {
        if (e.name == name)
            return true;
    }
    return false;
}

std::vector<std::string> CRenderRegistry::GetClassNames() const
{
    std::vector<std::string> names;
    names.reserve(entries_.size());
    for (const Entry& e : entries_)
        names.push_back(e.name);
    return names;
}

void RegisterRenderClasses()
{
    // The engine's start-up order; the editor's class list follows it. Classes this build does
    // not have yet keep their place in the order when they are added here.
    struct Class {
        const char* name;
        RenderFactory create;
    };
    static const Class kClasses[] = {
        {CRenderObject_Rectangle::kClassName, &CRenderObject_Rectangle::Create},
        {CRenderObject_Line::kClassName, &CRenderObject_Line::Create},
        {CRenderObject_EditBox::kClassName, &CRenderObject_EditBox::Create},
        {CRenderObject_VertScrollBar::kClassName, &CRenderObject_VertScrollBar::Create},
        {CRenderObject_HorzScrollBar::kClassName, &CRenderObject_HorzScrollBar::Create},
        {CRenderObject_Pitcture::kClassName, &CRenderObject_Pitcture::Create},
        {CRenderObject_PitctureMix::kClassName, &CRenderObject_PitctureMix::Create},
        {CRenderObject_PictureFrame::kClassName, &CRenderObject_PictureFrame::Create},
        {CRenderObject_SpriteList::kClassName, &CRenderObject_SpriteList::Create},
        {CRenderObject_Animate::kClassName, &CRenderObject_Animate::Create},
        {CRenderObject_Particle::kClassName, &CRenderObject_Particle::Create},
        {CRenderObject_BridgeMessage::kClassName, &CRenderObject_BridgeMessage::Create},
        {CRenderObject_MiniLogic::kClassName, &CRenderObject_MiniLogic::Create},
        {CRenderObject_ExtraDataSet::kClassName, &CRenderObject_ExtraDataSet::Create},
        {CRenderObject_Sound::kClassName, &CRenderObject_Sound::Create},
        {CRenderObject_ArrayKVQWindowLogic::kClassName, &CRenderObject_ArrayKVQWindowLogic::Create},
        {CRenderObject_SelectKVQWindowLogic::kClassName, &CRenderObject_SelectKVQWindowLogic::Create},
        {CRenderObject_TimerLogic::kClassName, &CRenderObject_TimerLogic::Create},
        {CRenderObject_ProgressControl::kClassName, &CRenderObject_ProgressControl::Create},
        {CRenderObject_TopmostLogic::kClassName, &CRenderObject_TopmostLogic::Create},
        {CRenderObject_LuaLogic::kClassName, &CRenderObject_LuaLogic::Create},
        {CRenderObject_XMLLuaLogic::kClassName, &CRenderObject_XMLLuaLogic::Create},
        {CRenderObject_MoveLogic::kClassName, &CRenderObject_MoveLogic::Create},
        {CRenderObject_DraggingLogic::kClassName, &CRenderObject_DraggingLogic::Create},
        {CRenderObject_Frame::kClassName, &CRenderObject_Frame::Create},
        {CRenderObject_FrameHorz::kClassName, &CRenderObject_FrameHorz::Create},
        {CRenderObject_FrameVert::kClassName, &CRenderObject_FrameVert::Create},
    };
    CRenderRegistry& registry = CRenderRegistry::Instance();
    for (const Class& c : kClasses) {
        if (!registry.IsRegistered(c.name))
            registry.Register(c.name, c.create);
    }
}
