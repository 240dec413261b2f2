#include "render/Render.h"

#include <cstdio>
#include <string>

#include "common/ScriptObjects.h"
#include "io/Archive.h"
#include "io/EditHook.h"
#include "render/RenderDisposal.h"
#include "render/RenderRegistry.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

constexpr const char* kBoolHint = "false|true|";
constexpr const char* kBlendHint = "Replace|Blend|RGB|Alpha|Transparent|And|Not|XOR|XORDEST|ADDITIVE|";
constexpr const char* kLayerHint = "FirstLayer|LastLayer|";
constexpr const char* kByteHint = "0:255";
constexpr const char* kHorizontalAnchorHint = "ALIGNED_LEFT|ALIGNED_RIGHT|ALIGNED_HCENTER|";
constexpr const char* kVerticalAnchorHint = "ALIGNED_TOP|ALIGNED_BOTTOM|ALIGNED_VCENTER|";
constexpr const char* kOffsetHint = "-1024:1024";

// Field names of a nested record in the text form: "Prefix.field", or the field alone.
class FieldNames {
public:
    FieldNames(const CIArchive& ar, const char* prefix) : active_(ar.GetTextForm() != nullptr), prefix_(prefix) {}
    const char* operator()(const char* field)
    {
        if (!active_)
            return nullptr;
        if (!prefix_ || !*prefix_)
            return field;
        std::snprintf(buffer_, sizeof buffer_, "%s.%s", prefix_, field);
        return buffer_;
    }

private:
    bool active_;
    const char* prefix_;
    char buffer_[128] = {};
};

}  // namespace

IRender::IRender() = default;

IRender::~IRender()
{
    handlers_.clear();
    for (IRender* child : children_)
        DestroyRender(child);
    children_.clear();
    KVQForgetPointer(this);
    KVQForgetScriptObject(this, "IRender");
}

void DestroyRender(IRender* object)
{
    delete object;
}

// ---- record ----

void IRender::Serialize(CIArchive& ar)
{
    ar.UiBoolean(IsVisible, "IsVisible");
    ar.Int32(BlendMode, "BlendMode");
    ar.String(Name, "Name");
    TransferLayout(ar, Layout, "LayoutRect");
    ar.Int32(Layer, "Layer");
    TransferRecord(ar);
}

void IRender::TransferColor(CIArchive& ar, RGBA& color, const char* name)
{
    // Render objects stream colours alpha, red, blue, green.
    FieldNames field(ar, name);
    ar.UInt8(color.alpha, field("alpha"));
    ar.UInt8(color.red, field("red"));
    ar.UInt8(color.blue, field("blue"));
    ar.UInt8(color.green, field("green"));
}

void IRender::TransferLayout(CIArchive& ar, LayoutRect& layout, const char* name)
{
    FieldNames field(ar, name);
    ar.UInt8(layout.LeftSide, field("LeftSide"));
    ar.UInt8(layout.TopSide, field("TopSide"));
    ar.UInt8(layout.RightSide, field("RightSide"));
    ar.UInt8(layout.BottomSide, field("BottomSide"));
    ar.Int32(layout.Left, field("Left"));
    ar.Int32(layout.Right, field("Right"));
    ar.Int32(layout.Top, field("Top"));
    ar.Int32(layout.Bottom, field("Bottom"));
}

// ---- description ----

