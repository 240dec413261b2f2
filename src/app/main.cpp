// kvqgame: the runtime's entry. Reads the command line, enters the game's application folder and
// hands the run to the shell.

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/CoreCfg.h"
#include "app/Shell.h"
#include "app/StartConfig.h"
#include "common/Notices.h"
#include "gfx/DeviceKinds.h"
#include "io/FileSystem.h"
#include "platform/DebugOutput.h"

namespace {

void PrintUsage(FILE* out)
{
    std::fprintf(out,
                 "usage: kvqgame [OPTIONS] [--] [LAYOUT [WIDTHxHEIGHT [SWAP]]]\n"
                 "       kvqgame [OPTIONS] GAME_FOLDER\n\n"
                 "  --root DIR         the game's application folder (default: the executable's folder)\n"
                 "  --headless         run without a screen (offscreen video, silent audio, virtual clock)\n"
                 "  --device KIND      opengl (default) or software\n"
                 "  --clock KIND       virtual (default when headless) or real: a headless run that\n"
                 "                     ticks every 33 ms of real time\n"
                 "  --ticks N          stop after N ticks\n"
                 "  --screenshot FILE  write the last frame as PNG when the run ends\n"
                 "  --replay FILE      feed recorded input (lines of \"TICK EVENT ARGS\")\n"
                 "  --report           print what the game would start with, and exit\n"
                 "  --verbose          show the engine's developer output on standard error\n"
                 "  --help             show this text\n\n"
                 "LAYOUT starts that layout from loose files instead of the configured package and\n"
                 "\"MainUI\"; WIDTHxHEIGHT sizes the window unless default.cfg names a width; a SWAP\n"
                 "other than 0 exchanges width and height. A folder as the only argument runs the\n"
                 "game in it, as --root does.\n");
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

// Files named on the command line are the user's, relative to where kvqgame was started.
std::string AbsoluteFromHere(const std::string& path)
{
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
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

bool ParseTicks(const std::string& text, uint64_t& ticks)
{
    if (text.empty() || text.size() > 18)
        return false;
    uint64_t n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + static_cast<uint64_t>(c - '0');
    }
    ticks = n;
    return true;
}

bool ParseDevice(const std::string& name, int32_t& kind)
{
    if (name == "opengl")
        kind = kDeviceKindOpenGL;
    else if (name == "software")
        kind = kDeviceKindSoftware;
    else if (name == "d3d8")
        kind = kDeviceKindDirect3D8;  // accepted so that the clean failure can be seen
    else
        return false;
    return true;
}

int Usage(const std::string& message)
{
    std::fprintf(stderr, "kvqgame: %s\n", message.c_str());
    PrintUsage(stderr);
    return 1;
}

// A folder as the only positional argument is the game to run (kvqgame DIR), unless --root
// already names the game: then it is a layout path, as on the classic command line.
void TakeGameFolder(std::vector<std::string>& words, std::string& root)
{
    std::error_code error;
    if (!root.empty() || words.size() != 1 || !std::filesystem::is_directory(words[0], error))
        return;
    root = words[0];
    words.clear();
}

}  // namespace

int main(int argc, char** argv)
{
    notices::SetProgramName("kvqgame");
    std::string root;
    std::vector<std::string> words;
    ShellOptions options;
    bool report = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.empty() || arg[0] != '-') {
            words.push_back(arg);
            continue;
        }
        // Options that take a value.
        const bool hasValue = i + 1 < argc;
        const std::string value = hasValue ? argv[i + 1] : "";
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return 0;
        } else if (arg == "--headless") {
            options.headless = true;
        } else if (arg == "--report") {
            report = true;
        } else if (arg == "--verbose") {
            notices::SetVerbose(true);
        } else if (arg == "--root" || arg == "--device" || arg == "--clock" || arg == "--ticks" || arg == "--screenshot" ||
                   arg == "--replay") {
            if (!hasValue) {
                std::fprintf(stderr, "kvqgame: %s needs a value\n", arg.c_str());
                return 1;
            }
            ++i;
            if (arg == "--root") {
                root = value;
            } else if (arg == "--device") {
                if (!ParseDevice(value, options.deviceKind))
                    return Usage("unknown device '" + value + "' (opengl or software)");
            } else if (arg == "--clock") {
                if (value != "virtual" && value != "real")
                    return Usage("unknown clock '" + value + "' (virtual or real)");
                options.realClock = value == "real";
            } else if (arg == "--ticks") {
                if (!ParseTicks(value, options.ticks))
                    return Usage("--ticks needs a whole number, not '" + value + "'");
                options.limitTicks = true;
            } else if (arg == "--screenshot") {
                options.screenshotPath = AbsoluteFromHere(value);
            } else {
                options.replayPath = AbsoluteFromHere(value);
            }
        } else {
            return Usage("unknown option '" + arg + "'");
        }
    }

    if (options.realClock && !options.headless)
        return Usage("--clock real is for headless runs (a windowed run always uses the real clock)");

    TakeGameFolder(words, root);
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
    if (report) {
        const bool configFound = LoadConfig();
        Report(folder, configFound, ChooseStart(GetCoreCfg(), GetConfigStore()));
        return 0;
    }
    return RunGame(options);
}
