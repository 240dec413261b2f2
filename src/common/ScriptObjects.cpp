#include "common/ScriptObjects.h"

namespace {

ScriptObjectForgetter currentForgetter = nullptr;

}  // namespace

void KVQForgetScriptObject(void* object, const char* className)
{
    if (object != nullptr && currentForgetter != nullptr)
        currentForgetter(object, className);
}

ScriptObjectForgetter SetScriptObjectForgetter(ScriptObjectForgetter forgetter)
{
    ScriptObjectForgetter previous = currentForgetter;
    currentForgetter = forgetter;
    return previous;
}

namespace {

ScriptRefReleaser currentReleaser = nullptr;

}  // namespace

void KVQReleaseScriptRef(int ref, void* object)
{
    if (ref != -1 && object != nullptr && currentReleaser != nullptr)
        currentReleaser(ref, object);
}

ScriptRefReleaser SetScriptRefReleaser(ScriptRefReleaser releaser)
{
    ScriptRefReleaser previous = currentReleaser;
    currentReleaser = releaser;
    return previous;
}
