#pragma once
// Where developer output and blocking-free notices go on this platform.

namespace platform {
// Writes text to the debug output (standard error) as it is.
void WriteDebugOutput(const char* text);
// The folder of the running executable, ending with "/" ("./" when it cannot be found).
const char* ExecutableFolder();
}  // namespace platform
