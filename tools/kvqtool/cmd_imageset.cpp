// kvqtool imageset dump / build: image set files as JSON and back.

#include "Commands.h"

int RunImageSet(const ToolArgs& args)
{
    if (WantsHelp("imageset", args))
        return 0;
    return ToolError("imageset", "not built yet");
}
