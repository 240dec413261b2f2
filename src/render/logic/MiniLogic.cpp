#include "render/logic/MiniLogic.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/CoreCfg.h"
#include "io/Archive.h"
#include "io/EditHook.h"
#include "io/RecordBlock.h"
#include "render/logic/LogicSupport.h"
#include "render/logic/LuaLogic.h"
#include "ui/Message.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

constexpr int32_t kEditPlain = 0;
constexpr int32_t kEditText = 1;
constexpr int32_t kEditCheck = 2;
constexpr int32_t kEditChoice = 3;
constexpr int32_t kEditCommands = 5;

constexpr const char* kOnLoad = "OnLoad";
constexpr const char* kComponentCommands = "AddLogic|Paste|";
constexpr const char* kLogicCommands = "Delete|Copy|ReplaceByPaste|Run|";
constexpr const char* kVariableListCommands = "AddVariable|Paste|";
constexpr const char* kVariableCommands = "Delete|Copy|";
constexpr const char* kBoolHint = "false|true|";
constexpr const char* kObjectHint = "Window|Parent|Child|Sibling|";
constexpr const char* kValueTypeHint =
    "String|Attribute|AppSet|ParamString|ParamInt|ParamFloat|IncrementSelf|DecrementSelf|ReverseSelf|";
constexpr const char* kParamIndexHint = "0|1|2|3|4|5|6|7|8|9|";

// Smallest stored forms: a logic is a string, a count and a bool; a variable four strings and
// three numbers.
constexpr int32_t kMinLogicBytes = 8 + 4 + 4;
constexpr int32_t kMinVariableBytes = 4 * 8 + 3 * 4;

using Logic = CRenderObject_MiniLogic::Logic;
using Variable = CRenderObject_MiniLogic::Variable;

// Logics and variables are copied through separate buffers: a variable's record read as a
// logic would make a logic out of unrelated bytes.
CKVQMessage& LogicClipboard()
{
    static CKVQMessage clipboard(CKVQMessage::kEventCapacity);
    return clipboard;
}

CKVQMessage& VariableClipboard()
{
    static CKVQMessage clipboard(CKVQMessage::kEventCapacity);
    return clipboard;
}

void TransferVariable(CIArchive& ar, Variable& v)
{
    ar.String(v.KVQWindowName, "KVQWindowName");
    ar.String(v.RenderName, "RenderName");
    ar.String(v.AttributeName, "AttributeName");
    ar.String(v.value, "value");
    ar.Int32(v.nObjectID, "nObjectID");
    ar.Int32(v.nValueType, "nValueType");
    ar.Int32(v.nParamIndex, "nParamIndex");
}

void TransferLogic(CIArchive& ar, Logic& logic)
{
    ar.String(logic.msg, "msg");
    logic_support::TransferOwnedList(ar, "varLst", kMinVariableBytes, logic.varLst, &TransferVariable);
    bool listen = logic.ListenGlobal != 0;
    ar.Bool(listen, "ListenGlobal");
    if (ar.IsLoading())
        logic.ListenGlobal = listen ? 1 : 0;
}

template <class T>
void CopyTo(CKVQMessage& clipboard, void (*transfer)(CIArchive&, T&), T& item)
{
    clipboard.Buffer().Reset();
    clipboard.setMode(CIArchive::SM_WRITE);
    transfer(clipboard, item);
}

template <class T>
std::unique_ptr<T> PasteFrom(CKVQMessage& clipboard, void (*transfer)(CIArchive&, T&))
{
    if (clipboard.GetSize() == 0)
        return nullptr;
    clipboard.setMode(CIArchive::SM_READ);
    auto item = std::make_unique<T>();
    transfer(clipboard, *item);
    if (clipboard.GetError() != 0)
        return nullptr;
    return item;
}

void OnLoadHandler(IRender* self, const char* name, CKVQWindow* owner, CKVQMessage* message, CKVQWindow*)
{
    auto* logic = static_cast<CRenderObject_MiniLogic*>(self);
    logic->Start(owner, true);
    logic->Run(name, owner, message);
}

void LogicHandler(IRender* self, const char* name, CKVQWindow* owner, CKVQMessage* message, CKVQWindow*)
{
    static_cast<CRenderObject_MiniLogic*>(self)->Run(name, owner, message);
}

