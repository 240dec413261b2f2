// Loads arbitrary bytes as a layout file, as a window-list file and as a window class dictionary,
// with render objects of unknown classes skipped and kept. Loading must end quickly, allocate no
// more than the input's size allows, never recurse past the nesting limit, and whatever loads must
// store and load again to the same bytes, and draw on the software device.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "gfx/SoftwareDC.h"
#include "io/Archive.h"
#include "io/MemFile.h"
#include "render/OpaqueRender.h"
#include "render/RenderRegistry.h"
#include "ui/Message.h"
#include "ui/Window.h"
#include "ui/WindowDic.h"

namespace {

const std::string& ScratchPath()
{
    static const std::string path = "/tmp/kvq_layout_fuzz_" + std::to_string(getpid()) + ".wnd";
    return path;
}

std::vector<uint8_t> Store(std::vector<CKVQWindow*>& windows, bool asList)
{
    CKVQMessage out(CKVQMessage::kWindowCapacity);
    if (asList)
        CKVQWindow::SerializeList(out, windows);
    else if (!windows.empty())
        windows.front()->WriteBlock(out);
    return std::vector<uint8_t>(out.GetBuffer(), out.GetBuffer() + out.GetSize());
}

std::vector<CKVQWindow*> Load(const uint8_t* data, size_t size, bool asList)
{
    CIMemFile view;
    view.SetView(data, static_cast<int32_t>(size));
    CIArchive ar(&view, CIArchive::SM_READ);
    std::vector<CKVQWindow*> windows;
    if (asList) {
        CKVQWindow::SerializeList(ar, windows);
    } else if (CKVQWindow* root = CKVQWindow::ReadBlock(ar)) {
        windows.push_back(root);
    }
    return windows;
}

void DeleteAll(std::vector<CKVQWindow*>& windows)
{
    for (CKVQWindow* window : windows)
        window->Delete();
    windows.clear();
}

// What loads, stored, must load back into a tree that stores the same bytes.
void CheckStable(const uint8_t* data, size_t size, bool asList)
{
    std::vector<CKVQWindow*> first = Load(data, size, asList);
    std::vector<uint8_t> stored = Store(first, asList);
    std::vector<CKVQWindow*> second = Load(stored.data(), stored.size(), asList);
    if (Store(second, asList) != stored)
        __builtin_trap();
    if (!first.empty()) {
        first.front()->SetDirty();  // a clone computes its own rectangle: compare without the cache bit
        if (CKVQWindow* clone = first.front()->Clone()) {
            std::vector<CKVQWindow*> one{clone};
            std::vector<CKVQWindow*> original{first.front()};
            if (Store(one, false) != Store(original, false))
                __builtin_trap();
            clone->Delete();
        }
    }
    // Whatever loads must also draw: hostile rectangles, scales and sprites reach a real rasteriser.
    if (!first.empty()) {
        static CKVQWin32DC* device = [] {
            auto* dc = new CKVQWin32DC;
            dc->Init(64, 48, nullptr, 0);
            return dc;
        }();
        CKVQDC* previous = SetCurrentDevice(device);
        device->BeginScene();
        first.front()->Render(*device);
        device->EndScene();
        SetCurrentDevice(previous);
    }
    DeleteAll(first);
    DeleteAll(second);
    WindowModule::Get().ReleaseDeleted();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 24))
        return 0;
    RegisterRenderClasses();
    for (bool keepUnknown : {false, true}) {
        SetKeepUnknownRenderObjects(keepUnknown);
        CheckStable(data, size, false);
        CheckStable(data, size, true);
    }
    SetKeepUnknownRenderObjects(false);

    // The same bytes as a dictionary file, through the file system.
    FILE* out = std::fopen(ScratchPath().c_str(), "wb");
    if (out) {
        if (size > 0)
            std::fwrite(data, 1, size, out);
        std::fclose(out);
        CKVQWindowDic dic;
        if (dic.Load(ScratchPath().c_str()) && !dic.Templates().empty()) {
            if (CKVQWindow* clone = dic.CloneClass(dic.Templates().front()->GetClassName()))
                clone->Delete();
        }
        std::remove(ScratchPath().c_str());
    }
    WindowModule::Get().ReleaseDeleted();
    return 0;
}
