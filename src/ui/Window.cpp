// The window core: the window module (handles, pool, release), lifecycle, the child list and
// layers, message dispatch and bookings, render lists, status and visibility, states, focus and
// capture, and the per-frame cascades. Geometry, drawing, attributes and records live in the
// Window*.cpp files beside this one.

#include "ui/Window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>

#include "io/Archive.h"
#include "render/Render.h"
#include "render/RenderDisposal.h"

namespace {

// Event names and pointer type names, written once.
constexpr const char* kWindowTypeName = "CKVQWindow";
constexpr const char* kOnDelete = "OnDelete";
constexpr const char* kOnWindowDelete = "OnWindowDelete";
constexpr const char* kOnAddChild = "OnAddChild";
constexpr const char* kOnDeleteChild = "OnDeleteChild";
constexpr const char* kOnShow = "OnShow";
constexpr const char* kOnHide = "OnHide";
constexpr const char* kOnEnable = "OnEnable";
constexpr const char* kOnDisable = "OnDisable";
constexpr const char* kOnSelected = "OnSelected";
constexpr const char* kOnCancelSelected = "OnCancelSelected";
constexpr const char* kOnStateExit = "OnStateExit";
constexpr const char* kOnStateEnter = "OnStateEnter";
constexpr const char* kOnFocus = "OnFocus";
constexpr const char* kOnLostFocus = "OnLostFocus";
constexpr const char* kOnCapture = "OnCapture";
constexpr const char* kOnLostCapture = "OnLostCapture";
constexpr const char* kOnLoad = "OnLoad";
constexpr const char* kOnUnload = "OnUnload";
constexpr const char* kOnUpdate = "OnUpdate";

// Child paths and render-object names are looked up in segments of bounded length; a longer
// segment names nothing (cutting it short could find a different window or object).
constexpr size_t kMaxPathSegment = 255;
constexpr size_t kMaxRenderPart = 127;

// Bookings can re-send a message in a circle (two windows booking each other); nesting deeper
// than this drops the message instead of exhausting the stack.
constexpr int kMaxDispatchDepth = 128;

// Window dispatches in progress (render objects removed meanwhile are kept alive by the
// render dispatch scope each one opens).
int windowDispatchDepth = 0;

class WindowDispatchDepth {
public:
    WindowDispatchDepth() { ++windowDispatchDepth; }
    ~WindowDispatchDepth() { --windowDispatchDepth; }
    WindowDispatchDepth(const WindowDispatchDepth&) = delete;
    WindowDispatchDepth& operator=(const WindowDispatchDepth&) = delete;
};

// Windows inside Delete: a handler of "OnDelete" that deletes its window again must not start
// the deletion a second time.
std::vector<const CKVQWindow*> deleting;

bool Contains(const std::vector<IRender*>& list, const IRender* object)
{
    return std::find(list.begin(), list.end(), object) != list.end();
}

bool HoldsRender(const CKVQWindow& window, const IRender* object)
{
    if (Contains(window.RenderLst(), object))
        return true;
    for (const WindowState& state : window.States()) {
        if (Contains(state.renders, object))
            return true;
    }
    return false;
}

// Copies a bounded part of a text; false when it is longer than the bound.
bool BoundedPart(const char* begin, const char* end, size_t limit, std::string& out)
{
    size_t length = static_cast<size_t>(end - begin);
    if (length > limit)
        return false;
    out.assign(begin, length);
    return true;
}

IRender* FindRender(const std::vector<IRender*>& list, const std::string& text)
{
    for (IRender* object : list) {
        if (object != nullptr &&
            (std::strcmp(object->Name.c_str(), text.c_str()) == 0 ||
             std::strcmp(object->GetClassName(), text.c_str()) == 0))
            return object;
    }
    return nullptr;
}

void WritePointer(CKVQMessage& message, CKVQWindow* window)
{
    message.Ptr(kWindowTypeName, window);
}

// The child to visit after `child` in a cascade whose handlers may have changed the list:
// child's successor while it is still in the list, else the successor noted before the visit
// while that one is, else the end.
CKVQWindow* NextChild(const CKVQWindow* parent, const CKVQWindow* child, CKVQWindow* notedNext)
{
    if (child->GetParent() == parent)
        return child->GetNextSibling();
    if (notedNext != nullptr && notedNext->GetParent() == parent)
        return notedNext;
    return nullptr;
}

// How many levels lie below root (0 for a window without children), walked without recursion;
// the walk stops as soon as it finds more than `limit`.
int32_t SubtreeHeight(const CKVQWindow* root, int32_t limit)
{
    int32_t height = 0;
    int32_t depth = 0;
    const CKVQWindow* at = root;
    while (true) {
        if (const CKVQWindow* down = at->GetFirstChild()) {
            at = down;
            height = std::max(height, ++depth);
            if (height > limit)
                return height;
            continue;
        }
        while (at != root && at->GetNextSibling() == nullptr) {
            at = at->GetParent();
            --depth;
        }
        if (at == root)
            return height;
        at = at->GetNextSibling();
    }
}

double HotDistanceSquared(CKVQWindow& a, CKVQWindow& b)
{
    KVQPoint pa = a.GetHotPos();
    KVQPoint pb = b.GetHotPos();
    double dx = static_cast<double>(pa.x) - static_cast<double>(pb.x);
    double dy = static_cast<double>(pa.y) - static_cast<double>(pb.y);
    return dx * dx + dy * dy;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The window module

WindowModule& WindowModule::Get()
{
    // Never destroyed: pooled windows stay reachable, and windows that outlive static
    // destruction (script hosts, singletons) can still reach the module.
    static WindowModule* module = new WindowModule;
    return *module;
}

void WindowModule::RemoveFromHover(uint32_t handle)
{
    if (handle == 0)
        return;
    int32_t count = std::clamp(hoverCount, 0, kHoverMax);
    int32_t kept = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (hover[static_cast<size_t>(i)] != handle)
            hover[static_cast<size_t>(kept++)] = hover[static_cast<size_t>(i)];
    }
    for (int32_t i = kept; i < kHoverMax; ++i)
        hover[static_cast<size_t>(i)] = 0;
    hoverCount = kept;
}

void WindowModule::ReleaseDeleted()
{
    // Releasing cannot delete more windows (their subtrees went with them), but take the list
    // first anyway so that nothing appended meanwhile is lost or walked twice.
    while (!deletedThisFrame.empty()) {
        std::vector<CKVQWindow*> released;
        released.swap(deletedThisFrame);
        for (CKVQWindow* window : released) {
            window->Reset();
            if (window->scriptRef_ != -1 && dropScriptRef)
                dropScriptRef(window);
            window->scriptRef_ = -1;
            // Pointers written into messages ("OnAddChild") must not reach the recycled object.
            KVQForgetPointer(window);
            if (pool.size() < kPoolCap) {
                try {
                    pool.push_back(window);
                    continue;
                } catch (const std::bad_alloc&) {
                }
            }
            delete window;
        }
    }
}

void WindowModule::DrainPool()
{
    std::vector<CKVQWindow*> pooled;
    pooled.swap(pool);
    for (CKVQWindow* window : pooled)
        delete window;
}

// ---------------------------------------------------------------------------------------------
// Lifecycle

CKVQWindow::~CKVQWindow()
{
    for (IRender* object : renderLst_)
        DestroyRender(object);
    for (WindowState& state : states_) {
        for (IRender* object : state.renders)
            DestroyRender(object);
    }
    WindowModule& module = WindowModule::Get();
    if (handle_ != 0 && module.handles.Lookup(handle_) == this)
        module.handles.Remove(handle_);
    KVQForgetPointer(this);
}

void CKVQWindow::RestoreDefaults()
{
    name.Clear();
    className.Clear();
    Status = 1u << STATUS_IsVisible;
    version = 0;
    curState = 0;
    oldState = 255;
    for (uint16_t& inset : ClipOffset)
        inset = 0;
    nExtX = 0;
    nExtY = 0;
    nExtW = 0;
    nExtH = 0;
    Layout = LayoutRect{0, 0, 0, 0, 20, 70, 20, 70};
    addData = 0xFFFFFFFFu;
    nMaxLayer = 0;
    nLayer = 0;
    fScaleX = 1.0f;
    fScaleY = 1.0f;
    HotOffset = KVQPoint{};
    nHotAlign = ALIGN_CENTER;
    Mask = RGBA{255, 255, 255, 255};
    bookings_.reset();
    loaded_ = false;
    deleted_ = false;
    rectCache_ = KVQRect{};
    charCache_.clear();
}

CKVQWindow* CKVQWindow::New()
{
    WindowModule& module = WindowModule::Get();
    CKVQWindow* window = nullptr;
    if (!module.pool.empty()) {
        window = module.pool.back();
        module.pool.pop_back();
        // A pooled window is already reset; this also drops whatever a stale reference may
        // have attached to it since.
        window->Reset();
    } else {
        window = new (std::nothrow) CKVQWindow();
        if (window == nullptr)
            return nullptr;
    }
    window->RestoreDefaults();
    window->handle_ = module.handles.Enter(window);
    if (window->handle_ == 0) {
        // The handle table is full: a window nobody can name is not handed out.
        delete window;
        return nullptr;
    }
    ++module.creationCounter;
    window->id_ = module.creationCounter;
    if (window->scriptRef_ == -1 && module.makeScriptRef)
        window->scriptRef_ = module.makeScriptRef(window);
    return window;
}

CKVQWindow* CKVQWindow::FromHandle(uint32_t handle)
{
    CKVQWindow* window = WindowModule::Get().handles.Lookup(handle);
    if (window == nullptr || window->deleted_)
        return nullptr;
    return window;
}

bool CKVQWindow::IsDeleted() const
{
    // A window leaves the handle table only through Reset (which zeroes its handle) or its
    // destruction, so the flag and the handle say all; no table lookup on this hot path.
    return deleted_ || handle_ == 0;
}

void CKVQWindow::Delete()
{
    if (handle_ == 0 || deleted_)
        return;
    if (std::find(deleting.begin(), deleting.end(), this) != deleting.end())
        return;
    WindowModule& module = WindowModule::Get();
    const uint32_t handle = handle_;
    deleting.push_back(this);

    CKVQMessage message;
    ProcMessage(kOnDelete, &message, this);
    if (module.notify) {
        char text[16];
        std::snprintf(text, sizeof text, "%u", handle);
        module.notify(kOnWindowDelete, text);
    }

    // Children first to last; each removes itself from the list, and a child that does not
    // (already being deleted further up the stack) is taken off so the loop always advances.
    while (CKVQWindow* child = firstChild_) {
        child->Delete();
        if (child->parent_ == this)
            child->Unlink();
    }
    Unlink();
    deleting.erase(std::find(deleting.begin(), deleting.end(), this));

    module.deletedThisFrame.push_back(this);
    deleted_ = true;
    if (module.activeFrame == handle)
        module.activeFrame = 0;
    if (module.capture == handle)
        module.capture = 0;
    if (module.focus == handle)
        module.focus = 0;
    module.RemoveFromHover(handle);
}

void CKVQWindow::Reset()
{
    loaded_ = false;
    while (CKVQWindow* child = firstChild_) {
        child->Delete();
        if (child->parent_ == this)
            child->Unlink();
    }
    bookings_.reset();
    std::vector<IRender*> renders;
    renders.swap(renderLst_);
    for (IRender* object : renders)
        DisposeRender(object);
    std::vector<WindowState> states;
    states.swap(states_);
    for (WindowState& state : states) {
        for (IRender* object : state.renders)
            DisposeRender(object);
    }
    extraData_.clear();
    WindowModule& module = WindowModule::Get();
    if (handle_ != 0 && module.handles.Lookup(handle_) == this)
        module.handles.Remove(handle_);
    handle_ = 0;
    // The tree links stay: a window reset in place (the editor's paste) keeps its place in its
    // parent's list, and a released window has none left.
    RestoreDefaults();
}

// ---------------------------------------------------------------------------------------------
// Tree

CKVQWindow* CKVQWindow::GetRoot()
{
    CKVQWindow* window = this;
    while (window->parent_ != nullptr)
        window = window->parent_;
    return window;
}

int32_t CKVQWindow::GetChildCount() const
{
    int32_t count = 0;
    for (const CKVQWindow* child = firstChild_; child != nullptr; child = child->next_)
        ++count;
    return count;
}

int32_t CKVQWindow::GetChildIndex() const
{
    if (parent_ == nullptr)
        return -1;
    int32_t index = 0;
    for (const CKVQWindow* sibling = prev_; sibling != nullptr; sibling = sibling->prev_)
        ++index;
    return index;
}

CKVQWindow* CKVQWindow::GetChildByIndex(int32_t index) const
{
    if (index < 0)
        return nullptr;
    CKVQWindow* child = firstChild_;
    while (child != nullptr && index-- > 0)
        child = child->next_;
    return child;
}

bool CKVQWindow::IsChild(const CKVQWindow* window) const
{
    return window != nullptr && window->parent_ == this;
}

CKVQWindow* CKVQWindow::GetChild(const char* text) const
{
    if (text == nullptr)
        return nullptr;
    for (CKVQWindow* child = firstChild_; child != nullptr; child = child->next_) {
        if (std::strcmp(child->name.c_str(), text) == 0)
            return child;
    }
    return nullptr;
}

CKVQWindow* CKVQWindow::GetKVQWindow(const char* path) const
{
    if (path == nullptr)
        return nullptr;
    const CKVQWindow* window = this;
    std::string segment;
    const char* at = path;
    while (true) {
        const char* end = std::strchr(at, ':');
        if (end == nullptr)
            end = at + std::strlen(at);
        if (!BoundedPart(at, end, kMaxPathSegment, segment))
            return nullptr;
        window = window->GetChild(segment.c_str());
        if (window == nullptr)
            return nullptr;
        if (*end == '\0')
            return const_cast<CKVQWindow*>(window);
        at = end + 1;
    }
}

int32_t CKVQWindow::GetDepth() const
{
    int32_t depth = 0;
    for (const CKVQWindow* window = parent_; window != nullptr; window = window->parent_)
        ++depth;
    return depth;
}

// Whether window, or a window above it, is inside Delete. Nothing may join such a subtree: the
// deletion walks it until it is empty, and a delete handler that kept adding children would
// keep it from ever finishing.
static bool InsideDeletion(const CKVQWindow* window)
{
    if (deleting.empty())
        return false;
    for (const CKVQWindow* w = window; w != nullptr; w = w->GetParent()) {
        if (std::find(deleting.begin(), deleting.end(), w) != deleting.end())
            return true;
    }
    return false;
}

void CKVQWindow::AppendChild(CKVQWindow* child)
{
    if (child == nullptr || child == this || child->parent_ != nullptr || IsDeleted() || child->IsDeleted())
        return;
    if (InsideDeletion(this) || InsideDeletion(child))
        return;
    // A window cannot become a child inside its own subtree.
    for (const CKVQWindow* ancestor = parent_; ancestor != nullptr; ancestor = ancestor->parent_) {
        if (ancestor == child)
            return;
    }
    // Every walk down the tree (rectangles, drawing, hit tests, records) recurses once per level,
    // so no window may end up nested as deep as the reader refuses to go.
    const int32_t room = kMaxNestingDepth - 1 - (GetDepth() + 1);
    if (room < 0 || SubtreeHeight(child, room) > room)
        return;
    LinkChild(child);
}

void CKVQWindow::LinkChild(CKVQWindow* child)
{
    if (child == nullptr || child == this || child->parent_ != nullptr)
        return;
    child->parent_ = this;
    child->prev_ = lastChild_;
    child->next_ = nullptr;
    if (lastChild_ != nullptr)
        lastChild_->next_ = child;
    else
        firstChild_ = child;
    lastChild_ = child;
}

void CKVQWindow::Unlink()
{
    if (parent_ == nullptr) {
        prev_ = next_ = nullptr;
        return;
    }
    if (prev_ != nullptr)
        prev_->next_ = next_;
    else
        parent_->firstChild_ = next_;
    if (next_ != nullptr)
        next_->prev_ = prev_;
    else
        parent_->lastChild_ = prev_;
    parent_ = prev_ = next_ = nullptr;
}

void CKVQWindow::AddChild(CKVQWindow* child)
{
    if (child == nullptr || child->parent_ != nullptr)
        return;
    AppendChild(child);
    if (child->parent_ != this)
        return;
    CKVQMessage message;
    WritePointer(message, child);
    ProcMessage(kOnAddChild, &message, this);
    if (!child->IsDeleted())
        child->OnLoad();
    if (!child->IsDeleted())
        child->SetDirty();
    InvalidateCharCache();
    if (!IsDeleted())
        Invalidate();
}

void CKVQWindow::DeleteChild(CKVQWindow* child)
{
    if (child != nullptr && child->parent_ == this) {
        KVQRect former = child->GetRect();
        child->Unlink();
        CKVQMessage message;
        WritePointer(message, child);
        ProcMessage(kOnDeleteChild, &message, this);
        child->Delete();
        if (!IsDeleted())
            Invalidate(&former);
    }
    InvalidateCharCache();
}

void CKVQWindow::ClearChilds()
{
    while (CKVQWindow* child = firstChild_) {
        child->Delete();
        if (child->parent_ == this)
            child->Unlink();
    }
}

// ---------------------------------------------------------------------------------------------
// Layers (the order of the child list)

void CKVQWindow::LayerUp(CKVQWindow* child)
{
    if (child == nullptr || child->parent_ != this || child->next_ == nullptr)
        return;
    CKVQWindow* next = child->next_;
    // child, next -> next, child
    next->prev_ = child->prev_;
    if (child->prev_ != nullptr)
        child->prev_->next_ = next;
    else
        firstChild_ = next;
    child->next_ = next->next_;
    if (next->next_ != nullptr)
        next->next_->prev_ = child;
    else
        lastChild_ = child;
    next->next_ = child;
    child->prev_ = next;
    Invalidate();
}

void CKVQWindow::LayerDown(CKVQWindow* child)
{
    if (child == nullptr || child->parent_ != this || child->prev_ == nullptr)
        return;
    LayerUp(child->prev_);
}

void CKVQWindow::LayerTop(CKVQWindow* child)
{
    if (child == nullptr || child->parent_ != this)
        return;
    if (child->next_ != nullptr) {
        child->Unlink();
        child->parent_ = this;
        child->prev_ = lastChild_;
        lastChild_->next_ = child;
        lastChild_ = child;
    }
    Invalidate();
}

void CKVQWindow::MoveToFront(CKVQWindow* child)
{
    if (child == nullptr || child->parent_ != this)
        return;
    if (child->prev_ != nullptr) {
        child->Unlink();
        child->parent_ = this;
        child->next_ = firstChild_;
        firstChild_->prev_ = child;
        firstChild_ = child;
    }
    Invalidate();
}

void CKVQWindow::TopMost()
{
    if (parent_ != nullptr)
        parent_->LayerTop(this);
}

// ---------------------------------------------------------------------------------------------
// Messages

void CKVQWindow::ProcMessage(const char* text, CKVQMessage* message, CKVQWindow* sender, bool force)
{
    if (text == nullptr || IsDeleted() || windowDispatchDepth >= kMaxDispatchDepth)
        return;
    WindowDispatchDepth depth;
    RenderDispatchScope scope;
    std::optional<CKVQMessage> empty;  // made only when the caller sent no message
    if (message == nullptr)
        message = &empty.emplace();

    // Handlers may change the lists while they run: every step re-reads them by index, and an
    // object removed meanwhile stays alive until the dispatch is over.
    auto offer = [&](IRender* object) {
        if (object == nullptr || (object->IsVisible == 0 && !force))
            return;
        message->setMode(CIArchive::SM_READ);
        object->ProcMessage(this, text, message, sender);
    };
    const int32_t state = curState;
    if (state >= 0) {
        for (size_t i = 0; static_cast<size_t>(state) < states_.size() &&
                           i < states_[static_cast<size_t>(state)].renders.size();
             ++i) {
            offer(states_[static_cast<size_t>(state)].renders[i]);
            if (IsDeleted())
                return;
        }
    }
    for (size_t i = 0; i < renderLst_.size(); ++i) {
        offer(renderLst_[i]);
        if (IsDeleted())
            return;
    }

    for (size_t i = 0;; ++i) {
        if (!bookings_)
            return;
        auto entries = bookings_->find(text);
        if (entries == bookings_->end() || i >= entries->second.size())
            return;
        // Copied: the handler may book more and move the list.
        const std::pair<uint32_t, std::string> entry = entries->second[i];
        message->setMode(CIArchive::SM_READ);
        if (CKVQWindow* target = FromHandle(entry.first))
            target->ProcMessage(entry.second.c_str(), message, sender, false);
        if (IsDeleted())
            return;
    }
}

void CKVQWindow::BookMsg(const char* text, const char* handlerName, CKVQWindow* source)
{
    if (text == nullptr || handlerName == nullptr || source == nullptr || IsDeleted() || source->IsDeleted())
        return;
    if (!source->bookings_)
        source->bookings_ = std::make_unique<std::map<std::string, std::vector<std::pair<uint32_t, std::string>>>>();
    auto& entries = (*source->bookings_)[text];
    for (const auto& entry : entries) {
        if (entry.first == handle_ && entry.second == handlerName)
            return;
    }
    entries.emplace_back(handle_, handlerName);
}

void CKVQWindow::SendEvent(const char* text, CKVQMessage* message, bool force)
{
    ProcMessage(text, message, this, force);
}

// ---------------------------------------------------------------------------------------------
// Render objects

void CKVQWindow::AddRender(IRender* object)
{
    // An object belongs to one list: held by a second one it would be freed twice.
    if (object == nullptr || object->IsAttached() || HoldsRender(*this, object))
        return;
    renderLst_.push_back(object);
    object->SetAttached(true);
    object->SetOwner(this);
}

void CKVQWindow::DelRender(IRender* object)
{
    auto at = std::find(renderLst_.begin(), renderLst_.end(), object);
    if (object == nullptr || at == renderLst_.end())
        return;
    KVQRect area = object->ResolveRect(GetRect());
    renderLst_.erase(at);
    object->SetAttached(false);
    DisposeRender(object);
    Invalidate(&area);
}

IRender* CKVQWindow::GetRender(const char* text) const
{
    if (text == nullptr)
        return nullptr;
    std::string objectName;
    const char* colon = std::strchr(text, ':');
    if (colon == nullptr) {
        if (!BoundedPart(text, text + std::strlen(text), kMaxRenderPart, objectName))
            return nullptr;
        return FindRender(renderLst_, objectName);
    }
    std::string stateName;
    if (!BoundedPart(text, colon, kMaxRenderPart, stateName) ||
        !BoundedPart(colon + 1, colon + 1 + std::strlen(colon + 1), kMaxRenderPart, objectName))
        return nullptr;
    for (const WindowState& state : states_) {
        if (std::strcmp(state.name.c_str(), stateName.c_str()) == 0)
            return FindRender(state.renders, objectName);
    }
    return nullptr;
}

void CKVQWindow::RenderLayerDown(IRender* object)
{
    auto at = std::find(renderLst_.begin(), renderLst_.end(), object);
    if (object == nullptr || at == renderLst_.end() || at == renderLst_.begin())
        return;
    std::iter_swap(at, at - 1);
    KVQRect area = object->ResolveRect(GetRect());
    Invalidate(&area);
}

void CKVQWindow::RenderLayerUp(IRender* object)
{
    auto at = std::find(renderLst_.begin(), renderLst_.end(), object);
    if (object == nullptr || at == renderLst_.end() || at + 1 == renderLst_.end())
        return;
    std::iter_swap(at, at + 1);
    KVQRect area = object->ResolveRect(GetRect());
    Invalidate(&area);
}

// ---------------------------------------------------------------------------------------------
// Status

namespace {
bool IsStatusBit(int32_t bit)
{
    return bit >= 0 && bit < 32;
}
}  // namespace

void CKVQWindow::SetBit(int32_t bit)
{
    if (IsStatusBit(bit))
        Status |= 1u << bit;
}

void CKVQWindow::DelBit(int32_t bit)
{
    if (IsStatusBit(bit))
        Status &= ~(1u << bit);
}

bool CKVQWindow::IsBitSet(int32_t bit) const
{
    return IsStatusBit(bit) && (Status >> bit & 1u) != 0;
}

bool CKVQWindow::IsVisible() const
{
    for (const CKVQWindow* window = this; window != nullptr; window = window->parent_) {
        if (!window->IsBitSet(STATUS_IsVisible))
            return false;
        if (window->parent_ != nullptr && window->parent_->IsHideChildren())
            return false;
    }
    return true;
}

bool CKVQWindow::IsFocus() const
{
    return handle_ != 0 && handle_ == WindowModule::Get().focus;
}

bool CKVQWindow::IsCapture() const
{
    return handle_ != 0 && handle_ == WindowModule::Get().capture;
}

void CKVQWindow::ShowCascade()
{
    if (!IsVisible())
        return;
    CKVQMessage message;
    ProcMessage(kOnShow, &message, this);
    for (CKVQWindow* child = firstChild_; child != nullptr && !IsDeleted();) {
        CKVQWindow* next = child->next_;
        if (child->IsBitSet(STATUS_IsVisible))
            child->ShowCascade();
        child = NextChild(this, child, next);
    }
}

void CKVQWindow::HideCascade()
{
    if (IsVisible())
        return;
    CKVQMessage message;
    ProcMessage(kOnHide, &message, this);
    for (CKVQWindow* child = firstChild_; child != nullptr && !IsDeleted();) {
        CKVQWindow* next = child->next_;
        if (child->IsBitSet(STATUS_IsVisible))
            child->HideCascade();
        child = NextChild(this, child, next);
    }
}

void CKVQWindow::Show()
{
    if (IsBitSet(STATUS_IsVisible) || IsDeleted())
        return;
    SetBit(STATUS_IsVisible);
    ShowCascade();
    if (!IsDeleted())
        Invalidate();
}

void CKVQWindow::Hide()
{
    if (!IsBitSet(STATUS_IsVisible) || IsDeleted())
        return;
    DelBit(STATUS_IsVisible);
    HideCascade();
    if (!IsDeleted())
        Invalidate();
}

void CKVQWindow::HideChildren(int32_t flag)
{
    if (IsDeleted())
        return;
    KVQRect area = GetVisualFrame();
    if (flag == 1)
        SetBit(STATUS_IsHideChildren);
    else
        DelBit(STATUS_IsHideChildren);
    area.Union(GetVisualFrame());
    Invalidate(&area);
}

void CKVQWindow::Enable()
{
    if (!IsBitSet(STATUS_IsDisable) || IsDeleted())
        return;
    DelBit(STATUS_IsDisable);
    CKVQMessage message;
    ProcMessage(kOnEnable, &message, this);
}

void CKVQWindow::Disable()
{
    if (IsBitSet(STATUS_IsDisable) || IsDeleted())
        return;
    SetBit(STATUS_IsDisable);
    CKVQMessage message;
    ProcMessage(kOnDisable, &message, this);
}

bool CKVQWindow::SetSelected(int32_t flag)
{
    if (!IsBitSet(STATUS_IsCanBeSelected))
        return false;
    if (IsDeleted())
        return IsSelected();
    CKVQMessage message;
    if (flag == 1 && !IsBitSet(STATUS_IsSelected)) {
        SetBit(STATUS_IsSelected);
        ProcMessage(kOnSelected, &message, this);
    } else if (flag != 1 && IsBitSet(STATUS_IsSelected)) {
        DelBit(STATUS_IsSelected);
        ProcMessage(kOnCancelSelected, &message, this);
    }
    return IsSelected();
}

// ---------------------------------------------------------------------------------------------
// States

void CKVQWindow::SetState(int32_t index, int32_t notify)
{
    if (IsDeleted())
        return;
    // curState is a signed byte: an index it cannot hold selects no state rather than the
    // state its low byte happens to name.
    const int8_t next = index >= INT8_MIN && index <= INT8_MAX ? static_cast<int8_t>(index) : int8_t{-1};
    if (notify != 1) {
        curState = next;
    } else if (next != curState) {
        CKVQMessage exitMessage;
        uint8_t previous = static_cast<uint8_t>(curState);
        int32_t entered = next;
        exitMessage.UInt8(previous);
        exitMessage.Int32(entered);
        ProcMessage(kOnStateExit, &exitMessage, this);
        curState = next;
        CKVQMessage enterMessage;
        uint8_t enteredByte = static_cast<uint8_t>(next);
        enterMessage.Int32(entered);
        enterMessage.UInt8(enteredByte);
        ProcMessage(kOnStateEnter, &enterMessage, this);
        oldState = static_cast<uint8_t>(curState);
    }
    if (!IsDeleted())
        Invalidate();
}

// ---------------------------------------------------------------------------------------------
// Focus and capture (the references are handles kept by the window module)

void CKVQWindow::SetFocus(CKVQWindow* caller)
{
    if (IsDeleted())
        return;
    WindowModule& module = WindowModule::Get();
    CKVQWindow* sender = caller != nullptr ? caller : this;
    CKVQMessage message;
    if (CKVQWindow* old = FromHandle(module.focus)) {
        if (old == this)
            return;
        old->ProcMessage(kOnLostFocus, &message, sender);
    }
    ProcMessage(kOnFocus, &message, sender);
    if (!IsDeleted())
        module.focus = handle_;
}

void CKVQWindow::SetCapture(CKVQWindow* caller)
{
    if (IsDeleted())
        return;
    WindowModule& module = WindowModule::Get();
    CKVQWindow* sender = caller != nullptr ? caller : this;

    CKVQWindow* frame = this;
    while (frame != nullptr && !frame->IsFrameWindow())
        frame = frame->parent_;
    if (frame != nullptr) {
        if (frame->parent_ != nullptr)
            frame->parent_->LayerTop(frame);
        module.activeFrame = frame->handle_;
    }

    CKVQMessage message;
    CKVQWindow* old = FromHandle(module.capture);
    if (old == nullptr) {
        ProcMessage(kOnCapture, &message, sender);
        if (IsDeleted())
            return;
        if (IsCanFocus()) {
            SetFocus(caller);
            if (module.setIMEState)
                module.setIMEState(IsBitSet(STATUS_IsOpenIME));
        }
        if (!IsDeleted())
            module.capture = handle_;
        return;
    }
    if (old == this)
        return;
    old->ProcMessage(kOnLostCapture, &message, sender);
    if (IsDeleted())
        return;
    ProcMessage(kOnCapture, &message, sender);
    if (IsDeleted())
        return;
    if (IsCanFocus())
        SetFocus(caller);
    if (module.setIMEState)
        module.setIMEState(IsCanFocus() && IsBitSet(STATUS_IsOpenIME));
    if (IsDeleted())
        return;
    module.capture = handle_;
    CKVQWindow* focused = FromHandle(module.focus);
    if (focused != nullptr && focused != this) {
        focused->ProcMessage(kOnLostFocus, &message, sender);
        module.focus = 0;
    }
}

void CKVQWindow::EnableDrag()
{
    if (!IsDeleted())
        WindowModule::Get().drag = handle_;
}

// ---------------------------------------------------------------------------------------------
// Cascades

void CKVQWindow::OnLoad()
{
    if (IsDeleted())
        return;
    if (!loaded_) {
        ProcMessage(kOnLoad, &WindowModule::Get().sharedMessage, this);
        if (IsDeleted())
            return;
        SetDirty();
        loaded_ = true;
    }
    for (CKVQWindow* child = firstChild_; child != nullptr && !IsDeleted();) {
        CKVQWindow* next = child->next_;
        child->OnLoad();
        child = NextChild(this, child, next);
    }
}

void CKVQWindow::OnUnload()
{
    if (IsDeleted())
        return;
    ProcMessage(kOnUnload, &WindowModule::Get().sharedMessage, this);
    for (CKVQWindow* child = firstChild_; child != nullptr && !IsDeleted();) {
        CKVQWindow* next = child->next_;
        child->OnUnload();
        child = NextChild(this, child, next);
    }
}

void CKVQWindow::Update(uint32_t value)
{
    if (IsDeleted())
        return;
    if (IsBitSet(STATUS_IsActive)) {
        CKVQMessage& message = WindowModule::Get().sharedMessage;
        message.Buffer().Reset();
        message.setMode(CIArchive::SM_WRITE);
        message.UInt32(value);
        ProcMessage(kOnUpdate, &message, this);
    }
    for (CKVQWindow* child = firstChild_; child != nullptr && !IsDeleted();) {
        CKVQWindow* next = child->next_;
        child->Update(value);
        child = NextChild(this, child, next);
    }
}

// ---------------------------------------------------------------------------------------------
// Data

void CKVQWindow::SetMask(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha)
{
    Mask = RGBA{red, green, blue, alpha};
    if (!IsDeleted())
        Invalidate();
}

void CKVQWindow::SetScale(float scaleX, float scaleY)
{
    fScaleX = scaleX;
    fScaleY = scaleY;
    if (!IsDeleted())
        Invalidate();
}

void CKVQWindow::SetExtraData(const char* key, const CKVQMessage& message)
{
    if (key == nullptr)
        return;
    std::unique_ptr<CKVQMessage>& entry = extraData_[key];
    if (!entry)
        entry = std::make_unique<CKVQMessage>(CKVQMessage::kEventCapacity);
    entry->Copy(message);
}

CKVQMessage* CKVQWindow::GetExtraData(const char* key) const
{
    if (key == nullptr)
        return nullptr;
    auto at = extraData_.find(key);
    return at == extraData_.end() ? nullptr : at->second.get();
}

float CKVQWindow::Distance(CKVQWindow* other)
{
    if (other == nullptr)
        return 0.0f;
    return static_cast<float>(std::sqrt(HotDistanceSquared(*this, *other)));
}

void CKVQWindow::GetCloseSiblings(const char* classFilter, float distance, WndArray& array)
{
    if (parent_ == nullptr)
        return;
    const bool anyClass = classFilter == nullptr || classFilter[0] == '\0';
    const double limit = static_cast<double>(distance) * static_cast<double>(distance);
    double nearest = 0.0;
    bool found = false;
    for (CKVQWindow* sibling = parent_->firstChild_; sibling != nullptr; sibling = sibling->next_) {
        if (sibling == this || (!anyClass && std::strcmp(sibling->className.c_str(), classFilter) != 0))
            continue;
        const double squared = HotDistanceSquared(*this, *sibling);
        if (!(squared < limit))
            continue;
        if (!array.Push(sibling))
            return;
        if (!found || squared < nearest) {
            nearest = squared;
            found = true;
            // The nearest match goes first.
            std::optional<CKVQWindow*> first = array.Get(0);
            array.Set(0, sibling);
            array.Set(array.Size() - 1, first.value_or(sibling));
        }
    }
}
