#include "platform/MessageBox.h"

#include "platform/Video.h"

#include <SDL.h>

#include <cstdio>

namespace platform {

namespace {

bool windowShown = false;

void WriteNotice(const char* text, const char* caption)
{
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
}

}  // namespace

void ShowMessageBox(const char* text, const char* caption)
{
    if (text == nullptr)
        text = "";
    if (caption == nullptr)
        caption = "";
    // Only a visible window of a windowed run has someone in front of it to click the notice away;
    // everywhere else a modal box would stop the run for good.
    if (windowShown && SDL_WasInit(SDL_INIT_VIDEO) != 0 && !IsHeadless() &&
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption, text, nullptr) == 0)
        return;
    WriteNotice(text, caption);
}

void SetMessageBoxWindowShown(bool shown)
{
    windowShown = shown;
}

}  // namespace platform
