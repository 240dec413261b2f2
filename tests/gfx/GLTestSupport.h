#pragma once
// Headless OpenGL for tests. SDL's offscreen video and one hidden GL window of kWidth x kHeight
// are made once per process and kept (a test binary that uses this fixture must not shut the
// video down); each test gets a fresh OpenGL device initialised on that window. Tests skip with
// the reason when this machine cannot give a GL context.
//
// The core configuration, the texture kind and GL uploads are restored after each test, and the
// textures a test adds through AddSolidTexture are removed while their context still exists.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/CoreCfg.h"
#include "gfx/OpenGLESDC.h"
#include "gfx/Texture.h"
#include "platform/Video.h"

class GLDeviceTest : public ::testing::Test {
protected:
    static constexpr int32_t kWidth = 64;
    static constexpr int32_t kHeight = 48;

    void SetUp() override
    {
        savedCfg_ = GetCoreCfg();
        savedTextureKind_ = GetTextureKind();
        GetCoreCfg().IsAutoScale = false;
        GetCoreCfg().IsPaused = false;
        GetCoreCfg().IsEditTool = false;
        SetTextureKind(kTextureOpenGL);

        std::string error;
        window_ = SharedWindow(error);
        if (!window_)
            GTEST_SKIP() << "no headless GL window: " << error;
        dc_ = std::make_unique<CKVQOpenGLESDC>();
        if (dc_->Init(kWidth, kHeight, window_, 0) != 0)
            GTEST_SKIP() << "no OpenGL context";
    }

    void TearDown() override
    {
        for (const std::string& name : textures_)
            CTextureCache::Instance().RemoveTexture(name.c_str());
        textures_.clear();
        dc_.reset();
        window_ = nullptr;
        SetTextureUploadEnabled(false);
        SetTextureKind(savedTextureKind_);
        GetCoreCfg() = savedCfg_;
    }

    // One window and GL context for the whole process: the GL driver keeps process-wide state
    // that is only reachable while it stays loaded (tearing it down per test would report that
    // state as leaked), and each test's device sets the context up afresh in Init.
    static platform::Window* SharedWindow(std::string& error)
    {
        static platform::Window* window = nullptr;
        static std::string failure;
        if (!window && failure.empty()) {
            if (!platform::InitVideo(true, failure))
                failure = "no headless video: " + failure;
            else if (!(window = platform::CreateGameWindow("gl test", kWidth, kHeight, true, failure)))
                failure = "no GL window: " + failure;
        }
        error = failure;
        return window;
    }

    // A texture of one colour (red in the lowest byte), registered under a name of its own.
    int32_t AddSolidTexture(int32_t width, int32_t height, uint32_t color)
    {
        std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
        for (size_t i = 0; i < pixels.size(); i += 4) {
            pixels[i] = static_cast<uint8_t>(color);
            pixels[i + 1] = static_cast<uint8_t>(color >> 8);
            pixels[i + 2] = static_cast<uint8_t>(color >> 16);
            pixels[i + 3] = static_cast<uint8_t>(color >> 24);
        }
        std::string name = "gl-test-texture-" + std::to_string(textures_.size());
        textures_.push_back(name);
        return CTextureCache::Instance().AddTexture(name.c_str(), pixels.data(), width, height);
    }

    // The frame drawn since BeginScene, RGBA rows from the top.
    std::vector<uint8_t> Frame()
    {
        std::vector<uint8_t> rgba;
        int32_t w = 0, h = 0;
        EXPECT_TRUE(dc_->ReadFrame(rgba, w, h));
        EXPECT_EQ(w, kWidth);
        EXPECT_EQ(h, kHeight);
        return rgba;
    }
    // The pixel at (x, y) of a frame, red in the lowest byte.
    static uint32_t PixelAt(const std::vector<uint8_t>& rgba, int32_t x, int32_t y)
    {
        size_t i = (static_cast<size_t>(y) * kWidth + x) * 4;
        if (i + 3 >= rgba.size())
            return 0;
        return uint32_t{rgba[i]} | (uint32_t{rgba[i + 1]} << 8) | (uint32_t{rgba[i + 2]} << 16) |
               (uint32_t{rgba[i + 3]} << 24);
    }

    platform::Window* window_ = nullptr;
    std::unique_ptr<CKVQOpenGLESDC> dc_;

private:
    KVQCoreCfg savedCfg_;
    int32_t savedTextureKind_ = kTextureOpenGL;
    std::vector<std::string> textures_;
};
