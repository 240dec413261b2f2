#pragma once
// A headless GL window with the OpenGL device on it, for benchmarks that draw; the benchmark is
// skipped (dc stays null) when there is no GL.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>

#include "gfx/OpenGLESDC.h"
#include "gfx/Texture.h"
#include "platform/Video.h"

struct GLTarget {
    platform::Window* window = nullptr;
    std::unique_ptr<CKVQOpenGLESDC> dc;

    // With openGLTextures, textures made from now on are OpenGL ones.
    GLTarget(benchmark::State& state, const char* title, int32_t width, int32_t height, bool openGLTextures = false)
    {
        std::string error;
        if (!platform::InitVideo(true, error)) {
            state.SkipWithError(("no headless video: " + error).c_str());
            return;
        }
        window = platform::CreateGameWindow(title, width, height, true, error);
        if (!window) {
            state.SkipWithError(("no GL window: " + error).c_str());
            return;
        }
        if (openGLTextures)
            SetTextureKind(kTextureOpenGL);
        dc = std::make_unique<CKVQOpenGLESDC>();
        if (dc->Init(width, height, window, 0) != 0) {
            dc.reset();
            state.SkipWithError("no OpenGL context");
        }
    }
    ~GLTarget()
    {
        dc.reset();
        if (window)
            platform::DestroyGameWindow(window);
    }
};
