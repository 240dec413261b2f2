#pragma once
// A logic component that forwards messages: each link names an incoming message and the message
// sent onward, to the parent (or a named ancestor), a sibling, a child, the window itself, or
// every window booked for it with the window manager.

#include <cstdint>
#include <memory>
#include <vector>

#include "render/Render.h"

class CKVQWindow;
class CKVQMessage;

class CRenderObject_BridgeMessage : public IRender {
public:
    static constexpr const char* kClassName = "BridgeMessage";

    enum LinkType : int32_t {
        kParent = 0,
        kSibling = 1,
        kChild = 2,
        kSelf = 3,
        kGlobal = 4,
    };
    enum LinkFlag : uint32_t {
        kListenGlobal = 1u << 0,
        kSenderSelf = 1u << 1,
    };

    struct Link {
        int32_t nLinkType = kParent;
        CKVQString WndName;
        uint32_t target = 0;  // run time: the resolved target window's handle
        uint32_t flags = 0;
        CKVQString msg;
        CKVQString transmsg;
    };

    CRenderObject_BridgeMessage();

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;
    bool CanDraw() override { return false; }
    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_BridgeMessage); }

    static IRender* Create() { return new CRenderObject_BridgeMessage; }

    // Editor commands: "AddMsg" and "Paste" on the component (item -1); "Delete" and "Copy" on
    // link number item.
    bool ExecuteCommand(const char* command, int32_t item = -1);
    // The same commands addressed by group path: the link number comes from its "LinkN" group.
    bool ExecuteCommand(const char* groupPath, const char* command) override;

    // Handlers for every link's message and bookings for window (the load start-up). Links that
    // would send their own message back to their own window are passed over here, in the
    // editor's registration and when bridging.
    void Start(CKVQWindow* window);
    // The editor's registration: handlers only.
    void RegisterLinks();
    // Sends the transmsg of every link for name.
    void Bridge(const char* name, CKVQWindow* window, CKVQMessage* message, CKVQWindow* sender);

    std::vector<std::unique_ptr<Link>> links;
    int32_t IsInitialize = 0;  // run time
};
