#include "render/RenderDisposal.h"

#include <algorithm>
#include <vector>

#include "render/Render.h"

namespace {

int dispatchDepth = 0;
std::vector<IRender*> pendingDestroy;

}  // namespace

RenderDispatchScope::RenderDispatchScope()
{
    ++dispatchDepth;
}

RenderDispatchScope::~RenderDispatchScope()
{
    if (--dispatchDepth != 0 || pendingDestroy.empty())
        return;
    // Destructors may dispose more objects (none run dispatches now, so they go at once), but the
    // queue is taken first so that nothing queued meanwhile is lost or freed twice.
    while (!pendingDestroy.empty()) {
        std::vector<IRender*> doomed;
        doomed.swap(pendingDestroy);
        for (IRender* object : doomed)
            DestroyRender(object);
    }
}

void DisposeRender(IRender* object)
{
    if (object == nullptr)
        return;
    if (dispatchDepth == 0) {
        DestroyRender(object);
        return;
    }
    // Disposing an object twice (it was already queued) must not free it twice.
    if (std::find(pendingDestroy.begin(), pendingDestroy.end(), object) != pendingDestroy.end())
        return;
    object->SetAttached(true);  // held by the queue
    pendingDestroy.push_back(object);
}

int RenderDispatchDepth()
{
    return dispatchDepth;
}
