#pragma once
// kvqtool sub-commands. Each takes its own arguments (after the sub-command name) and returns
// the exit status: 0 success, 1 failure. "--help" as any argument prints the command's usage.

#include <cstddef>
#include <string>
#include <vector>

using ToolArgs = std::vector<std::string>;

struct ToolCommand {
    const char* name;
    const char* usage;    // one line: arguments
    const char* summary;  // one line: what it does
    int (*run)(const ToolArgs& args);
};

// Package commands (pack, list, cat, unpack).
int RunPack(const ToolArgs& args);
int RunList(const ToolArgs& args);
int RunCat(const ToolArgs& args);
int RunUnpack(const ToolArgs& args);
// Configuration command.
int RunCfg(const ToolArgs& args);
// Layout commands (dump, build) and attribute names.
int RunLayout(const ToolArgs& args);
int RunAttrs(const ToolArgs& args);
// Image set commands (dump, build).
int RunImageSet(const ToolArgs& args);
// Runs a Lua script inside an initialised engine.
int RunLua(const ToolArgs& args);
// Writes a small runnable game into a new or empty folder.
int RunNew(const ToolArgs& args);
// Font files (dump, build) and fonts made from a system face (new).
int RunFont(const ToolArgs& args);
// Particle files (dump, build).
int RunParticle(const ToolArgs& args);
// Prints the script reference, or the part about one name.
int RunApi(const ToolArgs& args);

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes);
// Writes size bytes to path, replacing it; 0, or 1 after saying that it cannot be written.
int WriteWholeFile(const char* command, const std::string& path, const void* data, size_t size);

// Prints "kvqtool NAME: message" to standard error and returns 1.
int ToolError(const char* command, const std::string& message);
// True when args hold "--help" or "-h"; prints the usage of the named command.
bool WantsHelp(const char* command, const ToolArgs& args);