void OnInitializeSet(void* object, const char*, int32_t)
{
    if (auto* logic = static_cast<CRenderObject_MiniLogic*>(object))
        logic->Start(nullptr, false);
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...)
{
    char buffer[128];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

// Table kinds whose values are signed or unsigned integers, and booleans.
bool IsSignedKind(int32_t kind)
{
    return kind == 1 || kind == 5 || kind == 6 || kind == 7;
}

bool IsUnsignedKind(int32_t kind)
{
    return kind == 8 || kind == 9 || kind == 10;
}

bool IsBooleanKind(int32_t kind)
{
    return kind == 3 || kind == 4 || kind == 14;
}

// Numbers as the C library reads them, wrapped to 32 bits: arithmetic on them cannot overflow.
uint32_t ParseWrapped(const std::string& text)
{
    return static_cast<uint32_t>(std::strtoll(text.c_str(), nullptr, 10));
}

// Positions the message at the start of parameter index (where its sender wrote it).
bool SeekParameter(CKVQMessage* message, int32_t index)
{
    if (!message || index < 0 || index >= CRenderObject_MiniLogic::kParamCount)
        return false;
    return message->SeekParameter(index);
}

CKVQWindow* ResolveTarget(Variable& v, CKVQWindow* window)
{
    return logic_support::ResolveCached(v.target, window, [&v](CKVQWindow* from) -> CKVQWindow* {
        switch (v.nObjectID) {
        case CRenderObject_MiniLogic::kWindow:
            return from;
        case CRenderObject_MiniLogic::kParent:
            return from->GetParent();
        case CRenderObject_MiniLogic::kChild:
            return from->GetChild(v.KVQWindowName.c_str());
        case CRenderObject_MiniLogic::kSibling: {
            CKVQWindow* parent = from->GetParent();
            return parent ? parent->GetChild(v.KVQWindowName.c_str()) : nullptr;
        }
        default:
            return nullptr;
        }
    });
}

}  // namespace

CRenderObject_MiniLogic::CRenderObject_MiniLogic()
{
    RegisterHandler(kOnLoad, &OnLoadHandler);
}

CKVQEditHook& CRenderObject_MiniLogic::AttributeTable() const
{
    static CKVQEditHook table;
    return table;
}

void CRenderObject_MiniLogic::TransferRecord(CIArchive& ar)
{
    logic_support::TransferOwnedList(ar, "logics", kMinLogicBytes, logics, &TransferLogic);
}

void CRenderObject_MiniLogic::Describe(CIEditHook& hook)
{
    hook.BeginGroup(this, kClassName, kEditCommands, kComponentCommands, nullptr, nullptr, 0, false);
    hook.EnterGroup();
    DescribeBase(hook);
    logic_support::BeginItemList(hook, &logics, "logics");
    char itemName[32];
    for (size_t i = 0; i < logics.size(); ++i) {
        Logic& logic = *logics[i];
        std::snprintf(itemName, sizeof itemName, "Logic%zu", i);
        hook.BeginGroup(&logic, itemName, kEditCommands, kLogicCommands, nullptr, nullptr, 0, false);
        hook.EnterGroup();
        hook.String(&logic.msg, "msg", kEditText, "", nullptr, nullptr, 0);
        hook.Int32AsBool(&logic.ListenGlobal, "ListenGlobal", kEditChoice, kBoolHint, nullptr, nullptr, 0);
        hook.BeginGroup(&logic.varLst, "varLst", kEditCommands, kVariableListCommands, nullptr, nullptr, 0, false);
        hook.EnterGroup();
        for (size_t j = 0; j < logic.varLst.size(); ++j) {
            Variable& v = *logic.varLst[j];
            std::snprintf(itemName, sizeof itemName, "Variable%zu", j);
            hook.BeginGroup(&v, itemName, kEditCommands, kVariableCommands, nullptr, nullptr, 0, false);
            hook.EnterGroup();
            hook.Int32(&v.nObjectID, "nObjectID", kEditChoice, kObjectHint, nullptr, nullptr, 0);
            hook.String(&v.KVQWindowName, "KVQWindowName", kEditText, "", nullptr, nullptr, 0);
            hook.String(&v.RenderName, "RenderName", kEditText, "", nullptr, nullptr, 0);
            hook.String(&v.AttributeName, "AttributeName", kEditText, "", nullptr, nullptr, 0);
            hook.Int32(&v.nAttributeNameRef, "nAttributeNameRef", kEditPlain, "", nullptr, nullptr, 0);
            hook.Int32(&v.nValueType, "nValueType", kEditChoice, kValueTypeHint, nullptr, nullptr, 0);
            hook.Int32(&v.nParamIndex, "nParamIndex", kEditChoice, kParamIndexHint, nullptr, nullptr, 0);
            hook.String(&v.value, "value", kEditText, "", nullptr, nullptr, 0);
            hook.LeaveGroup();
        }
        hook.LeaveGroup();
        hook.LeaveGroup();
    }
    hook.LeaveGroup();
    hook.BoolAsInt32(&IsInitialize, "IsInitialize", kEditCheck, kBoolHint, &OnInitializeSet, this, 0);
    hook.LeaveGroup();
}

