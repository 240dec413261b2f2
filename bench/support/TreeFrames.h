#pragma once
// Times frames of the window manager's tree on a device and reports the heap allocations a frame
// makes. The first frame, which resolves every sprite and texture, is drawn before timing starts.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "HeapCounter.h"
#include "gfx/DC.h"
#include "ui/WindowMgr.h"

inline void RenderTreeFrames(benchmark::State& state, CKVQDC& dc)
{
    dc.BeginScene();
    CKVQWindowMgr::Instance().Render(dc);
    dc.EndScene();
    int64_t allocated = 0;
    for (auto _ : state) {
        const int64_t before = heap_counter::allocations.load();
        dc.BeginScene();
        CKVQWindowMgr::Instance().Render(dc);
        dc.EndScene();
        allocated += heap_counter::allocations.load() - before;
    }
    state.counters["allocations/frame"] = static_cast<double>(allocated) / static_cast<double>(state.iterations());
}
