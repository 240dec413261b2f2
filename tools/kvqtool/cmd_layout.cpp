// kvqtool layout dump / build: layout files and window-list files as readable JSON and back.
//
// Both directions load real windows and render objects and run their own record routines,
// once against the byte form and once against a JSON record text (LayoutJson.h). Classes this
// build does not know keep their record block verbatim (as hex), so build(dump(file)) reproduces
// the file byte for byte. The brief form leaves out every field a new object has as it is.

#include <pthread.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "Commands.h"
#include "LayoutJson.h"
#include "io/Archive.h"
#include "io/MemFile.h"
#include "io/RecordBlock.h"
#include "render/OpaqueRender.h"
#include "render/RenderRegistry.h"
#include "ui/Message.h"
#include "ui/Window.h"

namespace {

using Json = LayoutJson;

const char* const kCommand = "layout";
const char* const kUsage =
    "usage: kvqtool layout dump [--brief] FILE | kvqtool layout build FILE.json OUT";
// Beyond this many nested JSON levels the dump is printed without indentation: indenting a deep
// chain of windows would make the text grow with the square of its depth.
constexpr int kMaxIndentedDepth = 96;

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = path + ": no such file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) {
        error = path + ": cannot be read";
        return false;
    }
    if (bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
        error = path + ": larger than 2 GiB";
        return false;
    }
    return true;
}

bool WriteFile(const std::string& path, const uint8_t* data, size_t size, std::string& error)
{
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        error = path + ": cannot be written";
        return false;
    }
    bool ok = size == 0 || std::fwrite(data, 1, size, out) == size;
    if (std::fclose(out) != 0)
        ok = false;
    if (!ok)
        error = path + ": writing failed";
    return ok;
}

int32_t ReadInt32(const std::vector<uint8_t>& bytes, size_t at)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(bytes[at + static_cast<size_t>(i)]) << (8 * i);
    return static_cast<int32_t>(v);
}

// A layout file is one window block filling the file; anything else is read as a window list.
bool IsLayoutFile(const std::vector<uint8_t>& bytes)
{
    if (bytes.size() < 8)
        return false;
    int32_t n = ReadInt32(bytes, 0);
    return n >= 0 && n == ReadInt32(bytes, 4) && static_cast<size_t>(n) + 8 == bytes.size();
}

std::vector<uint8_t> StoreBinary(LayoutWindows& layout)
{
    CKVQMessage out(CKVQMessage::kWindowCapacity);
    layout.Transfer(out);
    return std::vector<uint8_t>(out.GetBuffer(), out.GetBuffer() + out.GetSize());
}

size_t FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i])
            return i;
    }
    return n;
}

int JsonDepth(const Json& value)
{
    int deepest = 0;
    std::vector<std::pair<const Json*, int>> stack{{&value, 1}};
    while (!stack.empty()) {
        auto [node, depth] = stack.back();
        stack.pop_back();
        deepest = std::max(deepest, depth);
        if (node->is_structured()) {
            for (const Json& child : *node)
                stack.emplace_back(&child, depth + 1);
        }
    }
    return deepest;
}

void PrepareEngine()
{
    RegisterRenderClasses();
    SetKeepUnknownRenderObjects(true);
}

// Says on standard error when a document does not build back into the bytes it was dumped from
// (the file was not written by this engine, or holds values the engine would write differently).
void NoteIfNotRebuilt(const std::string& path, const char* form, Json document, LayoutSchema& schema,
                      const std::vector<uint8_t>& bytes)
{
    LayoutWindows rebuilt;
    std::string error;
    if (!LoadLayoutJson(document, rebuilt, schema, error)) {
        std::fprintf(stderr, "kvqtool %s: %s: note: the %s dump does not build back: %s\n", kCommand, path.c_str(),
                     form, error.c_str());
        return;
    }
    std::vector<uint8_t> again = StoreBinary(rebuilt);
    if (again != bytes)
        std::fprintf(stderr,
                     "kvqtool %s: %s: note: building the %s dump gives a file that differs from byte %zu "
                     "(the file is not in the form this engine writes)\n",
                     kCommand, path.c_str(), form, FirstDifference(again, bytes));
}

