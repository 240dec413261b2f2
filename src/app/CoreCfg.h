#pragma once
// Process-wide settings and shared run-time values, and the start-up configuration file
// "default.cfg" (sections of key=value lines).

#include <cstdint>
#include <map>
#include <string>

struct KVQCoreCfg {
    float fScreenScale = 1.0f;
    bool IsEditTool = false;
    bool IsEditing = false;
    bool IsDebuging = false;
    bool IsClickDown = false;
    int32_t nClickDownX = 0;
    int32_t nClickDownY = 0;
    int32_t nUserSaveX = 0;
    int32_t nUserSaveY = 0;
    uint32_t nLongClickTime = 1000;
    int32_t nScreenWidth = 0;
    int32_t nScreenHeight = 0;
    bool IsAutoScale = false;
    int32_t nAutoOffsetX = 0;
    int32_t nAutoOffsetY = 0;
    float fAutoScaleX = 1.0f;
    float fAutoScaleY = 1.0f;
    bool IsPaused = false;
    uint32_t nFrameInterval = 0;
    uint32_t nLastTick = 0;
    uint32_t nTickAccum = 0;
    std::string strStartLayout;
    std::string strCharset = "GB2312";
};

// The sectioned key=value store read from "default.cfg". Names, keys and values are byte
// strings compared exactly.
class ConfigStore {
public:
    static constexpr size_t kMaxTextLength = 255;

    // Where a parse ended early at a line that is no entry (no "=", or "=" first): the line's
    // number (from 1), its text, and whether lines of "Game" or "Log" that would have been
    // entries follow it (their keys were not read).
    struct EarlyStop {
        bool stopped = false;
        int32_t line = 0;
        std::string text;
        bool gameOrLogKeysFollow = false;
    };

    // Parses text up to its first NUL byte (or length). Later keys replace earlier ones.
    void Parse(const char* text, size_t length);
    // The value, or "" when the section or key is absent.
    const std::string& Get(const std::string& section, const std::string& key) const;
    const std::map<std::string, std::map<std::string, std::string>>& Sections() const { return sections_; }
    const EarlyStop& GetEarlyStop() const { return stop_; }
    void Clear()
    {
        sections_.clear();
        stop_ = EarlyStop{};
    }

private:
    void NoteEarlyStop(const char* text, const char* lineBegin, const char* end, const std::string& section);

    std::map<std::string, std::map<std::string, std::string>> sections_;
    EarlyStop stop_;
};

// The warning for a parse that stopped before keys of "Game" or "Log" ("" when there is none):
// "default.cfg:3: '# settings' has no '=', so the keys after it are not read".
std::string EarlyStopWarning(const std::string& fileName, const ConfigStore& store);

KVQCoreCfg& GetCoreCfg();
ConfigStore& GetConfigStore();

// Reads "default.cfg" through the file system into the store and applies the keys of section
// "Game" ("iconv", "Debug", "width"/"height", "AutoScale", in that order). Returns whether
// the file was found.
bool LoadConfig();
// After LoadConfig, for a game being started: one notice when "default.cfg" was not found, or
// when its parse stopped before keys of "Game" or "Log".
void ReportConfigProblems(bool found);
// Applies a store's "Game" keys to a record (the second half of LoadConfig).
void ApplyGameConfig(const ConfigStore& store, KVQCoreCfg& cfg);
// A value of the loaded configuration; stays valid for the life of the process.
const char* GetConfig(const char* section, const char* key);

// Debug output: while the debug switch is on, the text then "\r\n" go to the platform's debug
// output. Returns the switch.
bool KVQAPI_OutputDebugStr(const char* text);
