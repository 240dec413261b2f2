// kvqtool attrs: the attributes of windows or of a render-object class, one a line in table order,
// as the editor's "OutputAttribute" lists their full names. Each line is tab-separated: the full
// name (what scripts pass to GetAttributeNameRef), its type, its editor hint and what the hint
// means (the labels of an enumeration with their numbers, the span of a range); "-" where there is
// none. The first column alone is the plain list of names (cut -f1).

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Commands.h"
#include "io/EditHook.h"
#include "render/Render.h"
#include "render/RenderRegistry.h"
#include "ui/Window.h"

namespace {

constexpr const char* kCommand = "attrs";

std::string TypeOf(const CKVQEditHook::Entry& e)
{
    switch (e.kind) {
    case ATTR_GROUP: return "group";
    case ATTR_INT32: return "int32";
    case ATTR_FLOAT: return "float";
    case ATTR_INT32_BOOL: return "int32-bool";
    case ATTR_BOOL_INT32: return "bool";
    case ATTR_INT8: return "int8";
    case ATTR_INT16: return "int16";
    case ATTR_UINT8: return "uint8";
    case ATTR_UINT16: return "uint16";
    case ATTR_UINT32: return "uint32";
    case ATTR_STRING: return "string";
    case ATTR_BIT: return "bit-" + std::to_string(e.value);
    case ATTR_CHARS: return "chars";
    case ATTR_ACTION: return "action";
    case ATTR_INT32_ARRAY: return "int32[" + std::to_string(e.value) + "]";
    case ATTR_FLOAT_ARRAY: return "float[" + std::to_string(e.value) + "]";
    default: return "opaque";
    }
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, start)) {
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

bool IsNumber(const std::string& text)
{
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0';
}

std::string Number(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// What the hint says: labels "a|b|" are the values 0, 1, ...; "min:max" a range; "min:max:divisor"
// a range of the slider value divided by the divisor. A group's labels are its editor commands.
std::string MeaningOf(const CKVQEditHook::Entry& e)
{
    const std::string& hint = e.hint;
    if (hint.empty() || e.kind == ATTR_ACTION)
        return "-";
    if (hint.back() == '|') {
        std::vector<std::string> labels = Split(hint.substr(0, hint.size() - 1), '|');
        if (e.kind == ATTR_GROUP) {
            std::string text = "commands:";
            for (const std::string& l : labels)
                text += " " + l;
            return text;
        }
        if (labels.size() == 2 && labels[0] == "false" && labels[1] == "true")
            return "0 false, 1 true";
        std::string text;
        for (size_t i = 0; i < labels.size(); ++i)
            text += (i ? ", " : "") + std::to_string(i) + " " + labels[i];
        return text;
    }
    std::vector<std::string> numbers = Split(hint, ':');
    for (const std::string& n : numbers) {
        if (!IsNumber(n))
            return "-";
    }
    if (numbers.size() == 2)
        return "from " + numbers[0] + " to " + numbers[1];
    if (numbers.size() == 3) {
        double divisor = std::strtod(numbers[2].c_str(), nullptr);
        if (divisor == 0)
            return "-";
        return "from " + Number(std::strtod(numbers[0].c_str(), nullptr) / divisor) + " to " +
               Number(std::strtod(numbers[1].c_str(), nullptr) / divisor) + " in steps of " + Number(1 / divisor);
    }
    return "-";
}

void PrintTable(const CKVQEditHook& table)
{
    for (int32_t i = 0; i < table.GetCount(); ++i) {
        const CKVQEditHook::Entry& e = *table.GetEntry(i);
        std::printf("%s\t%s\t%s\t%s\n", e.fullName.c_str(), TypeOf(e).c_str(), e.hint.empty() ? "-" : e.hint.c_str(),
                    MeaningOf(e).c_str());
    }
}

}  // namespace

int RunAttrs(const ToolArgs& args)
{
    if (WantsHelp(kCommand, args))
        return 0;
    if (args.size() != 1)
        return ToolError(kCommand, "expected one argument: window or a render-object class name");
    RegisterRenderClasses();
    const std::string& what = args[0];
    if (what == "window") {
        CKVQWindow* window = CKVQWindow::New();
        if (!window)
            return ToolError(kCommand, "cannot create a window");
        CKVQEditHook& table = CKVQWindow::AttributeTable();
        table.SetObject(window, sizeof(CKVQWindow));
        if (table.IsEmpty())
            window->Describe(table);
        PrintTable(table);
        window->Delete();
        WindowModule::Get().ReleaseDeleted();
        WindowModule::Get().DrainPool();
        return 0;
    }
    IRender* object = CRenderRegistry::Instance().Create(what.c_str());
    if (!object)
        return ToolError(kCommand, "unknown class '" + what + "' (known: " +
                                       CRenderRegistry::Instance().GetClassListText() + " or window)");
    PrintTable(object->BoundTable());
    DestroyRender(object);
    return 0;
}
