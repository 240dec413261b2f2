#include "platform/MessageBox.h"

#include <cstdio>

namespace platform {

namespace {

bool windowShown = false;

void WriteNotice(const char* text, const char* caption)
{
    std::fprintf(stderr, "%s: %s\n", caption != nullptr ? caption : "", text != nullptr ? text : "");
    std::fflush(stderr);
}

}  // namespace

void ShowMessageBox(const char* text, const char* caption)
{
    if (windowShown) {
        // The windowed notice comes with the SDL window; until then it goes where the headless
        // one goes, so that nothing ever waits for a click.
        WriteNotice(text, caption);
        return;
    }
    WriteNotice(text, caption);
}

void SetMessageBoxWindowShown(bool shown)
{
    windowShown = shown;
}

}  // namespace platform
