#pragma once
// Modal notices. With no window shown (tests, headless runs, tools) the caption and text go to
// standard error instead, as one line prefixed with the program's name; nothing ever blocks there.

namespace platform {
void ShowMessageBox(const char* text, const char* caption);
// The dialog alone: shown only while a window of a windowed run is shown, and then true. For
// callers that have said the text on standard error already.
bool ShowMessageDialog(const char* text, const char* caption);
// Whether a window is shown (set by the shell when it opens its window).
void SetMessageBoxWindowShown(bool shown);
}  // namespace platform
