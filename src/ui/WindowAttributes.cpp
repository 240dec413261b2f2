// The window's attributes by name (the attribute table shared by all windows) and the editor's
// commands on windows, their layout, render objects and states.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "io/EditHook.h"
#include "render/Render.h"
#include "render/RenderRegistry.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

constexpr const char* kWindowGroup = "CKVQWindow";
constexpr const char* kWindowActions = "Copy|Paste|OutputAttribute|";
constexpr const char* kLayoutActions = "Copy|Paste|";
constexpr const char* kRenderActions =
    "DeleteRender|LayerUp|LayerDown|LayerTop|LayerBottom|Copy|ReplaceByPaste|OutputAttribute|";
constexpr const char* kStateRenderActions = "Delete|LayerUp|LayerDown|LayerTop|LayerBottom|";
constexpr const char* kStatesActions = "AddState|";
constexpr const char* kStateActions = "DeleteState|";
constexpr const char* kBoolHint = "false|true|";
constexpr const char* kStateHint = "State0|State1|State2|State3|State4|State5|State6|State7|State8|";
constexpr const char* kLayerHint = "0|1|2|3|4|5|6|7|8|9|10|";
constexpr const char* kHotAlignHint = "ALIGN_TOPLEFT|ALIGN_TOPCENTER|ALIGN_CENTER|ALIGN_BOTTOMCENTER|";
constexpr const char* kByteHint = "0:255";
constexpr const char* kScaleHint = "0:1000:100";
constexpr const char* kScaleFormat = "%f";
constexpr const char* kStateNameFormat = "State%d";

// The status bits the editor shows, in its order.
struct StatusAttribute {
    const char* name;
    int32_t bit;
};
constexpr StatusAttribute kStatusAttributes[] = {
    {"IsVisible", STATUS_IsVisible},
    {"IsDisable", STATUS_IsDisable},
    {"IsActive", STATUS_IsActive},
    {"IsSelected", STATUS_IsSelected},
    {"IsFrameWindow", STATUS_IsFrameWindow},
    {"IsExternWindow", STATUS_IsExternWindow},
    {"IsClipChildren", STATUS_IsClipChildren},
    {"IsClipSelf", STATUS_IsClipSelf},
    {"IsHideChildren", STATUS_IsHideChildren},
    {"IsCanFocus", STATUS_IsCanFocus},
    {"IsCanBeSelected", STATUS_IsCanBeSelected},
    {"IsLocked", STATUS_IsLocked},
    {"IsLockPos", STATUS_IsLockPos},
    {"IsDisableChildren", STATUS_IsDisableChildren},
    {"IsNotDirty", STATUS_IsNotDirty},
    {"IsParentRender", STATUS_IsParentRender},
    {"IsCharCache", STATUS_IsCharCache},
    {"IsNotSerialChild", STATUS_IsNotSerialChild},
    {"IsOpenIME", STATUS_IsOpenIME},
    {"IsSysControl", STATUS_IsSysControl},
};
constexpr int32_t kUserBitEnd = 31;

// The editor's event triggers: bits of the process-wide trigger word.
constexpr const char* kBitTriggers[] = {"OnDeleteSelf", "OnShow", "OnHide", "OnEnable", "OnDisable"};
constexpr const char* kValueTriggers[] = {"OnSetWidth", "OnSetHeight", "OnSetPos", "OnSetHotPos"};