bool CRenderObject_MiniLogic::ExecuteCommand(const char* command, int32_t logic, int32_t variable)
{
    if (!command)
        return false;
    const std::string cmd = command;
    if (logic < 0) {
        if (cmd == "AddLogic") {
            logics.push_back(std::make_unique<Logic>());
            return true;
        }
        if (cmd == "Paste") {
            std::unique_ptr<Logic> pasted = PasteFrom(LogicClipboard(), &TransferLogic);
            if (!pasted)
                return false;
            logics.push_back(std::move(pasted));
            return true;
        }
        return false;
    }
    if (static_cast<size_t>(logic) >= logics.size())
        return false;
    Logic& target = *logics[static_cast<size_t>(logic)];
    if (variable >= 0) {
        if (static_cast<size_t>(variable) >= target.varLst.size())
            return false;
        if (cmd == "Delete") {
            target.varLst.erase(target.varLst.begin() + variable);
            return true;
        }
        if (cmd == "Copy") {
            CopyTo(VariableClipboard(), &TransferVariable, *target.varLst[static_cast<size_t>(variable)]);
            return true;
        }
        return false;
    }
    if (cmd == "Delete") {
        logics.erase(logics.begin() + logic);
        return true;
    }
    if (cmd == "Copy") {
        CopyTo(LogicClipboard(), &TransferLogic, target);
        return true;
    }
    if (cmd == "ReplaceByPaste") {
        std::unique_ptr<Logic> pasted = PasteFrom(LogicClipboard(), &TransferLogic);
        if (!pasted)
            return false;
        logics[static_cast<size_t>(logic)] = std::move(pasted);
        return true;
    }
    if (cmd == "Run") {
        Start(GetOwner(), true);
        return true;
    }
    if (cmd == "AddVariable") {
        target.varLst.push_back(std::make_unique<Variable>());
        return true;
    }
    if (cmd == "Paste") {
        std::unique_ptr<Variable> pasted = PasteFrom(VariableClipboard(), &TransferVariable);
        if (!pasted)
            return false;
        target.varLst.push_back(std::move(pasted));
        return true;
    }
    return false;
}

bool CRenderObject_MiniLogic::ExecuteCommand(const char* groupPath, const char* command)
{
    if (!command)
        return false;
    if (std::strcmp(command, "AddLogic") == 0)
        return ExecuteCommand(command, -1, -1);
    const char* inside = ComponentGroupPath(groupPath, kClassName);
    if (!inside)
        return false;
    const int32_t logic = GroupPathItem(inside, "Logic");
    const int32_t variable = logic >= 0 ? GroupPathItem(inside, "Variable") : -1;
    return ExecuteCommand(command, logic, variable);
}

void CRenderObject_MiniLogic::Start(CKVQWindow* window, bool book)
{
    for (const std::unique_ptr<Logic>& logic : logics) {
        RegisterHandler(logic->msg.c_str(), &LogicHandler);
        if (book && window && logic->ListenGlobal != 0)
            CKVQWindowMgr::Instance().BookMessage(logic->msg.c_str(), window);
    }
    IsInitialize = 1;
}

bool CRenderObject_MiniLogic::SplitConfigPath(const std::string& text, std::string& section, std::string& key)
{
    section.clear();
    key.clear();
    if (text.empty() || text[0] != '@')
        return false;
    // The parts are split at the first "@" after the leading one that does not directly follow
    // another "@"; an "@" that does is a character of the part.
    std::string* part = &section;
    char previous = text[0];
    for (size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '@' && previous != '@' && part == &section)
            part = &key;
        else if (part->size() < kMaxConfigPart)
            part->push_back(c);
        previous = c;
    }
    return true;
}

