#pragma once
// Deferred destruction of render objects. A message offered to a window or straight to a render
// object may reach a handler that removes its own object (or its owner window) from a list. The
// object being dispatched must outlive that handler and the walk over its child objects, so while
// any dispatch is running, removed objects are only queued, and the outermost dispatch frees them
// when it returns.

class IRender;

// Open for the length of a dispatch; the last one to close frees the queued objects.
class RenderDispatchScope {
public:
    RenderDispatchScope();
    ~RenderDispatchScope();
    RenderDispatchScope(const RenderDispatchScope&) = delete;
    RenderDispatchScope& operator=(const RenderDispatchScope&) = delete;
};

// Frees a render object that has left its list: at once when no dispatch is running, else when
// the outermost dispatch is over. The object is marked as held until then, so no list can take
// it in meanwhile.
void DisposeRender(IRender* object);

// Dispatches running now (nested ones included).
int RenderDispatchDepth();