void IRender::DescribeBase(CIEditHook& hook)
{
    hook.BeginGroup(this, "Base", ATTR_GROUP, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    // The action's hint carries the class name: the editor shows which class the object is.
    hook.Action("RenderID", ATTR_ACTION, GetClassName(), nullptr, nullptr, 0);
    hook.String(&Name, "Name", ATTR_STRING, "", nullptr, nullptr, 0);
    hook.BoolAsInt32(&IsVisible, "IsVisible", ATTR_BOOL_INT32, kBoolHint, nullptr, nullptr, 0);
    hook.Int32(&BlendMode, "BlendMode", ATTR_INT32, kBlendHint, nullptr, nullptr, 0);
    hook.Int32(&Layer, "Layer", ATTR_INT32, kLayerHint, nullptr, nullptr, 0);
    hook.LeaveGroup();

    hook.BeginGroup(&Layout, "LayoutRect", ATTR_GROUP, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeLayout(hook, Layout);
    hook.LeaveGroup();
}

void IRender::DescribeLayout(CIEditHook& hook, LayoutRect& layout)
{
    hook.UInt8(&layout.LeftSide, "LeftSide", ATTR_UINT8, kHorizontalAnchorHint, nullptr, nullptr, 0);
    hook.Int32(&layout.Left, "Left", ATTR_INT32, kOffsetHint, nullptr, nullptr, 0);
    hook.UInt8(&layout.TopSide, "TopSide", ATTR_UINT8, kVerticalAnchorHint, nullptr, nullptr, 0);
    hook.Int32(&layout.Top, "Top", ATTR_INT32, kOffsetHint, nullptr, nullptr, 0);
    hook.UInt8(&layout.RightSide, "RightSide", ATTR_UINT8, kHorizontalAnchorHint, nullptr, nullptr, 0);
    hook.Int32(&layout.Right, "Right", ATTR_INT32, kOffsetHint, nullptr, nullptr, 0);
    hook.UInt8(&layout.BottomSide, "BottomSide", ATTR_UINT8, kVerticalAnchorHint, nullptr, nullptr, 0);
    hook.Int32(&layout.Bottom, "Bottom", ATTR_INT32, kOffsetHint, nullptr, nullptr, 0);
}

void IRender::DescribeColor(CIEditHook& hook, RGBA& color, const char* name)
{
    hook.BeginGroup(&color, name, ATTR_GROUP, "", nullptr, nullptr, 0, false);
    hook.EnterGroup();
    hook.UInt8(&color.red, "red", ATTR_UINT8, kByteHint, nullptr, nullptr, 0);
    hook.UInt8(&color.green, "green", ATTR_UINT8, kByteHint, nullptr, nullptr, 0);
    hook.UInt8(&color.blue, "blue", ATTR_UINT8, kByteHint, nullptr, nullptr, 0);
    hook.UInt8(&color.alpha, "alpha", ATTR_UINT8, kByteHint, nullptr, nullptr, 0);
    hook.LeaveGroup();
}

// ---- messages ----

int32_t IRender::ProcMessage(CKVQWindow* owner, const char* name, CKVQMessage* message, CKVQWindow* sender)
{
    owner_ = owner;
    if (!name)
        return 0;
    // A handler may remove this object (or a child) from its list, or delete the owner window:
    // removed objects live on until the outermost dispatch is over, and the owner is checked
    // through its handle, which stops resolving once the window is deleted or released.
    RenderDispatchScope scope;
    const uint32_t ownerHandle = owner ? owner->GetWindowHandle() : 0;
    auto ownerGone = [owner, ownerHandle] { return owner && CKVQWindow::FromHandle(ownerHandle) != owner; };
    int32_t handled = 0;
    if (!handlers_.empty()) {
        auto it = handlers_.find(name);
        if (it != handlers_.end()) {
            if (message)
                message->setMode(CIArchive::SM_READ);
            RenderHandler handler = it->second.first;
            handler(this, name, owner, message, sender);
            handled = 1;
            if (ownerGone())
                return handled;
        }
    }
    // By index: a handler may add or remove child objects while they are offered the message.
    for (size_t i = 0; i < children_.size(); ++i) {
        IRender* child = children_[i];
        if (!child || child->IsVisible == 0)
            continue;
        if (message)
            message->setMode(CIArchive::SM_READ);
        child->SetOwner(owner);
        child->ProcMessage(owner, name, message, sender);
        if (ownerGone())
            break;
    }
    return handled;
}

void IRender::RegisterHandler(const char* name, RenderHandler handler, void* object)
{
    if (!name || !handler)
        return;
    handlers_.emplace(name, std::make_pair(handler, object));  // an existing name keeps its handler
}

void IRender::RemoveHandler(const char* name)
{
    if (name)
        handlers_.erase(name);
}

// ---- cloning and ownership ----

IRender* IRender::Clone() const
{
    CKVQMessage record(kRecordCapacity);
    record.SetVersion(kCurrentRecordVersion);  // a copy carries every field a layout would
    const_cast<IRender*>(this)->Serialize(record);  // store mode reads the fields only
    record.setMode(CIArchive::SM_READ);
    IRender* copy = CRenderRegistry::Instance().Create(GetClassName());
    if (copy)
        copy->Serialize(record);
    return copy;
}

void IRender::SetOwner(CKVQWindow* owner)
{
    owner_ = owner;
    for (IRender* child : children_) {
        if (child)
            child->SetOwner(owner);
    }
}

bool IRender::AddChildObject(IRender* child)
{
    if (!child || child == this || child->IsAttached())
        return false;
    // An object cannot become a child inside its own subtree (it would own itself).
    std::vector<const IRender*> pending{child};
    while (!pending.empty()) {
        const IRender* at = pending.back();
        pending.pop_back();
        for (const IRender* below : at->children_) {
            if (below == this)
                return false;
            if (below)
                pending.push_back(below);
        }
    }
    children_.push_back(child);
    child->SetAttached(true);
    child->SetOwner(owner_);
    return true;
}

// ---- geometry ----

KVQRect IRender::ResolveLayout(const LayoutRect& layout, const KVQRect& reference)
{
    return ResolveAnchors(layout, reference);
}

KVQRect IRender::ResolveRect(const KVQRect& windowRect) const
{
    KVQRect r = ResolveLayout(Layout, windowRect);
    r.Normalize();
    return r;
}

// ---- attributes ----

CKVQEditHook& IRender::BoundTable()
{
    CKVQEditHook& table = AttributeTable();
    // The table's offsets are from the start of the concrete object.
    table.SetObject(dynamic_cast<void*>(this), ObjectSize());
    if (table.IsEmpty())
        Describe(table);
    return table;
}

int32_t IRender::GetAttributeNameRef(const char* name, int32_t index)
{
    if (index != 0)
        return index;
    return BoundTable().GetAttributeNameRef(name);
}

std::string IRender::GetAttribute(int32_t index)
{
    return BoundTable().GetAttribute(index);
}

bool IRender::SetAttribute(int32_t index, const char* text)
{
    if (!text)
        return false;
    bool stored = BoundTable().SetAttribute(index, text);
    if (owner_ && !owner_->IsDeleted())
        owner_->Invalidate();
    return stored;
}

uintptr_t IRender::GetAddress(int32_t index)
{
    return BoundTable().GetAddress(index);
}
