#include "platform/Video.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <string>

namespace {

class HeadlessVideo : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(platform::InitVideo(true, error)) << error;
    }
    void TearDown() override { platform::ShutdownVideo(); }
};

TEST_F(HeadlessVideo, GLWindowClearsAndReadsBack)
{
    std::string error;
    platform::Window* window = platform::CreateGameWindow("test", 64, 48, true, error);
    ASSERT_NE(window, nullptr) << error;
    ASSERT_TRUE(platform::CreateGLContext(window, error)) << error;
    ASSERT_TRUE(platform::MakeGLCurrent(window));

    int32_t width = 0;
    int32_t height = 0;
    platform::GetClientSize(window, width, height);
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 48);

    glViewport(0, 0, 64, 48);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    uint8_t pixel[4] = {};
    glReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 255);
    EXPECT_EQ(pixel[1], 0);
    EXPECT_EQ(pixel[2], 0);
    EXPECT_EQ(pixel[3], 255);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    platform::SwapGLWindow(window);
    platform::DestroyGameWindow(window);

    platform::GetScreenSize(width, height);
    EXPECT_EQ(width, 1920);
    EXPECT_EQ(height, 1080);
}

TEST_F(HeadlessVideo, SoftwareWindowTakesPixelsAndShows)
{
    std::string error;
    platform::Window* window = platform::CreateGameWindow("soft", 8, 4, false, error);
    ASSERT_NE(window, nullptr) << error;
    platform::ShowGameWindow(window, 10, 20);
    uint32_t pixels[16 * 4] = {};
    for (uint32_t& p : pixels)
        p = 0xFF00FF00u;
    // A wider buffer than the window (pitch 16) is shown clipped.
    EXPECT_TRUE(platform::PresentPixels(window, pixels, 16, 4, 16));
    EXPECT_FALSE(platform::PresentPixels(window, pixels, 16, 4, 8));   // pitch shorter than a row
    EXPECT_FALSE(platform::PresentPixels(window, nullptr, 16, 4, 16));
    EXPECT_FALSE(platform::CreateGLContext(window, error));            // not an OpenGL window
    platform::DestroyGameWindow(window);
}

TEST_F(HeadlessVideo, BadRequestsAreRefused)
{
    std::string error;
    EXPECT_EQ(platform::CreateGameWindow("zero", 0, 100, false, error), nullptr);
    EXPECT_NE(error.find("size"), std::string::npos);
    EXPECT_EQ(platform::CreateGameWindow("huge", 100, 100000, false, error), nullptr);
    // Starting again in the same mode is harmless; switching mode mid-run is not possible.
    EXPECT_TRUE(platform::InitVideo(true, error));
    EXPECT_FALSE(platform::InitVideo(false, error));
    EXPECT_TRUE(platform::IsHeadless());
}

}  // namespace
