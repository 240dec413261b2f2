#pragma once
// Where developer output and blocking-free notices go on this platform.

namespace platform {
// Writes text to the debug output: standard error when verbose output is on (notices::IsVerbose),
// nowhere otherwise; "\r\n" is written as "\n".
void WriteDebugOutput(const char* text);
// The folder of the running executable, ending with "/" ("./" when it cannot be found).
const char* ExecutableFolder();
}  // namespace platform
