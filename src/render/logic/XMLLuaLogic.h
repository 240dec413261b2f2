#pragma once
// A logic component like LuaLogic whose table of messages and functions comes from an XML file
// (root "GameLogic", one "Event" element per message) instead of the layout. The table is built
// when the component starts and is not stored in layouts.

#include <cstdint>
#include <string>
#include <vector>

#include "render/Render.h"

class CKVQWindow;
class CKVQMessage;

class CRenderObject_XMLLuaLogic : public IRender {
public:
    static constexpr const char* kClassName = "XMLLuaLogic";
    // Deeper XML documents are refused before they are parsed (the parser recurses per level).
    static constexpr int32_t kMaxXmlDepth = 256;

    struct Entry {
        CKVQString Msg;
        int32_t ListenGlobal = 0;
        CKVQString LuaFunc;
        int32_t messageRef = -1;
        int32_t LuaFuncRef = -1;
    };

    CRenderObject_XMLLuaLogic();

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;
    bool CanDraw() override { return false; }
    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_XMLLuaLogic); }

    static IRender* Create() { return new CRenderObject_XMLLuaLogic; }

    // Editor commands "ParseXML" and "ExecuteLua" (for the component's window).
    bool ExecuteCommand(const char* command);
    // The same commands from the editor; both concern the whole component, whatever its group.
    bool ExecuteCommand(const char* groupPath, const char* command) override
    {
        (void)groupPath;
        return ExecuteCommand(command);
    }

    // Runs strLuaFile and refreshes the function references of the table.
    void ExecuteLua();
    // Rebuilds the table from strXMLFile: handlers for its messages, bookings for window.
    void ParseXML(CKVQWindow* window);
    // As LuaLogic: -1 when no entry matches, else the host's call result.
    int32_t Call(const char* name, CKVQWindow* window, CKVQMessage* message, CKVQWindow* sender);

    CKVQString strXMLFile;
    CKVQString strLuaFile;
    std::vector<Entry> entries;  // run time
};