// Runs the editor's event trigger named by the entry on the window that set it.
void RunEventTrigger(void* object, const char* fullName, int32_t bit)
{
    (void)bit;
    auto* window = static_cast<CKVQWindow*>(object);
    if (!window || !fullName || window->IsDeleted())
        return;
    const char* colon = std::strrchr(fullName, ':');
    const std::string trigger = colon ? colon + 1 : fullName;
    const WindowModule& module = WindowModule::Get();
    const KVQPoint params{module.nParam1, module.nParam2};
    if (trigger == "OnDeleteSelf") {
        if (CKVQWindow* parent = window->GetParent())
            parent->DeleteChild(window);
        else
            window->Delete();
    } else if (trigger == "OnShow") {
        window->Show();
    } else if (trigger == "OnHide") {
        window->Hide();
    } else if (trigger == "OnEnable") {
        window->Enable();
    } else if (trigger == "OnDisable") {
        window->Disable();
    } else if (trigger == "OnSetWidth") {
        window->SetWidth(static_cast<int32_t>(module.eventTrigger));
    } else if (trigger == "OnSetHeight") {
        window->SetHeight(static_cast<int32_t>(module.eventTrigger));
    } else if (trigger == "OnSetPos") {
        window->SetPos(params);
    } else if (trigger == "OnSetHotPos") {
        window->SetHotPos(params);
    }
}

CKVQEditHook& BoundTable(CKVQWindow& window)
{
    CKVQEditHook& table = CKVQWindow::AttributeTable();
    table.SetObject(&window, sizeof(CKVQWindow));
    if (table.IsEmpty())
        window.Describe(table);
    return table;
}

// The part of a group path after its last ":" ("CKVQWindow:SIZE:WndLayout" -> "WndLayout").
std::string LastSegment(const char* group)
{
    if (!group)
        return std::string();
    const char* colon = std::strrchr(group, ':');
    return colon ? colon + 1 : group;
}

void DescribeRenderList(CIEditHook& hook, std::vector<IRender*>& list, const char* objectActions)
{
    for (IRender* object : list) {
        if (!object)
            continue;
        hook.BeginGroup(object, object->GetClassName(), ATTR_GROUP, objectActions, nullptr, nullptr, 0, false);
        hook.EnterGroup();
        object->Describe(hook);
        hook.LeaveGroup();
    }
}

// Removes an object from the window through DelRender, which defers the destruction while a
// dispatch may still be running the object's handler.
void DisposeFromWindow(CKVQWindow& window, IRender* object)
{
    window.RenderLst().push_back(object);
    window.DelRender(object);
}

// Reorders a render list the way the editor's layer commands do. False when the object is not
// in the list or is already at that end.
bool MoveRender(std::vector<IRender*>& list, IRender* object, const std::string& command)
{
    auto at = std::find(list.begin(), list.end(), object);
    if (at == list.end())
        return false;
    if (command == "LayerUp") {
        if (at + 1 == list.end())
            return false;
        std::iter_swap(at, at + 1);
    } else if (command == "LayerDown") {
        if (at == list.begin())
            return false;
        std::iter_swap(at, at - 1);
    } else if (command == "LayerTop") {
        std::rotate(at, at + 1, list.end());
    } else if (command == "LayerBottom") {
        std::rotate(list.begin(), at, at + 1);
    } else {
        return false;
    }
    return true;
}

// The render-object clipboard holds the class name, then the object's record as a block.
void CopyRender(IRender& object)
{
    CKVQMessage& clipboard = WindowModule::Get().renderClipboard;
    clipboard.Buffer().Reset();
    clipboard.setMode(CIArchive::SM_WRITE);
    CKVQString className = object.GetClassName();
    clipboard.String(className);
    CKVQMessage record(IRender::kRecordCapacity);
    object.Serialize(record);
    record.WriteBlock(clipboard);
}

IRender* PasteRender()
{
    CKVQMessage& clipboard = WindowModule::Get().renderClipboard;
    if (clipboard.GetSize() == 0)
        return nullptr;
    clipboard.setMode(CIArchive::SM_READ);
    CKVQString className;
    clipboard.String(className);
    CKVQMessage record(IRender::kRecordCapacity);
    if (!record.ReadBlock(clipboard))
        return nullptr;
    IRender* object = CRenderRegistry::Instance().Create(className.c_str());
    if (object)
        object->Serialize(record);
    return object;
}

}  // namespace

CKVQEditHook& CKVQWindow::AttributeTable()
{
    static CKVQEditHook table;
    return table;
}

