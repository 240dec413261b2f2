// Arbitrary bytes as a configuration file: the parse and the "Game" keys must never crash, and
// every stored name, key and value must respect the store's limits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/CoreCfg.h"
#include "app/StartConfig.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool Clean(const std::string& text)
{
    return text.size() <= ConfigStore::kMaxTextLength && text.find('\0') == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    ConfigStore store;
    store.Parse(text, size);
    for (const auto& [section, keys] : store.Sections()) {
        Check(Clean(section));
        for (const auto& [key, value] : keys) {
            Check(Clean(key) && Clean(value));
            Check(!key.empty() && key[0] != '=');
            Check(value.find_first_of("\r\n") == std::string::npos);
        }
    }

    KVQCoreCfg cfg;
    ApplyGameConfig(store, cfg);
    Check(!cfg.strCharset.empty() && cfg.strCharset.size() <= ConfigStore::kMaxTextLength);

    // The same bytes as a command line.
    KVQCoreCfg fromCommandLine;
    ApplyCommandLine(std::string(text, size), fromCommandLine);
    Check(fromCommandLine.strStartLayout.size() <= size);
    return 0;
}
