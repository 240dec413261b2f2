// What the window manager tells of a layout file it could not load, or loaded from damage.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "io/FileSystem.h"
#include "ui/Message.h"
#include "ui/Window.h"
#include "ui/WindowMgr.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Kind = LayoutLoadError::Kind;

Bytes BlockOf(CKVQWindow* window)
{
    CKVQMessage out(CKVQMessage::kWindowCapacity);
    window->WriteBlock(out);
    return Bytes(out.GetBuffer(), out.GetBuffer() + out.GetSize());
}

void PutInt32(Bytes& bytes, size_t at, int32_t value)
{
    std::memcpy(bytes.data() + at, &value, sizeof(value));
}

}  // namespace

TEST(LayoutLoadError, SaysWhyAndWhereTheFileFailed)
{
    CKVQWindowMgr& mgr = CKVQWindowMgr::Instance();
    mgr.Reset();
    const fs::path folder = fs::temp_directory_path() / "kvq_layout_load_error";
    fs::remove_all(folder);
    fs::create_directories(folder);

    CKVQWindow* root = CKVQWindow::New();
    root->SetName("main");
    CKVQWindow* child = CKVQWindow::New();
    child->SetName("child");
    root->AppendChild(child);
    const Bytes childBlock = BlockOf(child);
    const Bytes intact = BlockOf(root);
    root->Delete();
    const auto childAt = static_cast<size_t>(
        std::search(intact.begin(), intact.end(), childBlock.begin(), childBlock.end()) - intact.begin());
    ASSERT_LT(childAt, intact.size());

    // The child's record said to be 10 bytes long: its fields run past that end.
    Bytes shortChild = intact;
    PutInt32(shortChild, childAt, 10);
    PutInt32(shortChild, childAt + 4, 10);
    const Bytes truncated(intact.begin(), intact.begin() + static_cast<long>(intact.size() / 2));
    const std::string json = "\n  {\"window\": {}}";

    struct Case {
        const char* what;
        bool write;
        Bytes bytes;
        Kind kind;
        int64_t byte;
        bool root;
    };
    const Case cases[] = {
        {"intact", true, intact, Kind::None, -1, true},
        {"missing", false, {}, Kind::NotFound, -1, false},
        {"empty", true, {}, Kind::Empty, -1, false},
        {"json", true, Bytes(json.begin(), json.end()), Kind::Json, -1, false},
        {"truncated", true, truncated, Kind::Damaged, 0, false},
        {"short child record", true, shortChild, Kind::Damaged, static_cast<int64_t>(childAt + 8 + 10), true},
    };
    for (const Case& c : cases) {
        const std::string path = (folder / (std::string(c.what) + ".ui")).string();
        if (c.write)
            std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(c.bytes.data()),
                                                         static_cast<std::streamsize>(c.bytes.size()));
        EXPECT_EQ(mgr.Load(path.c_str()), c.root) << c.what;
        EXPECT_EQ(mgr.GetLoadError().kind, c.kind) << c.what;
        EXPECT_EQ(mgr.GetLoadError().byte, c.byte) << c.what;
        EXPECT_EQ(mgr.GetLoadError().IsCutShort(), c.bytes == truncated) << c.what;
    }
    mgr.Reset();
    WindowModule::Get().ReleaseDeleted();
    fs::remove_all(folder);
}
