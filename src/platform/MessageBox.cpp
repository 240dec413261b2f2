#include "platform/MessageBox.h"

#include "common/Notices.h"
#include "platform/Video.h"

#include <SDL.h>

#include <string>

namespace platform {

namespace {

bool windowShown = false;

}  // namespace

bool ShowMessageDialog(const char* text, const char* caption)
{
    // Only a visible window of a windowed run has someone in front of it to click the notice away;
    // everywhere else a modal box would stop the run for good.
    return windowShown && SDL_WasInit(SDL_INIT_VIDEO) != 0 && !IsHeadless() &&
           SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption != nullptr ? caption : "",
                                    text != nullptr ? text : "", nullptr) == 0;
}

void ShowMessageBox(const char* text, const char* caption)
{
    if (ShowMessageDialog(text, caption))
        return;
    const std::string body = text != nullptr ? text : "";
    notices::Notice(caption != nullptr && *caption != 0 ? std::string(caption) + ": " + body : body);
}

void SetMessageBoxWindowShown(bool shown)
{
    windowShown = shown;
}

}  // namespace platform
