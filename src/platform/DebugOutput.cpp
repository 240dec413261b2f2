#include "platform/DebugOutput.h"

#include "common/Notices.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

namespace platform {

void WriteDebugOutput(const char* text)
{
    // Invisible unless someone asked for it, as a debugger's output window would be.
    if (text == nullptr || !notices::IsVerbose())
        return;
    // A terminal line ends with "\n": the "\r" of a "\r\n" pair is dropped.
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\r' && p[1] == '\n')
            continue;
        std::fputc(*p, stderr);
    }
    std::fflush(stderr);
}

const char* ExecutableFolder()
{
    static const std::string folder = [] {
        char path[PATH_MAX];
        ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
        if (n <= 0)
            return std::string("./");
        std::string exe(path, static_cast<size_t>(n));
        size_t slash = exe.find_last_of('/');
        return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
    }();
    return folder.c_str();
}

}  // namespace platform
