#include "app/Engine.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>

#include "app/Clock.h"
#include "app/CoreCfg.h"
#include "app/StartConfig.h"
#include "common/Notices.h"
#include "common/Types.h"
#include "gfx/DC.h"
#include "gfx/DeviceKinds.h"
#include "gfx/Font.h"
#include "gfx/Texture.h"
#include "io/FileSystem.h"
#include "render/RenderRegistry.h"
#include "script/LuaHost.h"
#include "services/Curl.h"
#include "services/SimpleAudioEngine.h"
#include "ui/Message.h"
#include "ui/TimerSystem.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

// The locale games written for this engine were made under. Numbers never depend on it (they
// are always read and written in the C locale), so its absence here changes nothing.
constexpr const char* kGameLocale = "Chinese_People's Republic of China.936";

constexpr const char* kOnAutoScale = "OnAutoScale";
constexpr const char* kOnPause = "OnKVQPause";
constexpr const char* kOnResume = "OnKVQResume";


struct EngineState {
    bool haveLastFrameTime = false;
    uint32_t lastFrameTime = 0;
    bool quitRequested = false;
    std::string errorDisplayText;
    std::string startLayoutProblem;
};

EngineState& State()
{
    static EngineState state;
    return state;
}

void Broadcast(const char* name)
{
    CKVQMessage message;
    CKVQWindowMgr::Instance().ProcessMessage(name, &message, nullptr);
}

// Marks the whole root dirty (its rectangle reaches the device with flag 0).
void InvalidateRoot()
{
    if (CKVQWindow* root = CKVQWindowMgr::Instance().GetRoot())
        root->Invalidate(nullptr, 0);
}

KVQRect RootRect()
{
    CKVQWindow* root = CKVQWindowMgr::Instance().GetRoot();
    return root != nullptr ? root->GetRect() : KVQRect{};
}

