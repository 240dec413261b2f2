#pragma once
// Modal notices. With no window shown (tests, headless runs, tools) the caption and text go to
// standard error instead; nothing ever blocks there.

namespace platform {
void ShowMessageBox(const char* text, const char* caption);
// Whether a window is shown (set by the shell when it opens its window).
void SetMessageBoxWindowShown(bool shown);
}  // namespace platform
