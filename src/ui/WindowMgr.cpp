#include "ui/WindowMgr.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

#include "app/Clock.h"
#include "app/CoreCfg.h"
#include "app/SystemAPI.h"
#include "io/Archive.h"
#include "io/FileSystem.h"
#include "io/MemFile.h"
#include "io/RecordBlock.h"
#include "script/LuaHost.h"
#include "ui/Window.h"

namespace {

// Root notices: what the root hears of every raw event.
constexpr const char* kSysLClickDown = "OnSysLClickDown";
constexpr const char* kSysLClickUp = "OnSysLClickUp";
constexpr const char* kSysLDBClick = "OnSysLDBClick";
constexpr const char* kSysRClickDown = "OnSysRClickDown";  // also the right release
constexpr const char* kSysRDBClick = "OnSysRDBClick";
constexpr const char* kSysMouseMove = "OnSysMouseMove";
constexpr const char* kSysMouseWheel = "OnSysMouseWheel";
constexpr const char* kSysKeyDown = "OnSysKeyDown";
constexpr const char* kSysKeyUp = "OnSysKeyUp";

// Window events.
constexpr const char* kLClickDown = "OnLClickDown";
constexpr const char* kLClickUp = "OnLClickUp";
constexpr const char* kLDBClick = "OnLDBClick";
constexpr const char* kRClickDown = "OnRClickDown";
constexpr const char* kRClickUp = "OnRClickUp";
constexpr const char* kRDClick = "OnRDClick";
constexpr const char* kMouseEnter = "OnMouseEnter";
constexpr const char* kMouseLeave = "OnMouseLeave";
constexpr const char* kMouseMove = "OnMouseMove";
constexpr const char* kDragging = "OnDragging";
constexpr const char* kDraggingEnd = "OnDraggingEnd";
constexpr const char* kLongClick = "OnLongClick";
constexpr const char* kMouseWheel = "OnMouseWheel";
constexpr const char* kKeyDown = "OnKeyDown";
constexpr const char* kKeyUp = "OnKeyUp";
constexpr const char* kChar = "OnChar";

constexpr const char* kMessageClass = "CKVQMessage";
constexpr const char* kUnicodeTarget = "UCS-2LE";

bool IsSysControl(const CKVQWindow* window)
{
    return window->IsBitSet(STATUS_IsSysControl);
}

// Truncation toward zero of a quotient that may be out of range or not a number (a zero scale).
int32_t TruncateToInt32(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

// The whole file through the file system (disk lookup allowed); false when it cannot be opened.
bool ReadLayoutFile(const char* path, std::vector<uint8_t>& bytes)
{
    IFile* file = path != nullptr ? GetFileSystem().Open(path, true) : nullptr;
    if (file == nullptr)
        return false;
    const int32_t size = file->GetSize();
    bytes.clear();
    if (size > 0) {
        bytes.resize(static_cast<size_t>(size));
        file->Seek(0, IFile::kFromStart);
        const int32_t got = file->Read(bytes.data(), size);
        bytes.resize(static_cast<size_t>(got > 0 ? got : 0));
    }
    GetFileSystem().Close(file);
    return true;
}

// A layout written as JSON (it starts with "{" after any white space) has not been built yet.
bool LooksLikeJson(const std::vector<uint8_t>& bytes)
{
    for (const uint8_t byte : bytes) {
        if (byte == ' ' || byte == '\t' || byte == '\r' || byte == '\n')
            continue;
        return byte == '{';
    }
    return false;
}

// The one window block of a layout file, or null when the file cannot be opened or holds none;
// *error says what was wrong.
CKVQWindow* ReadLayoutWindow(const char* path, LayoutLoadError* error = nullptr)
{
    LayoutLoadError found;
    std::vector<uint8_t> bytes;
    CKVQWindow* window = nullptr;
    if (!ReadLayoutFile(path, bytes)) {
        found.kind = LayoutLoadError::Kind::NotFound;
    } else if (bytes.empty()) {
        found.kind = LayoutLoadError::Kind::Empty;
    } else if (LooksLikeJson(bytes)) {
        found.kind = LayoutLoadError::Kind::Json;
    } else {
        CIMemFile view;
        view.SetView(bytes.data(), static_cast<int32_t>(bytes.size()));
        CIArchive ar(&view, CIArchive::SM_READ);
        const int64_t damagedBefore = record_block::damagedRecords;
        record_block::firstDamageAt = nullptr;
        window = CKVQWindow::ReadBlock(ar);
        const uint8_t* at = record_block::firstDamageAt;
        record_block::firstDamageAt = nullptr;
        if (at != nullptr || record_block::damagedRecords != damagedBefore || ar.GetError() != 0) {
            found.kind = LayoutLoadError::Kind::Damaged;
            found.fileSize = static_cast<int64_t>(bytes.size());
            int32_t rootLength = 0;
            if (bytes.size() >= sizeof(rootLength))
                std::memcpy(&rootLength, bytes.data(), sizeof(rootLength));  // little-endian hosts
            found.neededSize = static_cast<int64_t>(rootLength) + record_block::kBlockHeaderBytes;
            if (at != nullptr && at >= bytes.data() && at <= bytes.data() + bytes.size())
                found.byte = at - bytes.data();
        } else if (window == nullptr) {
            found.kind = LayoutLoadError::Kind::NoRoot;
        }
    }
    if (error != nullptr)
        *error = found;
    return window;
}

}  // namespace

void KVQAPI_ScreenToUI(int32_t& x, int32_t& y)
{
    const KVQCoreCfg& cfg = GetCoreCfg();
    if (!cfg.IsAutoScale)
        return;
    x = TruncateToInt32(static_cast<double>(wrap32::Sub(x, cfg.nAutoOffsetX)) / static_cast<double>(cfg.fAutoScaleX));
    y = TruncateToInt32(static_cast<double>(wrap32::Sub(y, cfg.nAutoOffsetY)) / static_cast<double>(cfg.fAutoScaleY));
}

CKVQWindowMgr& CKVQWindowMgr::Instance()
{
    // Never destroyed: windows and scripts may reach it during static destruction.
    static CKVQWindowMgr* manager = new CKVQWindowMgr;
    return *manager;
}

CKVQWindowMgr::CKVQWindowMgr() = default;

// ---------------------------------------------------------------------------------------------
// Layout files

bool CKVQWindowMgr::Load(const char* path)
{
    layoutFile_ = path != nullptr ? path : "";
    if (CKVQWindow* old = GetRoot())
        old->Delete();
    root_ = 0;
    // A file without a readable window block leaves no root, like a missing one.
    CKVQWindow* root = ReadLayoutWindow(path, &loadError_);
    if (root == nullptr)
        return false;
    root_ = root->GetWindowHandle();
    return true;
}

bool CKVQWindowMgr::Save(const char* path)
{
    // Checked before the file is opened: saving nothing must not empty an existing layout.
    CKVQWindow* root = GetRoot();
    if (root == nullptr || path == nullptr || *path == 0)
        return false;
    CKVQMessage out(CKVQMessage::kWindowCapacity);
    root->WriteBlock(out);
    IFile* file = GetFileSystem().OpenDisk(path, "wb");
    if (file == nullptr)
        return false;
    const bool ok = out.GetSize() == 0 || file->Write(out.GetBuffer(), out.GetSize()) == out.GetSize();
    GetFileSystem().Close(file);
    return ok;
}

void CKVQWindowMgr::RevisePosInfo(const char* path)
{
    if (path == nullptr || layoutFile_ == path)
        return;
    CKVQWindow* loaded = ReadLayoutWindow(path);
    if (loaded == nullptr)
        return;
    if (CKVQWindow* root = GetRoot())
        root->ReloadLayout(*loaded);
    loaded->Delete();
}

void CKVQWindowMgr::SetRoot(CKVQWindow* window)
{
    CKVQWindow* old = GetRoot();
    if (old != nullptr && old != window)
        old->Delete();
    root_ = window != nullptr && !window->IsDeleted() ? window->GetWindowHandle() : 0;
}

CKVQWindow* CKVQWindowMgr::GetRoot() const
{
    return root_ != 0 ? CKVQWindow::FromHandle(root_) : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Bookings

int32_t CKVQWindowMgr::BookMessage(const char* name, CKVQWindow* window)
{
    if (name == nullptr || window == nullptr || window->IsDeleted())
        return 0;
    if (!bookings_)
        bookings_ = std::make_unique<std::map<std::string, std::vector<uint32_t>>>();
    std::vector<uint32_t>& receivers = (*bookings_)[name];
    const uint32_t handle = window->GetWindowHandle();
    for (uint32_t booked : receivers) {
        if (booked == handle)
            return 0;
    }
    receivers.push_back(handle);
    return 1;
}

int32_t CKVQWindowMgr::UnBookMessage(const char* name, CKVQWindow* window)
{
    if (!bookings_ || name == nullptr || window == nullptr)
        return 0;
    auto found = bookings_->find(name);
    if (found == bookings_->end())
        return 0;
    std::vector<uint32_t>& receivers = found->second;
    for (auto it = receivers.begin(); it != receivers.end(); ++it) {
        if (*it == window->GetWindowHandle()) {
            receivers.erase(it);
            break;
        }
    }
    return 0;
}

void CKVQWindowMgr::ProcessMessage(const char* name, CKVQMessage* message, CKVQWindow* sender)
{
    if (!bookings_ || name == nullptr)
        return;
    auto found = bookings_->find(name);
    if (found == bookings_->end())
        return;
    // Copied: receivers may book, unbook or reset while the broadcast runs.
    const std::vector<uint32_t> receivers = found->second;
    CKVQMessage empty;
    if (message == nullptr)
        message = &empty;
    for (uint32_t handle : receivers) {
        message->setMode(CIArchive::SM_READ);
        if (CKVQWindow* window = CKVQWindow::FromHandle(handle))
            window->ProcMessage(name, message, sender);
    }
}

// ---------------------------------------------------------------------------------------------
// Shared routines of the input handlers

CKVQMessage& CKVQWindowMgr::InputMessage()
{
    // The message becomes a script object once per interpreter, before it can reach a script.
    CKVQLuaHost* host = GetCurrentHost();
    lua_State* state = host != nullptr ? host->GetState() : nullptr;
    if (state != nullptr && (inputMessage_.GetScriptRef() == -1 || messageRefState_ != state)) {
        inputMessage_.SetScriptRef(host->RefObject(&inputMessage_, kMessageClass));
        messageRefState_ = state;
    }
    inputMessage_.Buffer().Reset();
    inputMessage_.setMode(CIArchive::SM_WRITE);
    return inputMessage_;
}

void CKVQWindowMgr::RootNotice(const char* name, int32_t a, int32_t b, int32_t c)
{
    CKVQWindow* root = GetRoot();
    if (root == nullptr)
        return;
    CKVQMessage& message = InputMessage();
    message.Int32(a);
    message.Int32(b);
    message.Int32(c);
    root->ProcMessage(name, &message, nullptr);
}

void CKVQWindowMgr::SendPoint(CKVQWindow* window, const char* name, int32_t x, int32_t y, CKVQWindow* sender)
{
    CKVQMessage& message = InputMessage();
    message.Int32(x);
    message.Int32(y);
    window->ProcMessage(name, &message, sender != nullptr ? sender : window);
}

bool CKVQWindowMgr::ActiveFrameShown() const
{
    CKVQWindow* frame = CKVQWindow::FromHandle(WindowModule::Get().activeFrame);
    return frame != nullptr && frame->IsVisible();
}

CKVQWindow* CKVQWindowMgr::FrameRoute(const char* name, int32_t x, int32_t y)
{
    WindowModule& module = WindowModule::Get();
    CKVQWindow* frame = CKVQWindow::FromHandle(module.activeFrame);
    if (frame == nullptr || !frame->IsVisible()) {
        module.activeFrame = 0;
        return nullptr;
    }
    CKVQWindow* hit = frame->HitTest(x, y);
    if (hit != nullptr && !IsSysControl(hit))
        SendPoint(hit, name, x, y);
    return hit;
}

CKVQWindow* CKVQWindowMgr::HoverUpdate(int32_t x, int32_t y)
{
    WindowModule& module = WindowModule::Get();
    // Each entry is examined once, from a copy: leave handlers may delete windows (which takes
    // them off the list) or move the pointer's targets around.
    std::array<uint32_t, WindowModule::kHoverMax> entries = module.hover;
    const int32_t count = std::clamp(module.hoverCount, 0, WindowModule::kHoverMax);
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t handle = entries[static_cast<size_t>(i)];
        CKVQWindow* window = CKVQWindow::FromHandle(handle);
        if (window == nullptr) {
            module.RemoveFromHover(handle);
            continue;
        }
        if (window->HitTest(x, y) == nullptr) {
            SendPoint(window, kMouseLeave, x, y);
            module.RemoveFromHover(handle);
        }
    }

    CKVQWindow* root = GetRoot();
    if (root == nullptr)
        return nullptr;
    CKVQWindow* hit = root->HitTest(x, y);
    if (hit == nullptr)
        return nullptr;
    const uint32_t handle = hit->GetWindowHandle();
    auto listed = [&module](uint32_t h) {
        for (int32_t i = 0; i < std::clamp(module.hoverCount, 0, WindowModule::kHoverMax); ++i) {
            if (module.hover[static_cast<size_t>(i)] == h)
                return true;
        }
        return false;
    };
    if (!listed(handle) && module.hoverCount < WindowModule::kHoverMax) {
        SendPoint(hit, kMouseEnter, x, y);
        // The enter handler may have deleted the window or filled the list meanwhile.
        if (!hit->IsDeleted() && !listed(handle) && module.hoverCount < WindowModule::kHoverMax)
            module.hover[static_cast<size_t>(module.hoverCount++)] = handle;
    }
    return hit;
}

// ---------------------------------------------------------------------------------------------
// Mouse

int32_t CKVQWindowMgr::OnSysLClickDown(int32_t x, int32_t y)
{
    KVQAPI_ScreenToUI(x, y);
    KVQCoreCfg& cfg = GetCoreCfg();
    cfg.IsClickDown = true;
    cfg.nClickDownX = x;
    cfg.nClickDownY = y;
    cfg.nUserSaveX = -1;
    cfg.nUserSaveY = -1;
    longClickStart_ = KVQAPI_timeGetSystemTime();
    WindowModule::Get().drag = 0;

    if (GetRoot() == nullptr)
        return 0;
    RootNotice(kSysLClickDown, x, y, 0);
    HoverUpdate(x, y);

    // Inside the active frame the event is sent first, so the capture messages follow it.
    if (CKVQWindow* hit = FrameRoute(kLClickDown, x, y)) {
        pressed_ = hit->GetWindowHandle();
        hit->SetCapture();
        return 1;
    }
    if (ActiveFrameShown())
        return 0;  // the active frame is modal for left presses

    CKVQWindow* root = GetRoot();
    CKVQWindow* hit = root != nullptr ? root->HitTest(x, y) : nullptr;
    if (hit == nullptr || IsSysControl(hit))
        return 0;
    pressed_ = hit->GetWindowHandle();
    hit->SetCapture();
    SendPoint(hit, kLClickDown, x, y);
    KVQAPI_OutputDebugStr(hit->GetName());
    KVQAPI_OutputDebugStr(kLClickDown);
    return 1;
}

int32_t CKVQWindowMgr::OnSysLClickUp(int32_t x, int32_t y)
{
    KVQAPI_ScreenToUI(x, y);
    KVQCoreCfg& cfg = GetCoreCfg();
    WindowModule& module = WindowModule::Get();
    const uint32_t pressed = pressed_;
    const uint32_t drag = module.drag;
    cfg.IsClickDown = false;
    pressed_ = 0;
    module.drag = 0;

    if (GetRoot() == nullptr)
        return 0;
    RootNotice(kSysLClickUp, x, y, 0);

    if (CKVQWindow* dragged = CKVQWindow::FromHandle(drag)) {
        // 64-bit: far-apart points must not wrap into "near".
        const int64_t dx = static_cast<int64_t>(cfg.nClickDownX) - x;
        const int64_t dy = static_cast<int64_t>(cfg.nClickDownY) - y;
        const int64_t dist2 = dx * dx + dy * dy;
        SendPoint(dragged, kDraggingEnd, x, y);
        const bool longClicked = longClickStart_ == kNoLongClick;
        const uint32_t held = KVQAPI_timeGetSystemTime() - longClickStart_;
        if (longClicked || held > static_cast<uint32_t>(kClickAfterDragMs) || dist2 >= kClickAfterDragDist2)
            return 1;  // the release ends a drag and is not a click
    }

    CKVQWindow* hit = HoverUpdate(x, y);
    if (FrameRoute(kLClickUp, x, y) != nullptr)
        return 1;
    if (ActiveFrameShown())
        return 0;
    if (hit != nullptr && !hit->IsDeleted() && !IsSysControl(hit) && hit->GetWindowHandle() == pressed) {
        SendPoint(hit, kLClickUp, x, y);
        return 1;
    }
    return 0;
}

int32_t CKVQWindowMgr::DoubleClick(int32_t x, int32_t y, const char* notice, const char* event)
{
    KVQAPI_ScreenToUI(x, y);
    if (GetRoot() == nullptr)
        return 0;
    RootNotice(notice, x, y, 0);
    if (FrameRoute(event, x, y) != nullptr)
        return 1;
    CKVQWindow* root = GetRoot();
    CKVQWindow* hit = root != nullptr ? root->HitTest(x, y) : nullptr;
    if (hit == nullptr)
        return 0;
    SendPoint(hit, event, x, y);  // system controls hear double clicks too
    return 1;
}

int32_t CKVQWindowMgr::OnSysLDBClick(int32_t x, int32_t y)
{
    return DoubleClick(x, y, kSysLDBClick, kLDBClick);
}

int32_t CKVQWindowMgr::OnSysRDBClick(int32_t x, int32_t y)
{
    return DoubleClick(x, y, kSysRDBClick, kRDClick);
}

int32_t CKVQWindowMgr::OnSysRClickDown(int32_t x, int32_t y)
{
    KVQAPI_ScreenToUI(x, y);
    if (GetRoot() == nullptr)
        return 0;
    RootNotice(kSysRClickDown, x, y, 0);
    if (FrameRoute(kRClickDown, x, y) != nullptr)
        return 1;
    // Right presses outside the active frame are not dropped, and capture stays.
    CKVQWindow* root = GetRoot();
    CKVQWindow* hit = root != nullptr ? root->HitTest(x, y) : nullptr;
    if (hit == nullptr || IsSysControl(hit))
        return 0;
    SendPoint(hit, kRClickDown, x, y);
    return 1;
}

int32_t CKVQWindowMgr::OnSysRButtonUp(int32_t x, int32_t y)
{
    KVQAPI_ScreenToUI(x, y);
    if (GetRoot() == nullptr)
        return 0;
    RootNotice(kSysRClickDown, x, y, 0);  // the root hears the release under the press's name
    if (FrameRoute(kRClickUp, x, y) != nullptr)
        return 1;
    CKVQWindow* root = GetRoot();
    CKVQWindow* hit = root != nullptr ? root->HitTest(x, y) : nullptr;
    if (hit == nullptr || IsSysControl(hit))
        return 0;
    CKVQWindow* capture = CKVQWindow::FromHandle(WindowModule::Get().capture);
    if (capture != nullptr)
        SendPoint(capture, kRClickUp, x, y, hit);
    if (hit != capture && !hit->IsDeleted()) {
        SendPoint(hit, kRClickUp, x, y);
        return 1;
    }
    return 0;
}

int32_t CKVQWindowMgr::OnSysMouseMove(int32_t x, int32_t y)
{
    KVQAPI_ScreenToUI(x, y);
    if (lastMove_ == KVQPoint{x, y})
        return 0;
    lastMove_ = KVQPoint{x, y};
    if (GetRoot() == nullptr)
        return 0;
    RootNotice(kSysMouseMove, x, y, 0);

    CKVQWindow* pressed = CKVQWindow::FromHandle(pressed_);
    if (pressed != nullptr && GetCoreCfg().IsClickDown) {
        SendPoint(pressed, kDragging, x, y);
        if (WindowModule::Get().drag != 0)
            return 1;  // while dragging, no hover change and no "OnMouseMove"
    }
    if (CKVQWindow* hit = HoverUpdate(x, y)) {
        if (!hit->IsDeleted())
            SendPoint(hit, kMouseMove, x, y);
    }
    return 1;
}

int32_t CKVQWindowMgr::OnSysMouseWheel(int32_t x, int32_t y, int32_t wParam)
{
    KVQAPI_ScreenToUI(x, y);
    if (GetRoot() == nullptr)
        return 0;
    RootNotice(kSysMouseWheel, x, y, wParam);
    CKVQWindow* capture = CKVQWindow::FromHandle(WindowModule::Get().capture);
    if (capture == nullptr)
        return 0;
    CKVQMessage& message = InputMessage();
    message.Int32(x);
    message.Int32(y);
    message.Int32(wParam);
    capture->ProcMessage(kMouseWheel, &message, capture);
    return 1;
}

// ---------------------------------------------------------------------------------------------
// Keys and characters

int32_t CKVQWindowMgr::Key(uint32_t virtualKey, bool down)
{
    uint32_t key = virtualKey;
    CKVQSystemAPI& api = CKVQSystemAPI::Instance();
    if (api.HasKeyTranslation()) {
        const int32_t translated = api.TranslateKey(virtualKey);
        api.SetKeyState(translated, down);
        key = static_cast<uint32_t>(translated);
    }
    RootNotice(down ? kSysKeyDown : kSysKeyUp, static_cast<int32_t>(key), 0, 0);
    CKVQWindow* capture = CKVQWindow::FromHandle(WindowModule::Get().capture);
    if (capture == nullptr || !capture->IsVisible())
        return 0;
    CKVQMessage& message = InputMessage();
    message.UInt32(key);
    capture->ProcMessage(down ? kKeyDown : kKeyUp, &message, capture);
    return 1;
}

int32_t CKVQWindowMgr::OnSysKeyDown(uint32_t virtualKey)
{
    return Key(virtualKey, true);
}

int32_t CKVQWindowMgr::OnSysKeyUp(uint32_t virtualKey)
{
    return Key(virtualKey, false);
}

bool CKVQWindowMgr::OpenConverter()
{
    const std::string& charset = GetCoreCfg().strCharset;
    if (converter_ != nullptr && charset == converterCharset_)
        return true;
    if (converterFailed_ && charset == converterCharset_)
        return false;
    CloseConverter();
    converterCharset_ = charset;
    iconv_t cd = iconv_open(kUnicodeTarget, charset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        converterFailed_ = true;
        return false;
    }
    converter_ = cd;
    return true;
}

void CKVQWindowMgr::CloseConverter()
{
    if (converter_ != nullptr)
        iconv_close(static_cast<iconv_t>(converter_));
    converter_ = nullptr;
    converterFailed_ = false;
}

std::vector<uint16_t> CKVQWindowMgr::ConvertPending(size_t& incompleteTail)
{
    std::vector<uint16_t> units;
    incompleteTail = 0;
    auto cd = static_cast<iconv_t>(converter_);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // every conversion starts from the initial state

    std::string kept;  // the bytes that stay pending: all but those that can never convert
    size_t at = 0;
    // A byte never makes more than one UCS-2 unit.
    std::vector<char> out(2 * pendingChars_.size() + 8);
    while (at < pendingChars_.size()) {
        char* in = pendingChars_.data() + at;
        size_t inLeft = pendingChars_.size() - at;
        char* outAt = out.data();
        size_t outLeft = out.size();
        const size_t result = iconv(cd, &in, &inLeft, &outAt, &outLeft);
        const int error = result == static_cast<size_t>(-1) ? errno : 0;
        const size_t made = out.size() - outLeft;
        for (size_t i = 0; i + 1 < made; i += 2) {
            units.push_back(static_cast<uint16_t>(static_cast<uint8_t>(out[i]) |
                                                  (static_cast<uint8_t>(out[i + 1]) << 8)));
        }
        const size_t consumed = static_cast<size_t>(in - (pendingChars_.data() + at));
        kept.append(pendingChars_, at, consumed);
        at += consumed;
        if (error == EILSEQ) {
            // Never convertible: dropped, so that the characters typed after it still arrive.
            ++at;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            continue;
        }
        if (error == EINVAL) {
            incompleteTail = pendingChars_.size() - at;
            kept.append(pendingChars_, at, std::string::npos);
        } else if (error != 0 || consumed == 0) {
            // Anything else (no progress, no room): keep what is left for the next message.
            kept.append(pendingChars_, at, std::string::npos);
            incompleteTail = pendingChars_.size() - at;
        }
        break;
    }
    pendingChars_.swap(kept);
    return units;
}

int32_t CKVQWindowMgr::OnSysChar(uint32_t byte)
{
    pendingChars_.push_back(static_cast<char>(byte & 0xFFu));
    if (!OpenConverter()) {
        pendingChars_.clear();  // characters are dropped while nothing converts them
        return 0;
    }
    // Typing that no visible window captures goes nowhere: kept, it would reach whichever window
    // is clicked next, and only in part (one character is delivered per byte typed).
    CKVQWindow* capture = CKVQWindow::FromHandle(WindowModule::Get().capture);
    if (capture == nullptr || !capture->IsVisible()) {
        pendingChars_.clear();
        return 0;
    }
    size_t incompleteTail = 0;
    const std::vector<uint16_t> units = ConvertPending(incompleteTail);
    if (!units.empty()) {
        // An unfinished character (a lead byte waiting for its trail) stays for the next byte.
        pendingChars_.erase(0, pendingChars_.size() - incompleteTail);
        uint32_t unit = units.front();
        CKVQMessage& message = InputMessage();
        message.UInt32(unit);
        capture->ProcMessage(kChar, &message, capture);
        return 1;
    }
    if (pendingChars_.size() > kMaxPendingCharBytes)
        pendingChars_.erase(0, pendingChars_.size() - incompleteTail);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Tick and drawing

void CKVQWindowMgr::Update(uint32_t elapsed)
{
    if (CKVQWindow* root = GetRoot())
        root->Update(elapsed);

    if (pressed_ == 0 || longClickStart_ == kNoLongClick)
        return;
    CKVQWindow* pressed = CKVQWindow::FromHandle(pressed_);
    if (pressed == nullptr)
        return;
    // Elapsed time, not a sum of times, so that the clock wrapping does not fire it early.
    const uint32_t longClickTime = GetCoreCfg().nLongClickTime;
    if (KVQAPI_timeGetSystemTime() - longClickStart_ <= longClickTime)
        return;
    longClickStart_ = kNoLongClick;
    CKVQMessage& message = InputMessage();
    uint32_t value = longClickTime;
    message.UInt32(value);
    pressed->ProcMessage(kLongClick, &message, pressed);
}

void CKVQWindowMgr::Render(CKVQDC& device)
{
    if (CKVQWindow* root = GetRoot())
        root->Render(device);
}

void CKVQWindowMgr::Reset()
{
    if (CKVQWindow* root = GetRoot())
        root->Delete();
    root_ = 0;
    layoutFile_.clear();
    bookings_.reset();
    pressed_ = 0;
    longClickStart_ = 0;
    lastMove_ = KVQPoint{};
    pendingChars_.clear();
    CloseConverter();
    converterCharset_.clear();

    WindowModule& module = WindowModule::Get();
    module.activeFrame = 0;
    module.capture = 0;
    module.focus = 0;
    module.drag = 0;
    module.hover.fill(0);
    module.hoverCount = 0;

    KVQCoreCfg& cfg = GetCoreCfg();
    cfg.IsClickDown = false;
}
