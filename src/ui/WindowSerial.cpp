// Persistence of windows: the window record, window blocks, window lists, layout files and
// clones. One routine per record serves loading and storing, in the byte form and the text form.

#include <cstring>
#include <vector>

#include "io/Archive.h"
#include "io/FileSystem.h"
#include "io/RecordBlock.h"
#include "render/OpaqueRender.h"
#include "render/Render.h"
#include "render/RenderDisposal.h"
#include "render/RenderRegistry.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

constexpr uint8_t kRecordVersion = 2;

// The least bytes one list item can take, so hostile counts are bounded by the stream: a window
// or state is at least a block header; a render-object entry a string's length and a block header.
constexpr int32_t kMinBlockBytes = record_block::kBlockHeaderBytes;
constexpr int32_t kMinRenderEntryBytes = 4 + record_block::kBlockHeaderBytes;

// A render-object entry: the class name, then the object's block.
bool TransferRenderEntry(CIArchive& ar, IRender*& object)
{
    if (ar.IsStoring()) {
        CKVQString className(object->GetClassName());
        ar.String(className, "class");
        if (auto* opaque = dynamic_cast<CRenderObject_Opaque*>(object))
            return opaque->TransferBlock(ar);
        return TransferBlock(ar, "object", CKVQMessage::kRenderObjectCapacity,
                             [object](CIArchive& record) { object->Serialize(record); });
    }
    CKVQString className;
    ar.String(className, "class");
    if (ar.GetError() != 0)
        return false;
    object = CRenderRegistry::Instance().Create(className.c_str());
    if (!object) {
        if (!KeepUnknownRenderObjects())
            return SkipBlock(ar, "object");  // the block says how long it is: the rest still loads
        auto* opaque = new CRenderObject_Opaque(className.c_str());
        object = opaque;
        if (opaque->TransferBlock(ar))
            return true;
        DestroyRender(object);
        object = nullptr;
        return false;
    }
    IRender* made = object;
    if (TransferBlock(ar, "object", CKVQMessage::kRenderObjectCapacity,
                      [made](CIArchive& record) { made->Serialize(record); }))
        return true;
    DestroyRender(object);
    object = nullptr;
    return false;
}

// A render list: int32 count, then the entries. Load replaces the list's objects; the list holds
// every object it reads.
void TransferRenderList(CIArchive& ar, const char* name, std::vector<IRender*>& list)
{
    if (ar.IsLoading()) {
        // Disposed, not destroyed: a handler of one of them may be running.
        std::vector<IRender*> replaced;
        replaced.swap(list);
        for (IRender* object : replaced)
            DisposeRender(object);
    }
    auto count = static_cast<int32_t>(list.size());
    TransferList(ar, name, count, kMinRenderEntryBytes, [&](int32_t i) {
        if (ar.IsStoring())
            return TransferRenderEntry(ar, list[static_cast<size_t>(i)]);
        IRender* object = nullptr;
        bool ok = TransferRenderEntry(ar, object);
        if (object) {
            list.push_back(object);
            object->SetAttached(true);
        }
        return ok;
    });
}

// A state block: the name, then the state's render list.
bool TransferState(CIArchive& ar, WindowState& state)
{
    return TransferBlock(ar, "state", CKVQMessage::kStateCapacity, [&state](CIArchive& record) {
        record.String(state.name, "name");
        TransferRenderList(record, "RenderLst", state.renders);
    });
}

}  // namespace

void CKVQWindow::Serialize(CIArchive& ar, int32_t depth)
{
    if (ar.IsStoring())
        version = kRecordVersion;
    ar.UInt8(version, "version");
    ar.SetVersion(version);
    ar.String(name, "name");
    ar.String(className, "className");
    ar.UInt32(Status, "Status");
    ar.Int8(curState, "curState");
    ar.UInt8(oldState, "oldState");
    ar.UInt16(ClipOffset[0], "ClipOffset.left");
    ar.UInt16(ClipOffset[1], "ClipOffset.right");
    ar.UInt16(ClipOffset[2], "ClipOffset.top");
    ar.UInt16(ClipOffset[3], "ClipOffset.bottom");
    ar.UInt32(addData, "addData");
    TransferRenderList(ar, "RenderLst", renderLst_);
    IRender::TransferLayout(ar, Layout, "LayoutRect");
    ar.Int32(nExtX, "nExtX");
    ar.Int32(nExtY, "nExtY");

    // The status was transferred above, so the bit read is the one that decides.
    if (!IsBitSet(STATUS_IsNotSerialChild)) {
        int32_t count = ar.IsStoring() ? GetChildCount() : 0;
        CKVQWindow* next = firstChild_;
        TransferList(ar, "children", count, kMinBlockBytes, [&](int32_t) {
            if (ar.IsStoring()) {
                CKVQWindow* child = next;
                if (!child)
                    return false;
                next = child->next_;
                child->WriteBlock(ar);
                return true;
            }
            // The reader bounds the depth, so the child is linked without walking its subtree.
            if (CKVQWindow* child = ReadBlock(ar, depth + 1))
                LinkChild(child);
            return ar.GetError() == 0;
        });
    }

    ar.Int32(nExtW, "nExtW");
    ar.Int32(nExtH, "nExtH");
    if (ar.IsLoading()) {
        for (IRender* object : renderLst_)
            object->SetOwner(this);
    }

    if (ar.IsLoading()) {
        std::vector<WindowState> replaced;
        replaced.swap(states_);
        for (WindowState& state : replaced) {
            for (IRender* object : state.renders)
                DisposeRender(object);
        }
    }
    auto stateCount = static_cast<int32_t>(states_.size());
    TransferList(ar, "States", stateCount, kMinBlockBytes, [&](int32_t i) {
        if (ar.IsStoring())
            return TransferState(ar, states_[static_cast<size_t>(i)]);
        states_.emplace_back();
        if (TransferState(ar, states_.back()))
            return true;
        for (IRender* object : states_.back().renders)
            DestroyRender(object);
        states_.pop_back();
        return false;
    });

    ar.Int32(nHotAlign, "nHotAlign");
    ar.Int32(HotOffset.x, "HotOffset.x");
    ar.Int32(HotOffset.y, "HotOffset.y");
    ar.Int32(nLayer, "nLayer");
    ar.Int32(nMaxLayer, "nMaxLayer");
}

