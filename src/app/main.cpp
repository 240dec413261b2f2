// kvqgame: the runtime's entry. For now it reads the command line and "default.cfg", decides
// what the game would start with, and reports it; the window and the frame loop come later.

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/CoreCfg.h"
#include "app/StartConfig.h"
#include "io/FileSystem.h"
#include "platform/DebugOutput.h"

namespace {

void PrintUsage(FILE* out)
{
    std::fprintf(out,
                 "usage: kvqgame [--root DIR] [--] [LAYOUT [WIDTHxHEIGHT [SWAP]]]\n\n"
                 "  --root DIR   the game's application folder (default: the executable's folder)\n"
                 "  --help       show this text\n\n"
                 "LAYOUT starts that layout from loose files instead of the configured package and\n"
                 "\"MainUI\"; WIDTHxHEIGHT sizes the window unless default.cfg names a width; a SWAP\n"
                 "other than 0 exchanges width and height.\n");
}

const char* OnOff(bool value)
{
    return value ? "on" : "off";
}

// The game's folder becomes the working folder too: paths with folders in them, and package
// files, are opened relative to it, as they are when a game is started from its own folder.
bool EnterApplicationFolder(const std::string& root, std::string& folder)
{
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(root.empty() ? platform::ExecutableFolder() : root, error);
    if (error || !std::filesystem::is_directory(path, error))
        return false;
    std::filesystem::current_path(path, error);
    if (error)
        return false;
    folder = path.lexically_normal().string();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    GetFileSystem().SetApplicationFolder(folder);
    return true;
}

void Report(const std::string& folder, bool configFound, const StartChoice& start)
{
    const KVQCoreCfg& cfg = GetCoreCfg();
    CFileSystem& fs = GetFileSystem();

    std::printf("application folder: %s\n", folder.c_str());
    std::printf("default.cfg: %s\n", configFound ? "found" : "not found (defaults apply)");
    std::printf("code page: %s\n", cfg.strCharset.c_str());
    std::printf("debug: %s\n", OnOff(cfg.IsDebuging));
    std::printf("screen: %dx%d\n", cfg.nScreenWidth, cfg.nScreenHeight);
    std::printf("auto scale: %s\n", OnOff(cfg.IsAutoScale));

    fs.SetPackageName(start.packageName);
    const std::string packageFile = start.packageName + ".KVQ";
    const CPackage* package = fs.FindPackage(start.packageName);
    if (package != nullptr && package->Stream() != nullptr)
        std::printf("package: \"%s\" (%s opened, %zu entries)\n", start.packageName.c_str(), packageFile.c_str(),
                    package->Entries().size());
    else
        std::printf("package: \"%s\" (%s not opened)\n", start.packageName.c_str(), packageFile.c_str());

    const char* origin = start.fromCommandLine ? "command line" : "default.cfg";
    if (start.startLayout.empty()) {
        std::printf("start layout: none (%s)\n", origin);
    } else {
        IFile* layout = fs.Open(start.startLayout.c_str(), true);
        std::printf("start layout: %s (%s, %s)\n", start.startLayout.c_str(), origin,
                    layout != nullptr ? "found" : "not found");
        fs.Close(layout);
    }

    for (const char* log : {"Debug", "Warn", "Error"}) {
        const char* path = GetConfig("Log", log);
        std::printf("log %s: %s\n", log, *path != '\0' ? path : "off");
    }
}

}  // namespace

int main(int argc, char** argv)
{
    std::string root;
    std::vector<std::string> words;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.empty() || arg[0] != '-') {
            words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return 0;
        } else if (arg == "--root") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "kvqgame: --root needs a folder\n");
                return 1;
            }
            root = argv[++i];
        } else {
            std::fprintf(stderr, "kvqgame: unknown option '%s'\n", arg.c_str());
            PrintUsage(stderr);
            return 1;
        }
    }

    std::string folder;
    if (!EnterApplicationFolder(root, folder)) {
        std::fprintf(stderr, "kvqgame: cannot use '%s' as the application folder\n",
                     root.empty() ? platform::ExecutableFolder() : root.c_str());
        return 1;
    }

    std::string commandLine;
    for (const std::string& word : words) {
        if (!commandLine.empty())
            commandLine += ' ';
        commandLine += word;
    }
    // The command line's size is set first so that a width in default.cfg replaces it.
    ApplyCommandLine(commandLine, GetCoreCfg());
    const bool configFound = LoadConfig();
    const StartChoice start = ChooseStart(GetCoreCfg(), GetConfigStore());

    Report(folder, configFound, start);
    return 0;
}
