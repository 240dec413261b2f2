// kvqtool attrs: the full attribute names of windows or of a render-object class, one a line, as
// the editor's "OutputAttribute" lists them.

#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "io/EditHook.h"
#include "render/Render.h"
#include "render/RenderRegistry.h"
#include "ui/Window.h"

namespace {

constexpr const char* kCommand = "attrs";

void PrintNames(const std::vector<std::string>& names)
{
    for (const std::string& n : names)
        std::printf("%s\n", n.c_str());
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
        PrintNames(table.FullNames());
        window->Delete();
        WindowModule::Get().ReleaseDeleted();
        WindowModule::Get().DrainPool();
        return 0;
    }
    IRender* object = CRenderRegistry::Instance().Create(what.c_str());
    if (!object)
        return ToolError(kCommand, "unknown class '" + what + "' (known: " +
                                       CRenderRegistry::Instance().GetClassListText() + " or window)");
    PrintNames(object->BoundTable().FullNames());
    DestroyRender(object);
    return 0;
}