void CKVQWindow::WriteBlock(CIArchive& ar)
{
    TransferBlock(ar, "window", CKVQMessage::kWindowCapacity, [this](CIArchive& record) { Serialize(record); });
}

CKVQWindow* CKVQWindow::ReadBlock(CIArchive& ar, int32_t depth)
{
    // Deeper records are passed over whole: their length is known, so the rest still loads.
    if (depth >= kMaxNestingDepth) {
        SkipBlock(ar, "window");
        return nullptr;
    }
    CKVQWindow* window = New();
    if (!window) {
        SkipBlock(ar, "window");  // no window to read into; the records after it still load
        return nullptr;
    }
    if (TransferBlock(ar, "window", CKVQMessage::kWindowCapacity,
                      [window, depth](CIArchive& record) { window->Serialize(record, depth); }))
        return window;
    window->Delete();
    return nullptr;
}

void CKVQWindow::SerializeList(CIArchive& ar, std::vector<CKVQWindow*>& windows, int32_t depth)
{
    auto count = static_cast<int32_t>(windows.size());
    TransferList(ar, "windows", count, kMinBlockBytes, [&](int32_t i) {
        if (ar.IsStoring()) {
            windows[static_cast<size_t>(i)]->WriteBlock(ar);
            return true;
        }
        if (CKVQWindow* window = ReadBlock(ar, depth))
            windows.push_back(window);
        return ar.GetError() == 0;
    });
}

CKVQWindow* CKVQWindow::Clone()
{
    if (IsDeleted())
        return nullptr;
    CKVQMessage copy(CKVQMessage::kWindowCapacity);
    WriteBlock(copy);
    copy.setMode(CIArchive::SM_READ);
    CKVQWindow* twin = ReadBlock(copy);
    // The status travels with its "rectangle cached" bit, but the copy has no cached rectangle.
    if (twin)
        twin->SetDirty();
    return twin;
}

namespace {

// The whole file, read through the file system; false when it cannot be opened. Records are then
// read where they lie in memory.
bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes)
{
    IFile* file = path ? GetFileSystem().Open(path, true) : nullptr;
    if (!file)
        return false;
    int32_t size = file->GetSize();
    bytes.clear();
    if (size > 0) {
        bytes.resize(static_cast<size_t>(size));
        file->Seek(0, IFile::kFromStart);
        int32_t got = file->Read(bytes.data(), size);
        bytes.resize(static_cast<size_t>(got > 0 ? got : 0));
    }
    GetFileSystem().Close(file);
    return true;
}

// Reads a window-list section from bytes held in memory, its windows at the given depth.
std::vector<CKVQWindow*> ReadWindowList(const std::vector<uint8_t>& bytes, int32_t depth = 0)
{
    CIMemFile view;
    view.SetView(bytes.data(), static_cast<int32_t>(bytes.size()));
    CIArchive ar(&view, CIArchive::SM_READ);
    std::vector<CKVQWindow*> windows;
    CKVQWindow::SerializeList(ar, windows, depth);
    return windows;
}

}  // namespace

bool CKVQWindow::LoadChildsFromFile(const char* path, WndArray* array)
{
    if (IsDeleted())
        return false;
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes) || bytes.empty())
        return false;
    // The windows are read as this window's children, so the reader stops at the depth the
    // tree allows under it.
    for (CKVQWindow* child : ReadWindowList(bytes, GetDepth() + 1)) {
        AppendChild(child);
        if (child->GetParent() != this) {
            child->Delete();  // refused: nobody would hold it
            continue;
        }
        if (array)
            array->Push(child);  // the child is owned by this window either way
    }
    OnLoad();
    SetDirty();
    Invalidate();
    return true;
}

bool CKVQWindow::SaveChildsToFile(const char* path)
{
    if (!path || !*path)
        return false;
    CKVQMessage out(CKVQMessage::kWindowCapacity);
    if (!IsBitSet(STATUS_IsNotSerialChild)) {
        std::vector<CKVQWindow*> children;
        for (CKVQWindow* c = firstChild_; c; c = c->next_)
            children.push_back(c);
        SerializeList(out, children);
    }
    IFile* file = GetFileSystem().OpenDisk(path, "wb");
    if (!file)
        return false;
    // The file is written in one piece, so a short write is seen and reported.
    bool ok = out.GetSize() == 0 || file->Write(out.GetBuffer(), out.GetSize()) == out.GetSize();
    GetFileSystem().Close(file);
    return ok;
}

bool WndArray::load(const char* path)
{
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes))
        return false;
    for (CKVQWindow* window : ReadWindowList(bytes)) {
        if (!Push(window))
            window->Delete();  // the array is full: nobody would hold the window
    }
    return true;
}