void CKVQWindow::Describe(CIEditHook& hook)
{
    // Inside a member so that the cascades are reachable: the bit is already written when this
    // runs, so the cascade that matches the window's visibility now is the one that runs.
    AttributeCallback onVisibleWritten = [](void* object, const char*, int32_t) {
        auto* window = static_cast<CKVQWindow*>(object);
        if (!window || window->IsDeleted())
            return;
        if (window->IsVisible())
            window->ShowCascade();
        else
            window->HideCascade();
        if (!window->IsDeleted())
            window->Invalidate();
    };

    hook.BeginGroup(this, kWindowGroup, ATTR_GROUP, kWindowActions, nullptr, nullptr, 0, false);
    hook.EnterGroup();

    hook.BeginGroup(this, "Attribute", ATTR_GROUP, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.String(&name, "name", ATTR_STRING, "", nullptr, nullptr, 0);
    hook.String(&className, "className", ATTR_STRING, "", nullptr, nullptr, 0);
    hook.Int8(&curState, "curState", ATTR_INT8, kStateHint, nullptr, nullptr, 0);
    hook.Int8(reinterpret_cast<int8_t*>(&oldState), "oldState", ATTR_INT8, "", nullptr, nullptr, 0);
    hook.UInt32(&addData, "addData", ATTR_UINT32, "", nullptr, nullptr, 0);
    hook.Int32(&nLayer, "nLayer", ATTR_INT32, kLayerHint, nullptr, nullptr, 0);
    hook.Int32(&nMaxLayer, "nMaxLayer", ATTR_INT32, kLayerHint, nullptr, nullptr, 0);
    hook.LeaveGroup();

    hook.BeginGroup(&Status, "Status", ATTR_GROUP, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    for (const StatusAttribute& s : kStatusAttributes) {
        AttributeCallback cb = s.bit == STATUS_IsVisible ? onVisibleWritten : nullptr;
        hook.Bit(&Status, s.bit, s.name, ATTR_BIT, kBoolHint, cb, cb ? this : nullptr, 0);
    }
    for (int32_t bit = STATUS_UserBitStart; bit <= kUserBitEnd; ++bit) {
        char bitName[16];
        std::snprintf(bitName, sizeof bitName, "StatusBit%d", bit);
        hook.Bit(&Status, bit, bitName, ATTR_BIT, kBoolHint, nullptr, nullptr, 0);
    }
    hook.LeaveGroup();

    // ClipOffset is held left, right, top, bottom and shown left, top, right, bottom.
    hook.BeginGroup(ClipOffset, "ClipOffset", ATTR_GROUP, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.UInt16(&ClipOffset[0], "left", ATTR_UINT16, "", nullptr, nullptr, 0);
    hook.UInt16(&ClipOffset[2], "top", ATTR_UINT16, "", nullptr, nullptr, 0);
    hook.UInt16(&ClipOffset[1], "right", ATTR_UINT16, "", nullptr, nullptr, 0);
    hook.UInt16(&ClipOffset[3], "bottom", ATTR_UINT16, "", nullptr, nullptr, 0);
    hook.LeaveGroup();

    hook.BeginGroup(&HotOffset, "Hot", ATTR_GROUP, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.Int32(&nHotAlign, "nHotAlign", ATTR_INT32, kHotAlignHint, nullptr, nullptr, 0);
    hook.Int32(&HotOffset.x, "HotOffsetX", ATTR_INT32, "", nullptr, nullptr, 0);
    hook.Int32(&HotOffset.y, "HotOffsetY", ATTR_INT32, "", nullptr, nullptr, 0);
    hook.LeaveGroup();

    hook.BeginGroup(&nExtX, "SIZE", ATTR_GROUP, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.Int32(&nExtX, "nExtX", ATTR_INT32, "", nullptr, nullptr, 0);
    hook.Int32(&nExtY, "nExtY", ATTR_INT32, "", nullptr, nullptr, 0);
    hook.Int32(&nExtW, "nExtW", ATTR_INT32, "", nullptr, nullptr, 0);
    hook.Int32(&nExtH, "nExtH", ATTR_INT32, "", nullptr, nullptr, 0);
    hook.BeginGroup(&Layout, "WndLayout", ATTR_GROUP, kLayoutActions, nullptr, nullptr, 0, false);
    hook.EnterGroup();
    IRender::DescribeLayout(hook, Layout);
    hook.LeaveGroup();
    hook.LeaveGroup();

    // The render objects and states serve an external editor only: collapsed, they never enter
    // the runtime table, which therefore stays the same for every window.
    const std::string& classes = CRenderRegistry::Instance().GetClassListText();
    const std::string renderListActions = classes + "Paste|";
    hook.BeginGroup(&renderLst_, "RenderLst", ATTR_GROUP, renderListActions.c_str(), nullptr, nullptr, 0, true);
    hook.EnterGroup();
    DescribeRenderList(hook, renderLst_, kRenderActions);
    hook.LeaveGroup();

    hook.BeginGroup(&states_, "States", ATTR_GROUP, kStatesActions, nullptr, nullptr, 0, true);
    hook.EnterGroup();
    for (WindowState& state : states_) {
        hook.BeginGroup(&state, state.name.c_str(), ATTR_GROUP, kStateActions, nullptr, nullptr, 0, false);
        hook.EnterGroup();
        hook.String(&state.name, "name", ATTR_STRING, "", nullptr, nullptr, 0);
        hook.BeginGroup(&state.renders, "RenderLst", ATTR_GROUP, classes.c_str(), nullptr, nullptr, 0, false);
        hook.EnterGroup();
        DescribeRenderList(hook, state.renders, kStateRenderActions);
        hook.LeaveGroup();
        hook.LeaveGroup();
    }
    hook.LeaveGroup();

    // The triggers live in the window module: one word and two parameters for every window. The
    // callback object is this window, so a trigger acts on the window it was set on.
    WindowModule& module = WindowModule::Get();
    hook.BeginGroup(&module.eventTrigger, "Event", ATTR_GROUP, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    for (int32_t bit = 0; bit < static_cast<int32_t>(std::size(kBitTriggers)); ++bit)
        hook.Bit(&module.eventTrigger, bit, kBitTriggers[bit], ATTR_BIT, kBoolHint, RunEventTrigger, this, 0);
    for (const char* trigger : kValueTriggers)
        hook.UInt32(&module.eventTrigger, trigger, ATTR_UINT32, "", RunEventTrigger, this, 0);
    hook.Int32(&module.nParam1, "nParam1", ATTR_INT32, "", nullptr, nullptr, 0);
    hook.Int32(&module.nParam2, "nParam2", ATTR_INT32, "", nullptr, nullptr, 0);
    hook.LeaveGroup();

    hook.BeginGroup(&Mask, "Mask", ATTR_GROUP, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.UInt8(&Mask.red, "red", ATTR_UINT8, kByteHint, nullptr, nullptr, 0);
    hook.UInt8(&Mask.green, "green", ATTR_UINT8, kByteHint, nullptr, nullptr, 0);
    hook.UInt8(&Mask.blue, "blue", ATTR_UINT8, kByteHint, nullptr, nullptr, 0);
    hook.UInt8(&Mask.alpha, "alpha", ATTR_UINT8, kByteHint, nullptr, nullptr, 0);
    hook.LeaveGroup();

    hook.BeginGroup(&fScaleX, "Scale", ATTR_GROUP, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.Float(&fScaleX, kScaleFormat, "fScaleX", ATTR_FLOAT, kScaleHint, nullptr, nullptr, 0);
    hook.Float(&fScaleY, kScaleFormat, "fScaleY", ATTR_FLOAT, kScaleHint, nullptr, nullptr, 0);
    hook.LeaveGroup();

    hook.LeaveGroup();
}

int32_t CKVQWindow::GetAttributeNameRef(const char* text)
{
    if (!text)
        return -1;
    return BoundTable(*this).GetAttributeNameRef(text);
}

std::string CKVQWindow::GetAttribute(int32_t index)
{
    return BoundTable(*this).GetAttribute(index);
}

bool CKVQWindow::SetAttribute(int32_t index, const char* text)
{
    if (!text)
        return false;
    const bool stored = BoundTable(*this).SetAttribute(index, text);
    // A trigger may have deleted the window.
    if (!IsDeleted())
        Invalidate();
    return stored;
}

uintptr_t CKVQWindow::GetAddress(int32_t index)
{
    return BoundTable(*this).GetAddress(index);
}

bool CKVQWindow::ExecuteCommand(const char* group, const char* command, IRender* object, int32_t state)
{
    // The object's own groups (a component's entries, say) come first; what it declines is one
    // of the window's commands for the object.
    auto OfferToObject = [this](IRender& target, const char* path, const char* text) {
        if (!target.ExecuteCommand(path, text))
            return false;
        if (!IsDeleted())
            Invalidate();
        return true;
    };
    if (!command || IsDeleted())
        return false;
    const std::string cmd = command;
    const std::string where = LastSegment(group);
    WindowModule& module = WindowModule::Get();
    CRenderRegistry& registry = CRenderRegistry::Instance();
    const bool validState = state >= 0 && state < static_cast<int32_t>(states_.size());

    // ---- one render object of a state ----
    if (object && state >= 0) {
        if (!validState)
            return false;
        std::vector<IRender*>& list = states_[static_cast<size_t>(state)].renders;
        auto at = std::find(list.begin(), list.end(), object);
        if (at == list.end())
            return false;
        if (OfferToObject(*object, group, command))
            return true;
        if (cmd == "Delete") {
            list.erase(at);
            DisposeFromWindow(*this, object);
            return true;
        }
        if (cmd == "OutputAttribute")
            return object->BoundTable().OutputAttributes();
        if (!MoveRender(list, object, cmd))
            return false;
        Invalidate();
        return true;
    }

    // ---- one render object of the window's own list ----
    if (object) {
        auto at = std::find(renderLst_.begin(), renderLst_.end(), object);
        if (at == renderLst_.end())
            return false;
        if (OfferToObject(*object, group, command))
            return true;
        if (cmd == "DeleteRender") {
            DelRender(object);
            return true;
        }
        if (cmd == "Copy") {
            CopyRender(*object);
            return true;
        }
        if (cmd == "Paste") {
            IRender* copy = PasteRender();
            if (!copy)
                return false;
            AddRender(copy);
            Invalidate();
            return true;
        }
        if (cmd == "ReplaceByPaste") {
            IRender* copy = PasteRender();
            if (!copy)
                return false;
            copy->SetOwner(this);
            copy->SetAttached(true);
            *at = copy;
            DisposeFromWindow(*this, object);
            Invalidate();
            return true;
        }
        if (cmd == "OutputAttribute")
            return object->BoundTable().OutputAttributes();
        if (cmd == "LayerUp") {
            RenderLayerUp(object);
            return true;
        }
        if (cmd == "LayerDown") {
            RenderLayerDown(object);
            return true;
        }
        if (!MoveRender(renderLst_, object, cmd))
            return false;
        Invalidate();
        return true;
    }

    // ---- the layout alone ----
    if (where == "WndLayout") {
        CKVQMessage& clipboard = module.layoutClipboard;
        if (cmd == "Copy") {
            clipboard.Buffer().Reset();
            clipboard.setMode(CIArchive::SM_WRITE);
            IRender::TransferLayout(clipboard, Layout);
            return true;
        }
        if (cmd == "Paste") {
            if (clipboard.GetSize() < kLayoutRectStreamedSize)
                return false;
            clipboard.setMode(CIArchive::SM_READ);
            LayoutRect pasted;
            IRender::TransferLayout(clipboard, pasted);
            if (clipboard.GetError() != 0)
                return false;
            Layout = pasted;
            SetDirty();
            InvalidateCharCache();
            Invalidate();
            return true;
        }
        return false;
    }

    // ---- states ----
    if (cmd == "AddState") {
        char stateName[32];
        std::snprintf(stateName, sizeof stateName, kStateNameFormat, static_cast<int>(states_.size()));
        WindowState added;
        added.name = stateName;
        states_.push_back(std::move(added));
        return true;
    }
    if (cmd == "DeleteState") {
        if (!validState)
            return false;
        std::vector<IRender*> renders;
        renders.swap(states_[static_cast<size_t>(state)].renders);
        states_.erase(states_.begin() + state);
        for (IRender* doomed : renders)
            DisposeFromWindow(*this, doomed);
        Invalidate();
        return true;
    }

    // ---- adding to a render list: a class name, or the render-object clipboard ----
    const bool addsClass = registry.IsRegistered(command);
    if (addsClass || (cmd == "Paste" && where == "RenderLst")) {
        if (state >= 0 && !validState)
            return false;
        IRender* added = addsClass ? registry.Create(command) : PasteRender();
        if (!added)
            return false;
        if (state >= 0) {
            states_[static_cast<size_t>(state)].renders.push_back(added);
            added->SetAttached(true);
        } else {
            AddRender(added);
        }
        Invalidate();
        return true;
    }

    // ---- the whole window ----
    if (cmd == "OutputAttribute")
        return BoundTable(*this).OutputAttributes();
    if (cmd == "Copy") {
        CKVQMessage& clipboard = module.windowClipboard;
        clipboard.Buffer().Reset();
        clipboard.setMode(CIArchive::SM_WRITE);
        WriteBlock(clipboard);
        return true;
    }
    if (cmd == "Paste") {
        CKVQMessage& clipboard = module.windowClipboard;
        if (clipboard.GetSize() == 0)
            return false;
        clipboard.setMode(CIArchive::SM_READ);
        CKVQWindow* source = ReadBlock(clipboard);
        if (!source)
            return false;
        // The window keeps its place in the tree, its handle, number, bookings and extra data;
        // everything the clipboard holds is replaced.
        const KVQPoint position = GetPos();
        ClearChilds();
        std::vector<IRender*> oldRenders;
        oldRenders.swap(renderLst_);
        for (IRender* doomed : oldRenders) {
            if (doomed)
                DisposeFromWindow(*this, doomed);
        }
        std::vector<WindowState> oldStates;
        oldStates.swap(states_);
        for (WindowState& old : oldStates) {
            for (IRender* doomed : old.renders)
                DisposeFromWindow(*this, doomed);
        }

        name = source->name;
        className = source->className;
        Status = source->Status;
        version = source->version;
        curState = source->curState;
        oldState = source->oldState;
        std::copy(std::begin(source->ClipOffset), std::end(source->ClipOffset), std::begin(ClipOffset));
        addData = source->addData;
        Layout = source->Layout;
        nExtX = source->nExtX;
        nExtY = source->nExtY;
        nExtW = source->nExtW;
        nExtH = source->nExtH;
        nHotAlign = source->nHotAlign;
        HotOffset = source->HotOffset;
        nLayer = source->nLayer;
        nMaxLayer = source->nMaxLayer;

        renderLst_.swap(source->renderLst_);
        for (IRender* taken : renderLst_) {
            if (taken)
                taken->SetOwner(this);
        }
        states_.swap(source->states_);
        while (CKVQWindow* child = source->GetFirstChild()) {
            child->Unlink();
            AppendChild(child);
            if (child->GetParent() != this)
                child->Delete();  // nested too deep under this window
        }
        source->Delete();

        SetDirty();
        SetPos(position);
        InvalidateCharCache();
        Invalidate();
        return true;
    }
    return false;
}