// Truncation toward zero that stays defined for values outside the int32 range.
int32_t Truncate(double value)
{
    if (!(value == value))
        return 0;
    if (value >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (value <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

std::string DiskPathOf(const std::string& path)
{
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    return !p.empty() && p[0] == '/' ? p : GetFileSystem().GetApplicationFolder() + p;
}

// Why a start layout that opened nowhere did not: a file that is there but cannot be read, or
// one that is not there at all (with the places looked in, and a JSON form beside it if any).
std::string DescribeMissingLayout(const std::string& name)
{
    namespace fs = std::filesystem;
    const std::string quoted = "start layout '" + name + "'";
    const fs::path disk = DiskPathOf(name);
    std::error_code error;
    if (fs::is_directory(disk, error))
        return quoted + " is a folder, not a layout file";
    if (fs::exists(disk, error))
        return quoted + " cannot be read";
    std::string text = quoted + " not found (looked in: " + GetFileSystem().DescribeLookup(name) + ")";
    fs::path json = disk;
    json.replace_extension(".json");
    if (json != disk && fs::is_regular_file(json, error))
        text += "; " + json.filename().string() + " is there: build it with kvqtool layout build";
    return text;
}

std::string DescribeStartLayoutProblem(const StartChoice& start, const LayoutLoadError& error)
{
    if (start.startLayout.empty())
        return "no start layout: default.cfg names no \"MainUI\" in section \"Game\", and the command line "
               "gives none";
    const std::string quoted = "start layout '" + start.startLayout + "'";
    switch (error.kind) {
    case LayoutLoadError::Kind::None: return "";
    case LayoutLoadError::Kind::NotFound: return DescribeMissingLayout(start.startLayout);
    case LayoutLoadError::Kind::Empty: return quoted + " is empty";
    case LayoutLoadError::Kind::Json: return quoted + " is JSON, build it with kvqtool layout build";
    case LayoutLoadError::Kind::Damaged:
        return quoted + " is damaged" + (error.byte >= 0 ? " at byte " + std::to_string(error.byte) : std::string()) +
               (error.IsCutShort() ? " (cut short: " + std::to_string(error.fileSize) + " of its " +
                                         std::to_string(error.neededSize) + " bytes)"
                                   : std::string());
    case LayoutLoadError::Kind::NoRoot: break;
    }
    return quoted + " loads no root window";
}

// The package named by "Packet": one notice when it cannot be opened, holds nothing, or has a
// damaged directory. Lookups go on as they would (loose files still open).
void ReportPackageProblems(const std::string& name)
{
    if (name.empty())
        return;
    const std::string file = name + ".KVQ";
    const CPackage* package = GetFileSystem().FindPackage(name);
    if (package == nullptr || package->Stream() == nullptr) {
        notices::Notice("package '" + file + "' named by \"Packet\" in default.cfg cannot be opened (looked in: " +
                        DiskPathOf(file) + ")");
    } else if (package->Entries().empty()) {
        notices::Notice("package '" + file + "' named by \"Packet\" in default.cfg has no entries" +
                        (package->Damage().empty() ? std::string() : ": " + package->Damage()));
    } else if (!package->Damage().empty()) {
        notices::Notice("package '" + file + "' is damaged: " + package->Damage() + "; its first " +
                        std::to_string(package->Entries().size()) + " entries are used");
    }
}

void LoadStartLayout(bool suppressStartLayout)
{
    EngineState& state = State();
    state.startLayoutProblem.clear();
    const StartChoice start = ChooseStart(GetCoreCfg(), GetConfigStore());
    if (!start.fromCommandLine && suppressStartLayout)
        return;
    GetFileSystem().SetPackageName(start.packageName);
    if (!start.fromCommandLine)
        ReportPackageProblems(start.packageName);
    CKVQWindowMgr& manager = CKVQWindowMgr::Instance();
    manager.Load(start.startLayout.c_str());
    if (CKVQWindow* root = manager.GetRoot())
        root->SetPos(KVQPoint{0, 0});
    state.startLayoutProblem = DescribeStartLayoutProblem(start, manager.GetLoadError());
}

// A script error becomes the text kept on screen in debug mode. It is said on standard error as
// well: failures of files and handlers were said by the host as they happened; the others
// (in-memory chunks) are said here. Either way once per distinct text, with repeats counted, so an
// error raised every frame is one line.
void TakeScriptError()
{
    if (!GetCoreCfg().IsDebuging)
        return;
    CKVQLuaHost* host = GetCurrentHost();
    if (host == nullptr || host->GetLastErrorText()[0] == 0)
        return;
    host->ShowPendingError();
    EngineState& state = State();
    state.errorDisplayText = host->GetLastErrorText();
    host->ClearLastError();
}

// Size of the engine's own font, made from the system's fallback face when the game has loaded no
// font of its own: an error must be readable before the game's first text works.
constexpr int32_t kErrorFontSize = 16;

CKVQFont* ErrorFont()
{
    if (CKVQFont* font = CKVQFontMgr::Instance().GetDefaultFont())
        return font;
    static std::unique_ptr<CKVQFont> own;
    static bool tried = false;
    if (!tried) {
        tried = true;
        auto font = std::make_unique<CKVQFont>(CKVQFontMgr::Instance().GetCreateCallback());
        if (font->CreatePlatformFont(CKVQString(""), kErrorFontSize))
            own = std::move(font);
    }
    return own.get();
}

// Draws the kept error text over the frame, in red from the root's top-left corner.
void DrawErrorDisplay(const KVQRect& rect)
{
    const std::string& text = State().errorDisplayText;
    if (!GetCoreCfg().IsDebuging || text.empty())
        return;
    CKVQFont* font = ErrorFont();
    if (font == nullptr)
        return;
    const CKVQString wide(text.c_str());
    const std::u16string_view units(reinterpret_cast<const char16_t*>(wide.GetWideString()),
                                    static_cast<size_t>(wide.GetLength()));
    const float scale = font->GetScale();
    font->SetScale(1.0f);
    font->DrawText(units, rect, FONT_LEFT, PackColor(RGBA{255, 0, 0, 255}));
    font->SetScale(scale);
}

}  // namespace

CAutoFlip::~CAutoFlip()
{
    if (CKVQDC* device = GetCurrentDevice())
        device->RequestRedraw();
}

bool KVQAPI_Init(int32_t kind, bool suppressStartLayout, std::string* error)
{
    std::setlocale(LC_ALL, kGameLocale);  // fails on most systems: that is fine
    std::setlocale(LC_NUMERIC, "C");

    ReportConfigProblems(LoadConfig());
    RegisterRenderClasses();
    InitScriptHost();
    RegisterDeviceKinds();

    const char* name = DeviceKindName(kind);
    CKVQDC* device = name != nullptr ? CreateDevice(name) : nullptr;
    if (device == nullptr) {
        if (error != nullptr) {
            *error = name != nullptr ? std::string("the drawing device \"") + name +
                                           "\" is not available on this platform"
                                     : "unknown drawing device kind " + std::to_string(kind);
        }
        return false;
    }
    SetCurrentDevice(device);  // kept for the life of the process, like the window tree
    SetTextureKind(DeviceKindTextureKind(kind));

    KVQAPI_SetFrameInterval(kDefaultFrameInterval);
    LoadStartLayout(suppressStartLayout);
    return true;
}

const std::string& KVQAPI_StartLayoutProblem()
{
    return State().startLayoutProblem;
}

void KVQAPI_Quit()
{
    State().quitRequested = true;
}

bool KVQAPI_QuitRequested()
{
    return State().quitRequested;
}

int32_t KVQAPI_Update()
{
    KVQCoreCfg& cfg = GetCoreCfg();
    const uint32_t now = KVQAPI_timeGetSystemTime();
    if (cfg.nLastTick == 0 || cfg.nLastTick > now)
        cfg.nLastTick = now;
    cfg.nTickAccum += now - cfg.nLastTick;
    cfg.nLastTick = now;
    if (cfg.nTickAccum < cfg.nFrameInterval)
        return kNoTick;
    cfg.nTickAccum -= cfg.nFrameInterval;
    if (cfg.nTickAccum >= kMaxTickBacklog)
        cfg.nTickAccum = 0;
    if (cfg.IsPaused)
        return kNoTick;

    AdvanceFrameCounter();
    CAutoFlip flip;
    EngineState& state = State();
    const uint32_t frameTime = KVQAPI_timeGetTime();
    if (!state.haveLastFrameTime) {
        state.lastFrameTime = frameTime;  // the first tick has dt = 0
        state.haveLastFrameTime = true;
    }
    const uint32_t dt = frameTime - state.lastFrameTime;
    if (dt != 0) {
        KVQCurlDispatch(dt);  // at most one finished HTTP response, before anything else
        state.lastFrameTime = frameTime;
        CKVQWindowMgr::Instance().Update(dt);
        WindowModule::Get().ReleaseDeleted();
        KVQAPI_UpdateTimer(static_cast<int32_t>(dt));
        InvalidateRoot();
    }
    return kTickRun;
}

void KVQAPI_Render()
{
    if (GetCoreCfg().IsPaused)
        return;
    CKVQDC* device = GetCurrentDevice();
    if (device == nullptr)
        return;
    KVQRect paint;
    device->GetInvalidRect(paint);
    if (!paint.IsEmpty()) {
        const KVQRect rect = RootRect();
        device->InvalidateRect(rect, 0);
        device->BeginScene();
        CKVQWindowMgr::Instance().Render(*device);
        TakeScriptError();
        DrawErrorDisplay(rect);
        device->EndScene();
    }
    if (device->IsDirty())
        device->Flip();
}

bool KVQAPI_AutoScale()
{
    KVQCoreCfg& cfg = GetCoreCfg();
    if (!cfg.IsAutoScale)
        return true;
    CKVQWindow* root = CKVQWindowMgr::Instance().GetRoot();
    const int32_t width = root != nullptr ? root->GetWidth() : 0;
    const int32_t height = root != nullptr ? root->GetHeight() : 0;

    const float sx = static_cast<float>(static_cast<double>(cfg.nScreenWidth) / width);
    const float sy = static_cast<float>(static_cast<double>(cfg.nScreenHeight) / height);
    float scale = sx < sy ? sx : sy;
    // A root without a size (or no root) would give an infinite or undefined scale: keep 1.
    if (!(sx > 0.0f) || !(sy > 0.0f) || !std::isfinite(scale))
        scale = 1.0f;
    cfg.fAutoScaleX = scale;
    cfg.fAutoScaleY = scale;
    const int32_t offsetX = Truncate((cfg.nScreenWidth - static_cast<double>(width) * scale) / 2.0);
    const int32_t offsetY = Truncate((cfg.nScreenHeight - static_cast<double>(height) * scale) / 2.0);
    cfg.nAutoOffsetX = offsetX < 0 ? 0 : offsetX;
    cfg.nAutoOffsetY = offsetY < 0 ? 0 : offsetY;

    Broadcast(kOnAutoScale);
    return true;
}

void KVQAPI_Pause()
{
    Broadcast(kOnPause);
    KVQCurlPause();
    GetCoreCfg().IsPaused = true;
    // The fonts' atlas pages are textures of the cache: releasing the cache releases them too.
    CTextureCache::Instance().ReleaseAll();
    if (CKVQDC* device = GetCurrentDevice())
        device->Shutdown();
    SimpleAudioEngine* audio = SimpleAudioEngine::sharedEngine();
    audio->pauseAllEffects();
    audio->pauseBackgroundMusic();
}

void KVQAPI_Resume()
{
    GetCoreCfg().IsPaused = false;
    KVQCurlResume();
    CTextureCache::Instance().UploadAll();  // the fonts' atlas pages among them
    if (CKVQDC* device = GetCurrentDevice())
        device->ResetDevice();
    SimpleAudioEngine* audio = SimpleAudioEngine::sharedEngine();
    audio->resumeAllEffects();
    audio->resumeBackgroundMusic();
    Broadcast(kOnResume);
    InvalidateRoot();
}

int32_t KVQAPI_Exit()
{
    // The HTTP worker stops: the transfer under way is cancelled and queued requests dropped.
    KVQCurlShutdown();
    if (CKVQWindow* root = CKVQWindowMgr::Instance().GetRoot())
        root->OnUnload();
    return 0;
}

bool KVQAPI_CaptureFrame(std::vector<uint8_t>& rgba, int32_t& width, int32_t& height)
{
    CKVQDC* device = GetCurrentDevice();
    if (device == nullptr)
        return false;
    // A paused engine has handed back the device's buffers and the textures; drawing then would
    // give a blank frame on some devices and a full one on others. They are restored for this one
    // frame and handed back again, quietly: the game is not told, and it stays paused.
    const bool paused = GetCoreCfg().IsPaused;
    if (paused) {
        CTextureCache::Instance().UploadAll();
        device->ResetDevice();
    }
    KVQRect rect = RootRect();
    if (rect.IsEmpty())
        rect = KVQRect{0, device->GetWidth(), 0, device->GetHeight()};
    device->InvalidateRect(rect, 0);
    device->BeginScene();
    CKVQWindowMgr::Instance().Render(*device);
    DrawErrorDisplay(rect);
    device->EndScene();
    const bool read = device->ReadFrame(rgba, width, height);
    if (paused) {
        CTextureCache::Instance().ReleaseAll();
        device->Shutdown();
    }
    return read;
}

const std::string& GetErrorDisplayText()
{
    return State().errorDisplayText;
}

void ResetEngineClock()
{
    ResetClocks();
    KVQCoreCfg& cfg = GetCoreCfg();
    cfg.nLastTick = 0;
    cfg.nTickAccum = 0;
    cfg.IsPaused = false;
    State() = EngineState{};
}
