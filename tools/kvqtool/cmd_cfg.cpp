// kvqtool cfg: shows a configuration file as the engine reads it.

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "Commands.h"
#include "app/CoreCfg.h"
#include "app/StartConfig.h"

namespace {

constexpr const char* kName = "cfg";

void PrintBytes(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

}  // namespace

int RunCfg(const ToolArgs& args)
{
    if (WantsHelp(kName, args))
        return 0;
    if (args.size() != 1 && args.size() != 3)
        return ToolError(kName, "expected FILE, or FILE SECTION KEY");

    const std::string& path = args[0];
    std::error_code error;
    // Only regular files: a pipe or device could block or never end.
    if (!std::filesystem::is_regular_file(path, error))
        return ToolError(kName, "cannot read '" + path + "'");
    FILE* stream = std::fopen(path.c_str(), "rb");
    if (stream == nullptr)
        return ToolError(kName, "cannot read '" + path + "'");
    CDiskFile file(stream);
    std::string text;
    if (!ReadConfigText(file, text))
        std::fprintf(stderr, "kvqtool cfg: '%s' is larger than %zu bytes; only its beginning is read\n",
                     path.c_str(), kMaxConfigFileSize);

    ConfigStore store;
    store.Parse(text.data(), text.size());
    // The same warning the game gives, naming the file as it was given here.
    const std::string warning = EarlyStopWarning(path, store);
    if (!warning.empty())
        std::fprintf(stderr, "kvqtool cfg: %s\n", warning.c_str());

    if (args.size() == 3) {
        // A missing key reads as an empty value in the engine, so it prints nothing.
        const std::string& value = store.Get(args[1], args[2]);
        if (!value.empty()) {
            PrintBytes(value);
            std::fputc('\n', stdout);
        }
        return 0;
    }

    for (const auto& [section, keys] : store.Sections()) {
        std::fputc('[', stdout);
        PrintBytes(section);
        std::fputs("]\n", stdout);
        for (const auto& [key, value] : keys) {
            PrintBytes(key);
            std::fputc('=', stdout);
            PrintBytes(value);
            std::fputc('\n', stdout);
        }
    }
    return 0;
}