int Dump(const std::string& path, bool brief)
{
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadFile(path, bytes, error))
        return ToolError(kCommand, error);
    if (bytes.size() < 4)
        return ToolError(kCommand, path + ": too short for a layout or window-list file (" +
                                       std::to_string(bytes.size()) + " bytes)");
    PrepareEngine();

    LayoutWindows layout;
    layout.isList = !IsLayoutFile(bytes);
    CIMemFile view;
    view.SetView(bytes.data(), static_cast<int32_t>(bytes.size()));
    CIArchive ar(&view, CIArchive::SM_READ);
    record_block::damagedRecords = 0;
    record_block::skippedRecords = 0;
    layout.Transfer(ar);
    if (ar.GetError() != 0 || record_block::damagedRecords != 0 || (!layout.isList && layout.windows.empty()))
        return ToolError(kCommand, path + ": damaged: read as a " + (layout.isList ? "window list" : "layout") +
                                       ", its records end before their counts and lengths say");
    if (record_block::skippedRecords != 0)
        return ToolError(kCommand, path + ": windows nested deeper than " +
                                       std::to_string(CKVQWindow::kMaxNestingDepth) +
                                       " levels, which the engine does not load");
    if (view.Tell() != view.GetSize())
        return ToolError(kCommand, path + ": damaged: " + std::to_string(view.GetSize() - view.Tell()) +
                                       " bytes follow the " + (layout.isList ? "window list" : "layout"));

    LayoutSchema schema;
    Json document = StoreLayoutJson(layout, schema);
    if (brief)
        document = BriefLayoutJson(document, schema);
    NoteIfNotRebuilt(path, brief ? "brief" : "full", document, schema, bytes);

    std::string out;
    try {
        out = JsonDepth(document) > kMaxIndentedDepth ? document.dump() : document.dump(2);
    } catch (const Json::exception& e) {
        return ToolError(kCommand, path + ": cannot be printed as JSON: " + e.what());
    }
    out += '\n';
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0)
        return ToolError(kCommand, "writing to standard output failed");
    return 0;
}

int Build(const std::string& jsonPath, const std::string& outPath)
{
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadFile(jsonPath, bytes, error))
        return ToolError(kCommand, error);
    Json document = Json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (document.is_discarded()) {
        // Parse again with exceptions only to learn where the text breaks.
        try {
            document = Json::parse(bytes.begin(), bytes.end());
        } catch (const Json::parse_error& e) {
            return ToolError(kCommand, jsonPath + ": not JSON: " + e.what());
        }
        return ToolError(kCommand, jsonPath + ": not JSON");
    }
    PrepareEngine();
    LayoutSchema schema;
    LayoutWindows layout;
    record_block::skippedRecords = 0;
    if (!LoadLayoutJson(document, layout, schema, error))
        return ToolError(kCommand, jsonPath + ": " + error);
    if (record_block::skippedRecords != 0)
        return ToolError(kCommand, jsonPath + ": windows nested deeper than " +
                                       std::to_string(CKVQWindow::kMaxNestingDepth) +
                                       " levels, which the engine does not load");
    std::vector<uint8_t> binary = StoreBinary(layout);
    if (!WriteFile(outPath, binary.data(), binary.size(), error))
        return ToolError(kCommand, error);
    return 0;
}

// Layouts nest up to the engine's limit, and records and JSON documents are walked recursively:
// the work runs on a thread whose stack holds the deepest layout the engine loads.
constexpr size_t kWorkStackBytes = size_t{512} << 20;

int RunOnLargeStack(const std::function<int()>& work)
{
    struct Job {
        const std::function<int()>* work;
        int status;
    } job{&work, 1};
    pthread_attr_t attr;
    pthread_t thread;
    bool started = pthread_attr_init(&attr) == 0 && pthread_attr_setstacksize(&attr, kWorkStackBytes) == 0 &&
                   pthread_create(
                       &thread, &attr,
                       [](void* arg) -> void* {
                           auto* j = static_cast<Job*>(arg);
                           j->status = (*j->work)();
                           return nullptr;
                       },
                       &job) == 0;
    pthread_attr_destroy(&attr);
    if (!started)
        return work();  // no thread to be had: run here and hope the layout is not that deep
    pthread_join(thread, nullptr);
    return job.status;
}

}  // namespace

int RunLayout(const ToolArgs& args)
{
    if (WantsHelp(kCommand, args))
        return 0;
    if (args.size() == 2 && args[0] == "dump")
        return RunOnLargeStack([&] { return Dump(args[1], false); });
    if (args.size() == 3 && args[0] == "dump" && args[1] == "--brief")
        return RunOnLargeStack([&] { return Dump(args[2], true); });
    if (args.size() == 3 && args[0] == "build")
        return RunOnLargeStack([&] { return Build(args[1], args[2]); });
    return ToolError(kCommand, kUsage);
}
