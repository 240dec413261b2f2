// Replay files: every event form, comments and blank lines, delivery by tick, and a clear error
// naming the file and line for each kind of malformed line.

#include "app/Replay.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TempFiles.h"

namespace {

using platform::EventKind;

std::string ParseError(const std::string& text)
{
    ReplayScript script;
    std::string error;
    EXPECT_FALSE(script.Parse(text, "run.replay", error)) << text;
    EXPECT_TRUE(script.Events().empty());
    return error;
}

TEST(ReplayParse, EveryEventFormWithCommentsAndBlankLines)
{
    const std::string text =
        "# recorded input\r\n"
        "\n"
        "0 move 10 20   # hover first\r\n"
        "1 ldown 10 20\n"
        "1 lup 10 20\n"
        "  2\tldbl -3 4\n"
        "2 rdown 1 2\n"
        "2 rup 1 2\n"
        "2 rdbl 1 2\n"
        "3 wheel 5 6 -2\n"
        "4 keydown 0x41\n"
        "4 keyup 13\n"
        "5 text 你好 # kept\r\n"
        "6 minimize\n"
        "7 restore\n"
        "8 quit";
    ReplayScript script;
    std::string error;
    ASSERT_TRUE(script.Parse(text, "run.replay", error)) << error;
    const std::vector<ReplayEvent>& events = script.Events();
    ASSERT_EQ(events.size(), 14u);

    EXPECT_EQ(events[0].event.kind, EventKind::MouseMove);
    EXPECT_EQ(events[0].tick, 0u);
    EXPECT_EQ(events[0].line, 3);
    EXPECT_EQ(events[0].event.x, 10);
    EXPECT_EQ(events[0].event.y, 20);
    EXPECT_EQ(events[3].event.kind, EventKind::LButtonDblClk);
    EXPECT_EQ(events[3].event.x, -3);
    EXPECT_EQ(events[6].event.kind, EventKind::RButtonDblClk);
    EXPECT_EQ(events[7].event.kind, EventKind::MouseWheel);
    // -2 notches: -240 in the high 16 bits.
    EXPECT_EQ(events[7].event.key, 0xFF100000u);
    EXPECT_EQ(events[8].event.kind, EventKind::KeyDown);
    EXPECT_EQ(events[8].event.key, 0x41u);
    EXPECT_EQ(events[9].event.key, 13u);
    EXPECT_EQ(events[10].event.kind, EventKind::Text);
    EXPECT_EQ(events[10].event.text, "你好 # kept");
    EXPECT_EQ(events[11].event.kind, EventKind::Minimized);
    EXPECT_EQ(events[12].event.kind, EventKind::Restored);
    EXPECT_EQ(events[13].event.kind, EventKind::Close);
    EXPECT_EQ(events[13].line, 16);
}

TEST(ReplayParse, MalformedLinesNameFileLineAndProblem)
{
    struct Case {
        std::string text;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"0 move 1 2\nx move 1 2\n", "run.replay:2: 'x' is not a tick number"},
        {"-1 move 1 2\n", "run.replay:1: '-1' is not a tick number"},
        {"99999999999 move 1 2\n", "run.replay:1: '99999999999' is not a tick number"},
        {"\n\n3\n", "run.replay:3: the event is missing"},
        {"1 jump 1 2\n", "run.replay:1: unknown event 'jump'"},
        {"1 move 1\n", "run.replay:1: 'move' needs X Y"},
        {"1 ldown 1 y\n", "run.replay:1: 'y' is not a coordinate"},
        {"1 move 1 2 3\n", "run.replay:1: unexpected '3' after 'move'"},
        {"1 quit now\n", "run.replay:1: unexpected 'now' after 'quit'"},
        {"1 wheel 1 2\n", "run.replay:1: 'wheel' needs X Y DELTA"},
        {"1 wheel 1 2 300\n", "run.replay:1: '300' is not a wheel movement"},
        {"1 keydown\n", "run.replay:1: 'keydown' needs a virtual-key code"},
        {"1 keyup 256\n", "run.replay:1: '256' is not a virtual-key code"},
        {"1 keyup 0xZZ\n", "run.replay:1: '0xZZ' is not a virtual-key code"},
        {"1 text\n", "run.replay:1: 'text' needs the text to type"},
        {"1 text \xC3\x28\n", "run.replay:1: the text of 'text' is not valid UTF-8"},
        {"1 text \xED\xA0\x80\n", "run.replay:1: the text of 'text' is not valid UTF-8"},
        {"5 move 1 2\n4 move 1 2\n", "run.replay:2: tick 4 comes after tick 5"},
        {std::string("1 move 1 2\n1 text a\0b\n", 22), "run.replay:2: the line holds a NUL byte"},
    };
    for (const Case& c : cases) {
        const std::string error = ParseError(c.text);
        EXPECT_EQ(error.compare(0, c.expected.size(), c.expected), 0) << "got: " << error;
    }
}

