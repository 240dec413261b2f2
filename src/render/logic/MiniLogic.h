#pragma once
// A logic component that answers messages with attribute writes, without scripts. Each logic
// names a message and lists variables; a variable picks a target window (the receiving window,
// its parent, a child or a sibling by name), optionally a render object on it, an attribute, and
// how the written value is made (a constant, another attribute, a configuration value, a
// parameter of the message, or a change of the current value).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/Render.h"

class CKVQWindow;
class CKVQMessage;

class CRenderObject_MiniLogic : public IRender {
public:
    static constexpr const char* kClassName = "MiniLogic";

    enum ObjectKind : int32_t {
        kWindow = 0,
        kParent = 1,
        kChild = 2,
        kSibling = 3,
    };
    enum ValueType : int32_t {
        kString = 0,
        kAttribute = 1,
        kAppSet = 2,
        kParamString = 3,
        kParamInt = 4,
        kParamFloat = 5,
        kIncrementSelf = 6,
        kDecrementSelf = 7,
        kReverseSelf = 8,
    };
    static constexpr int32_t kParamCount = 10;
    static constexpr size_t kMaxParamString = 256;
    static constexpr size_t kMaxConfigPart = 127;

    struct Variable {
        uint32_t target = 0;  // run time: the resolved target window's handle; 0 = not resolved
        int32_t nObjectID = kWindow;
        CKVQString KVQWindowName;
        CKVQString RenderName;
        CKVQString AttributeName;
        int32_t nAttributeNameRef = -1;
        int32_t nValueType = kString;
        int32_t nParamIndex = 0;
        CKVQString value;
    };
    struct Logic {
        CKVQString msg;
        int32_t ListenGlobal = 0;
        std::vector<std::unique_ptr<Variable>> varLst;
    };

    CRenderObject_MiniLogic();

    const char* GetClassName() const override { return kClassName; }
    void TransferRecord(CIArchive& ar) override;
    void Describe(CIEditHook& hook) override;
    bool CanDraw() override { return false; }
    CKVQEditHook& AttributeTable() const override;
    size_t ObjectSize() const override { return sizeof(CRenderObject_MiniLogic); }

    static IRender* Create() { return new CRenderObject_MiniLogic; }

    // Editor commands. On the component (logic -1): "AddLogic", "Paste". On logic number logic
    // (variable -1): "Delete", "Copy", "ReplaceByPaste", "Run", and the "varLst" group's
    // "AddVariable" and "Paste". On a variable: "Delete", "Copy". False when nothing was done.
    bool ExecuteCommand(const char* command, int32_t logic = -1, int32_t variable = -1);
    // The same commands addressed by group path: the numbers come from the "LogicN" and
    // "VariableN" groups.
    bool ExecuteCommand(const char* groupPath, const char* command) override;

    // Handlers for every logic's message; bookings for window when it is given.
    void Start(CKVQWindow* window, bool book);
    // Runs the first logic whose msg is name; false when there is none.
    bool Run(const char* name, CKVQWindow* window, CKVQMessage* message);

    // The AppSet split of "@section@key": false when text does not start with "@".
    static bool SplitConfigPath(const std::string& text, std::string& section, std::string& key);

    std::vector<std::unique_ptr<Logic>> logics;
    int32_t IsInitialize = 0;  // run time

private:
    std::string MakeValue(const Variable& v, CKVQWindow* window, CKVQMessage* message, const std::string& current,
                          int32_t kind) const;
};
