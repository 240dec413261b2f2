#pragma once
// What the shell reads before the game starts: the command-line text, the bytes of the
// configuration file, and the choice of package and start layout that follows from both.

#include <cstddef>
#include <cstdint>
#include <string>

#include "app/CoreCfg.h"
#include "io/File.h"

// The command-line text "LAYOUT WIDTHxHEIGHT SWAP". Parts that are missing or malformed stay
// empty or 0, and reading stops at the first part that does not fit.
struct CommandLine {
    std::string layout;
    int32_t width = 0;
    int32_t height = 0;
    int32_t swap = 0;
};

// A text of this many characters or fewer is not read at all.
constexpr size_t kMinCommandLineLength = 3;

CommandLine ReadCommandLine(const std::string& text);

// Reads the text into the record when it is longer than kMinCommandLineLength: the layout
// becomes strStartLayout and the size nScreenWidth/nScreenHeight (exchanged when swap is not
// 0). Returns whether the text was read. Call it before LoadConfig so the file's size wins.
bool ApplyCommandLine(const std::string& text, KVQCoreCfg& cfg);

// Decimal integer as atoi reads it in the C locale (leading white space, a sign, digits, the
// rest ignored; 0 when there are no digits), clamped to the int32 range instead of overflowing.
int32_t ParseDecimal(const char* text);

// The package and start layout chosen at start-up. A layout from the command line is loaded
// with the package "NULL" (loose files only); otherwise "Packet" and "MainUI" of section
// "Game" name them.
struct StartChoice {
    std::string packageName;
    std::string startLayout;
    bool fromCommandLine = false;
};

constexpr const char* kCommandLinePackage = "NULL";

StartChoice ChooseStart(const KVQCoreCfg& cfg, const ConfigStore& store);

// The configuration file is read whole into memory; a file larger than this is read only up
// to it, so a hostile file cannot demand a huge buffer.
constexpr size_t kMaxConfigFileSize = size_t{1} << 20;

// Reads the file from its current position to the end of its size, at most kMaxConfigFileSize
// bytes.
// Returns false when the file held more than that (the text then holds the beginning).
bool ReadConfigText(IFile& file, std::string& text);
