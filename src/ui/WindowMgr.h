#pragma once
// The window manager: owns the root of the window tree, loads and saves it, broadcasts named
// messages to the windows that booked them, updates and renders the tree for the shell, and turns
// raw input (client coordinates, key codes, character bytes) into named messages delivered to the
// right windows: root notices first, then the window under the point, the active frame, the
// pressed window or the capture window.

#include <cstdint>

class CKVQDC;
class CKVQMessage;
class CKVQWindow;

class CKVQWindowMgr {
public:
    static CKVQWindowMgr& Instance();

    bool Load(const char* path);  // the file's window becomes the new root
    bool Save(const char* path);
    void RevisePosInfo(const char* path);
    CKVQWindow* GetRoot() const;
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
};

// Client coordinates -> layout coordinates with the automatic scale of the core configuration.
void KVQAPI_ScreenToUI(int32_t& x, int32_t& y);
