// kvqtool api [NAME]: the script reference, or the part about one class, member, global function,
// constant or message. An unknown name is an error that lists the closest known names.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "Commands.h"
#include "ScriptApiText.h"

namespace {

constexpr const char* kCommand = "api";
constexpr size_t kSuggestions = 5;

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Edit distance, case ignored.
size_t Distance(const std::string& a, const std::string& b)
{
    const std::string x = Lower(a);
    const std::string y = Lower(b);
    std::vector<size_t> row(y.size() + 1);
    for (size_t j = 0; j <= y.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= x.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= y.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] == y[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[y.size()];
}

// "Class.member" names the same part as "Class:member".
std::string Canonical(std::string name)
{
    const size_t dot = name.find('.');
    if (dot != std::string::npos && dot > 0 && name.find(':') == std::string::npos)
        name[dot] = ':';
    return name;
}

std::vector<std::string> ClosestNames(const std::string& name)
{
    std::vector<std::pair<size_t, std::string>> ranked;
    for (int i = 0; i < script_api::kPartCount; ++i) {
        const std::string candidate = script_api::kParts[i].name;
        // A member name typed alone finds the classes that have it.
        const size_t colon = candidate.find(':');
        const bool memberMatch = colon != std::string::npos && Lower(candidate.substr(colon + 1)) == Lower(name);
        ranked.emplace_back(memberMatch ? 0 : Distance(name, candidate), candidate);
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> names;
    for (const auto& [distance, candidate] : ranked) {
        if (names.size() == kSuggestions || distance > std::max<size_t>(3, name.size() / 2))
            break;
        names.push_back(candidate);
    }
    return names;
}

}  // namespace

int RunApi(const ToolArgs& args)
{
    if (WantsHelp(kCommand, args))
        return 0;
    if (args.size() > 1)
        return ToolError(kCommand, "expected at most one argument: a class, member, function, constant or message name");
    if (args.empty()) {
        std::fputs(script_api::kReference, stdout);
        return 0;
    }
    const std::string name = Canonical(args[0]);
    for (int i = 0; i < script_api::kPartCount; ++i) {
        if (name == script_api::kParts[i].name) {
            std::fputs(script_api::kParts[i].text, stdout);
            return 0;
        }
    }
    std::string message = "no class, member, function, constant or message named '" + args[0] + "'";
    const std::vector<std::string> closest = ClosestNames(name);
    if (!closest.empty()) {
        message += " (closest:";
        for (size_t i = 0; i < closest.size(); ++i)
            message += (i == 0 ? " " : ", ") + closest[i];
        message += ")";
    }
    return ToolError(kCommand, message);
}
