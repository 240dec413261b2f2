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