std::string CRenderObject_MiniLogic::MakeValue(const Variable& v, CKVQWindow* window, CKVQMessage* message,
                                               const std::string& current, int32_t kind) const
{
    const std::string operand = v.value.c_str();
    switch (v.nValueType) {
    case kString:
        return operand;
    case kAttribute:
        return window ? window->GetAttribute(window->GetAttributeNameRef(operand.c_str())) : std::string();
    case kAppSet: {
        if (operand.empty() || operand[0] != '@')
            return operand;
        std::string section, key;
        SplitConfigPath(operand, section, key);
        const char* found = GetConfig(section.c_str(), key.c_str());
        return found ? found : "";
    }
    case kParamString: {
        if (!SeekParameter(message, v.nParamIndex))
            return std::string();
        std::string text = message->ScriptString();
        if (text.size() > kMaxParamString)
            text.resize(kMaxParamString);
        return text;
    }
    case kParamInt: {
        int32_t number = 0;
        if (SeekParameter(message, v.nParamIndex))
            message->Int32(number);
        return Format("%d", number);
    }
    case kParamFloat: {
        float number = 0;
        if (SeekParameter(message, v.nParamIndex))
            message->Float(number);
        return Format("%f", static_cast<double>(number));
    }
    case kIncrementSelf:
    case kDecrementSelf: {
        const uint32_t a = ParseWrapped(current);
        const uint32_t b = ParseWrapped(operand);
        const uint32_t result = v.nValueType == kIncrementSelf ? a + b : a - b;
        if (IsSignedKind(kind))
            return Format("%d", static_cast<int32_t>(result));
        if (IsUnsignedKind(kind))
            return Format("%u", result);
        return std::string();
    }
    case kReverseSelf: {
        const uint32_t negated = 0u - ParseWrapped(current);
        if (IsSignedKind(kind))
            return Format("%d", static_cast<int32_t>(negated));
        if (IsUnsignedKind(kind))
            return Format("%u", negated);
        if (IsBooleanKind(kind))
            return current == "true" ? "false" : "true";
        return std::string();
    }
    default:
        return std::string();
    }
}

bool CRenderObject_MiniLogic::Run(const char* name, CKVQWindow* window, CKVQMessage* message)
{
    if (!name || !window)
        return false;
    size_t at = 0;
    while (at < logics.size() && std::strcmp(logics[at]->msg.c_str(), name) != 0)
        ++at;
    if (at == logics.size())
        return false;
    Logic* logic = logics[at].get();
    // An attribute's change callback may edit this component or delete windows: the list is
    // re-read by index and the run stops with its window.
    for (size_t i = 0; i < logic->varLst.size() && !window->IsDeleted(); ++i) {
        Variable& v = *logic->varLst[i];
        CKVQWindow* target = ResolveTarget(v, window);
        if (!target || target->IsDeleted())
            continue;
        if (!v.RenderName.IsEmpty()) {
            IRender* object = target->GetRender(v.RenderName.c_str());
            if (!object)
                continue;
            if (v.nAttributeNameRef == -1)
                v.nAttributeNameRef = object->GetAttributeNameRef(v.AttributeName.c_str());
            const int32_t index = v.nAttributeNameRef;
            if (index < 0)
                continue;
            const int32_t kind = object->BoundTable().GetKind(index);
            const std::string text = MakeValue(v, window, message, object->GetAttribute(index), kind);
            object->SetAttribute(index, text.c_str());
        } else {
            if (v.nAttributeNameRef == -1)
                v.nAttributeNameRef = target->GetAttributeNameRef(v.AttributeName.c_str());
            const int32_t index = v.nAttributeNameRef;
            if (index < 0)
                continue;
            const int32_t kind = CKVQWindow::AttributeTable().GetKind(index);
            const std::string text = MakeValue(v, window, message, target->GetAttribute(index), kind);
            target->SetAttribute(index, text.c_str());
        }
        // Stop when the write's callback replaced this logic.
        if (at >= logics.size() || logics[at].get() != logic)
            break;
    }
    return true;
}
