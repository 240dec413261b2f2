// Placeholder until the font commands land (replaced by the font work).
#include "Commands.h"

int RunFont(const ToolArgs& args)
{
    (void)args;
    return ToolError("font", "not built yet");
}