TEST(ReplayDelivery, EventsComeOutByTickInFileOrder)
{
    ReplayScript script;
    std::string error;
    ASSERT_TRUE(script.Parse("0 keydown 1\n1 keydown 2\n1 keyup 2\n3 keydown 3\n", "r", error)) << error;
    platform::Event event;
    std::vector<uint32_t> beforeFirst;
    while (script.TakeDue(1, event))
        beforeFirst.push_back(event.key);
    EXPECT_EQ(beforeFirst, (std::vector<uint32_t>{1, 2, 2}));
    EXPECT_FALSE(script.TakeDue(2, event));
    EXPECT_FALSE(script.Finished());
    ASSERT_TRUE(script.TakeDue(3, event));
    EXPECT_EQ(event.key, 3u);
    EXPECT_TRUE(script.Finished());
    EXPECT_FALSE(script.TakeDue(100, event));
}

TEST(ReplayDelivery, ControlKeysTypeTheirCharacterRightAfterTheKeyDown)
{
    ReplayScript script;
    std::string error;
    ASSERT_TRUE(script.Parse("1 keydown 0x08\n1 keydown 0x09\n1 keyup 0x0D\n1 keydown 0x0D\n"
                             "2 keydown 0x1B\n2 keydown 0x41\n2 keydown 0x0A\n",
                             "r", error))
        << error;
    // Each event as "kind:key" or "text:characters", in delivery order.
    auto Describe = [](const platform::Event& event) {
        if (event.kind == EventKind::Text)
            return "text:" + event.text;
        return std::to_string(static_cast<int>(event.kind)) + ":" + std::to_string(event.key);
    };
    const std::string down = std::to_string(static_cast<int>(EventKind::KeyDown)) + ":";
    const std::string up = std::to_string(static_cast<int>(EventKind::KeyUp)) + ":";
    platform::Event event;
    std::vector<std::string> first;
    while (script.TakeDue(1, event))
        first.push_back(Describe(event));
    EXPECT_EQ(first, (std::vector<std::string>{down + "8", "text:\b", down + "9", "text:\t", up + "13", down + "13",
                                               "text:\r"}));

    // The character of the last key-down of a tick is still owed: not finished yet.
    ASSERT_TRUE(script.TakeDue(2, event));
    EXPECT_EQ(Describe(event), down + "27");
    EXPECT_FALSE(script.Finished());
    std::vector<std::string> second;
    while (script.TakeDue(2, event))
        second.push_back(Describe(event));
    // Other keys (a line feed included) type nothing of their own.
    EXPECT_EQ(second, (std::vector<std::string>{"text:\x1b", down + "65", down + "10"}));
    EXPECT_TRUE(script.Finished());

    // Parsing again starts clean, with no character left over.
    ASSERT_TRUE(script.Parse("5 keydown 8\n", "r", error)) << error;
    ASSERT_TRUE(script.TakeDue(5, event));
    ASSERT_TRUE(script.Parse("5 keyup 8\n", "r", error)) << error;
    ASSERT_TRUE(script.TakeDue(5, event));
    EXPECT_EQ(event.kind, EventKind::KeyUp);
    EXPECT_FALSE(script.TakeDue(5, event));
}

TEST(ReplayFile, ReadsFromDiskAndNamesAMissingFile)
{
    TempFolder folder;
    ASSERT_TRUE(folder.ok());
    const std::string path = folder / "input.replay";
    const std::string text = "1 ldown 3 4\n2 bogus\n";
    ASSERT_TRUE(WriteFile(path, text.data(), text.size()));
    ReplayScript script;
    std::string error;
    EXPECT_FALSE(script.LoadFile(path, error));
    EXPECT_EQ(error, path + ":2: unknown event 'bogus'");

    EXPECT_FALSE(script.LoadFile(folder / "missing.replay", error));
    EXPECT_NE(error.find("missing.replay"), std::string::npos);

    const std::string good = "1 ldown 3 4\n";
    ASSERT_TRUE(WriteFile(path, good.data(), good.size()));
    ASSERT_TRUE(script.LoadFile(path, error)) << error;
    EXPECT_EQ(script.Events().size(), 1u);
}

}  // namespace
