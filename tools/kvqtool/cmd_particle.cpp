// Placeholder until the particle commands land (replaced by the particle work).
#include "Commands.h"

int RunParticle(const ToolArgs& args)
{
    (void)args;
    return ToolError("particle", "not built yet");
}
