// kvqtool: the engine's command-line companion. Parses the command line and calls into kvqcore.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "Commands.h"
#include "common/Notices.h"
#include "io/FileSystem.h"

namespace {

const ToolCommand kCommands[] = {
    {"pack", "OUT.KVQ [-C DIR] FILE...", "build a package from files (names stored as given)", RunPack},
    {"list", "PKG.KVQ", "list entries: name, data offset, size (damaged ones flagged)", RunList},
    {"cat", "PKG.KVQ NAME", "write an entry's original bytes to standard output", RunCat},
    {"unpack", "PKG.KVQ DIR", "extract every entry below DIR", RunUnpack},
    {"cfg", "FILE [SECTION KEY]", "print what the engine reads from a default.cfg", RunCfg},
    {"layout", "dump FILE | build FILE.json OUT", "a layout or window-list file as JSON, and back", RunLayout},
    {"imageset", "dump FILE | build FILE.json OUT", "an image set (\".set\") file as JSON, and back", RunImageSet},
    {"font", "dump FILE.fnt | build FILE.json OUT.fnt | new --face NAME --size PX [--outline] OUT.fnt",
     "a font (\".fnt\") file as JSON, and back; a font drawn from a system face", RunFont},
    {"particle", "dump FILE.psi | build FILE.json OUT.psi", "a particle (\".psi\") file as JSON, and back",
     RunParticle},
    {"attrs", "window | CLASS", "print the full attribute names of windows or a render-object class", RunAttrs},
    {"lua", "FILE.lua [ARGS...]", "run a script inside an initialised engine (no window)", RunLua},
    {"new", "DIR", "write a small runnable game into a new or empty folder", RunNew},
    {"api", "[NAME]", "print the script reference, or the part about one class, member, function or message", RunApi},
};

void PrintUsage(FILE* out)
{
    std::fprintf(out,
                 "usage: kvqtool [--root DIR] [--verbose] COMMAND [ARGS...]\n\n"
                 "  --root DIR   the game's application folder (default: the executable's folder)\n"
                 "  --verbose    show the engine's developer output on standard error\n\n"
                 "commands:\n");
    // A usage too long for its column puts the summary on a line of its own.
    constexpr int kUsageColumn = 40;
    for (const ToolCommand& c : kCommands) {
        if (std::strlen(c.usage) <= static_cast<size_t>(kUsageColumn))
            std::fprintf(out, "  %-8s %-*s %s\n", c.name, kUsageColumn, c.usage, c.summary);
        else
            std::fprintf(out, "  %-8s %s\n  %-8s %-*s %s\n", c.name, c.usage, "", kUsageColumn, "", c.summary);
    }
    std::fprintf(out, "\nkvqtool COMMAND --help shows one command's usage.\n");
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

int WriteWholeFile(const char* command, const std::string& path, const void* data, size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out)
        return ToolError(command, path + ": cannot be written");
    return 0;
}

int ToolError(const char* command, const std::string& message)
{
    std::fprintf(stderr, "kvqtool %s: %s\n", command, message.c_str());
    return 1;
}

bool WantsHelp(const char* command, const ToolArgs& args)
{
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            for (const ToolCommand& c : kCommands) {
                if (std::strcmp(c.name, command) == 0)
                    std::printf("usage: kvqtool %s %s\n  %s\n", c.name, c.usage, c.summary);
            }
            return true;
        }
    }
    return false;
}

int main(int argc, char** argv)
{
    // Standard output carries only results ("cat" writes an entry's exact bytes); notices and
    // developer output (with --verbose) go to standard error.
    notices::SetProgramName("kvqtool");
    int i = 1;
    std::string root;
    bool haveRoot = false;
    while (i < argc && argv[i][0] == '-') {
        std::string opt = argv[i];
        if (opt == "--help" || opt == "-h") {
            PrintUsage(stdout);
            return 0;
        }
        if (opt == "--verbose") {
            notices::SetVerbose(true);
            ++i;
            continue;
        }
        if (opt == "--root") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "kvqtool: --root needs a folder\n");
                return 1;
            }
            root = argv[i + 1];
            haveRoot = true;
            i += 2;
            continue;
        }
        std::fprintf(stderr, "kvqtool: unknown option '%s'\n", opt.c_str());
        PrintUsage(stderr);
        return 1;
    }
    if (i >= argc) {
        PrintUsage(stderr);
        return 1;
    }
    if (haveRoot) {
        std::error_code ec;
        if (!std::filesystem::is_directory(root, ec)) {
            std::fprintf(stderr, "kvqtool: --root '%s': no such folder\n", root.c_str());
            return 1;
        }
        GetFileSystem().SetApplicationFolder(root);
    }

    std::string name = argv[i++];
    ToolArgs args(argv + i, argv + argc);
    for (const ToolCommand& c : kCommands) {
        if (name == c.name)
            return c.run(args);
    }
    std::fprintf(stderr, "kvqtool: unknown command '%s'\n", name.c_str());
    PrintUsage(stderr);
    return 1;
}
