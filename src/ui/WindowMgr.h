#pragma once
// The window manager: owns the root of the window tree, loads and saves it, broadcasts named
// messages to the windows that booked them, updates and renders the tree for the shell, and turns
// raw input (client coordinates, key codes, character bytes) into named messages delivered to the
// right windows: root notices first, then the window under the point, the active frame, the
// pressed window or the capture window.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/Types.h"
#include "ui/Message.h"

struct lua_State;
class CKVQDC;
class CKVQMessage;
class CKVQWindow;

// What the last layout load found wrong: why it gave no root, or that the root it gave came
// from a damaged file (records that end before their fields; the rest was loaded as far as it
// went, as loaders do).
struct LayoutLoadError {
    enum class Kind { None, NotFound, Empty, Json, Damaged, NoRoot };
    Kind kind = Kind::None;
    int64_t byte = -1;  // Damaged: the offset in the file where the damage was met, -1 unknown
    // Damaged: the root's record needs more bytes than the file holds (a cut-short copy).
    int64_t fileSize = 0;
    int64_t neededSize = 0;
    bool IsCutShort() const { return neededSize > fileSize; }
};

class CKVQWindowMgr {
public:
    static CKVQWindowMgr& Instance();

    // The file's window becomes the new root. False when there is none (GetLoadError says why);
    // a damaged file that still gives a root returns true and is told by GetLoadError.
    bool Load(const char* path);
    const LayoutLoadError& GetLoadError() const { return loadError_; }
    bool Save(const char* path);
    void RevisePosInfo(const char* path);
    CKVQWindow* GetRoot() const;
    // Makes a window built in memory the root (tests, tools); the old root is deleted as by Load.
    void SetRoot(CKVQWindow* window);
    // 1 when added to the receivers of name, 0 when already there.
    int32_t BookMessage(const char* name, CKVQWindow* window);
    int32_t UnBookMessage(const char* name, CKVQWindow* window);
    void ProcessMessage(const char* name, CKVQMessage* message, CKVQWindow* sender);

    // Input, in client coordinates (converted with the automatic scale before routing).
    int32_t OnSysLClickDown(int32_t x, int32_t y);
    int32_t OnSysLClickUp(int32_t x, int32_t y);
    int32_t OnSysLDBClick(int32_t x, int32_t y);
    int32_t OnSysRClickDown(int32_t x, int32_t y);
    int32_t OnSysRButtonUp(int32_t x, int32_t y);
    int32_t OnSysRDBClick(int32_t x, int32_t y);
    int32_t OnSysMouseMove(int32_t x, int32_t y);
    int32_t OnSysMouseWheel(int32_t x, int32_t y, int32_t wParam);
    int32_t OnSysKeyDown(uint32_t virtualKey);
    int32_t OnSysKeyUp(uint32_t virtualKey);
    int32_t OnSysChar(uint32_t byte);

    void Update(uint32_t elapsed);  // update cascade and the long-click check
    void Render(CKVQDC& device);

    // Drops the root, bookings and input state (tests).
    void Reset();

    // The pressed window's handle (0: none) and the long-click start (kNoLongClick: none).
    uint32_t GetPressedWindow() const { return pressed_; }
    uint32_t GetLongClickStart() const { return longClickStart_; }
    // Bytes of a multibyte character still waiting for the rest of it.
    const std::string& PendingCharBytes() const { return pendingChars_; }

    static constexpr uint32_t kNoLongClick = 0xFFFFFFFFu;
    static constexpr int32_t kClickAfterDragMs = 200;   // a drag released sooner ...
    static constexpr int32_t kClickAfterDragDist2 = 25;  // ... and nearer (squared) is still a click
    // Most bytes kept for a character that is still being typed.
    static constexpr size_t kMaxPendingCharBytes = 64;

private:
    CKVQWindowMgr();
    ~CKVQWindowMgr() = delete;

    CKVQMessage& InputMessage();
    void RootNotice(const char* name, int32_t a, int32_t b, int32_t c);
    void SendPoint(CKVQWindow* window, const char* name, int32_t x, int32_t y, CKVQWindow* sender = nullptr);
    CKVQWindow* FrameRoute(const char* name, int32_t x, int32_t y);
    bool ActiveFrameShown() const;
    CKVQWindow* HoverUpdate(int32_t x, int32_t y);
    int32_t DoubleClick(int32_t x, int32_t y, const char* notice, const char* event);
    int32_t Key(uint32_t virtualKey, bool down);
    // Converts the pending bytes; returns the UTF-16 units made. Bytes that can never convert are
    // dropped from the pending bytes; incompleteTail is the count of bytes still waiting.
    bool OpenConverter();
    void CloseConverter();
    std::vector<uint16_t> ConvertPending(size_t& incompleteTail);

    uint32_t root_ = 0;  // by handle: a root deleted by a script simply stops resolving
    std::string layoutFile_;
    LayoutLoadError loadError_;
    std::unique_ptr<std::map<std::string, std::vector<uint32_t>>> bookings_;

    uint32_t pressed_ = 0;
    uint32_t longClickStart_ = 0;
    KVQPoint lastMove_{};
    CKVQMessage inputMessage_{CKVQMessage::kEventCapacity};
    lua_State* messageRefState_ = nullptr;  // the interpreter the message's script reference is for

    std::string pendingChars_;
    void* converter_ = nullptr;  // iconv_t, null while not open
    bool converterFailed_ = false;
    std::string converterCharset_;
};

// Client coordinates -> layout coordinates with the automatic scale of the core configuration.
void KVQAPI_ScreenToUI(int32_t& x, int32_t& y);
