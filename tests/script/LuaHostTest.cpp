// The Lua host on its own: handler calls by name, their return codes and error texts, script
// files run once per length, object references and objects that the engine destroyed.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <new>
#include <string>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "tolua++.h"

#include "common/Notices.h"
#include "io/FileSystem.h"
#include "render/logic/LuaLogic.h"
#include "render/logic/XMLLuaLogic.h"
#include "script/LuaHost.h"
#include "script/ScriptTestSupport.h"
#include "support/TempFiles.h"

namespace {

// A small bound class of the test's own, so that object handling does not depend on any
// engine binding.
struct Probe {
    int value = 7;
};

int ProbeGetValue(lua_State* L)
{
    tolua_Error error{};
    if (!tolua_isusertype(L, 1, "Probe", 0, &error)) {
        tolua_error(L, "#ferror in function 'GetValue'.", &error);
        return 0;
    }
    auto* self = static_cast<Probe*>(tolua_tousertype(L, 1, nullptr));
    if (self == nullptr)
        tolua_error(L, "invalid 'self' in function 'GetValue'", nullptr);
    lua_pushnumber(L, self->value);
    return 1;
}

void RegisterProbe(lua_State* L)
{
    tolua_usertype(L, "Probe");
    tolua_module(L, nullptr, 0);
    tolua_beginmodule(L, nullptr);
    tolua_cclass(L, "Probe", "Probe", "", nullptr);
    tolua_beginmodule(L, "Probe");
    tolua_function(L, "GetValue", ProbeGetValue);
    tolua_endmodule(L);
    tolua_endmodule(L);
}

class LuaHostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(host.Open(), 0);
        previous_ = SetCurrentHost(&host);
        L = host.GetState();
        RegisterProbe(L);
    }
    void TearDown() override { SetCurrentHost(previous_); }

    bool Run(const std::string& code) { return host.DoBuffer(code.data(), code.size()); }
    std::string Global(const char* name) { return LuaGlobal(L, name); }
    bool GlobalIsTrue(const char* name) { return LuaGlobalIsTrue(L, name); }

    CKVQLuaHost host;
    lua_State* L = nullptr;
    LuaArgList noArgs;

private:
    CKVQLuaHost* previous_ = nullptr;
};

// ---- calls by name ------------------------------------------------------------------------------

TEST_F(LuaHostTest, HandlerDefinedAfterTheReferenceIsFoundThroughTheSameReference)
{
    int32_t ref = -1;
    EXPECT_EQ(host.CallGlobal("OnLate", ref, noArgs), CKVQLuaHost::kCallNoFunction);
    EXPECT_STREQ(host.GetLastErrorText(), "OnLate Find lua global function no exist");
    const int32_t taken = ref;
    EXPECT_NE(taken, -1);

    ASSERT_TRUE(Run("function OnLate() late = 'ran' end"));
    EXPECT_EQ(host.CallGlobal("OnLate", ref, noArgs), CKVQLuaHost::kCallOk);
    EXPECT_EQ(Global("late"), "ran");
    EXPECT_EQ(ref, taken);
}

TEST_F(LuaHostTest, RedefinedHandlerIsWhatTheNextCallRuns)
{
    int32_t ref = -1;
    ASSERT_TRUE(Run("function OnTick() version = 1 end"));
    ASSERT_EQ(host.CallGlobal("OnTick", ref, noArgs), CKVQLuaHost::kCallOk);
    EXPECT_EQ(Global("version"), "1");
    const int32_t taken = ref;

    ASSERT_TRUE(Run("function OnTick() version = 2 end"));
    ASSERT_EQ(host.CallGlobal("OnTick", ref, noArgs), CKVQLuaHost::kCallOk);
    EXPECT_EQ(Global("version"), "2");
    EXPECT_EQ(ref, taken);
}

TEST_F(LuaHostTest, RaisingHandlerReturnsTwoWithItsTextAndTheNextCallStillRuns)
{
    ASSERT_TRUE(Run("function OnBad() error('boom', 0) end function OnGood() good = true end"));
    int32_t bad = -1;
    int32_t good = -1;
    EXPECT_EQ(host.CallGlobal("OnBad", bad, noArgs), CKVQLuaHost::kCallError);
    EXPECT_STREQ(host.GetLastErrorText(), "boom");
    ASSERT_TRUE(Run("seen = GetLastError()"));
    EXPECT_EQ(Global("seen"), "boom");

    EXPECT_EQ(host.CallGlobal("OnGood", good, noArgs), CKVQLuaHost::kCallOk);
    EXPECT_TRUE(GlobalIsTrue("good"));

    // An error value that is not a text is described rather than dropped.
    ASSERT_TRUE(Run("function OnBad() error({}) end"));
    EXPECT_EQ(host.CallGlobal("OnBad", bad, noArgs), CKVQLuaHost::kCallError);
    EXPECT_STREQ(host.GetLastErrorText(), "(error object is a table value)");
}

TEST_F(LuaHostTest, GuardedGlobalsThatRaiseOnUnknownNamesCannotEscapeTheCall)
{
    ASSERT_TRUE(Run("function OnKnown() known = true end "
                    "setmetatable(_G, { __index = function(_, name) error('undeclared ' .. name, 0) end })"));
    int32_t missing = -1;
    int32_t known = -1;
    EXPECT_EQ(host.CallGlobal("OnUnknown", missing, noArgs), CKVQLuaHost::kCallError);
    EXPECT_STREQ(host.GetLastErrorText(), "undeclared OnUnknown");
    EXPECT_EQ(host.CallGlobal("OnKnown", known, noArgs), CKVQLuaHost::kCallOk);
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(LuaHostTest, ArgumentsArriveInOrderAndAMissingObjectIsNil)
{
    ASSERT_TRUE(Run("function OnArgs(...) n = select('#', ...) a, b, c, d, e, f = ... end"));
    Probe probe;
    int32_t nameRef = -1;
    int32_t probeRef = -1;
    int32_t ref = -1;
    LuaArgList args;
    args.AddInteger(-5);
    args.AddFloat(1.5f);
    args.AddString("OnClick", &nameRef);
    args.AddObject(&probe, "Probe", &probeRef);
    args.AddObject(nullptr, "Probe");
    args.AddObject(&probe, "NoSuchClass");  // not a bound class: nil, not a crash
    ASSERT_EQ(host.CallGlobal("OnArgs", ref, args), CKVQLuaHost::kCallOk);
    EXPECT_NE(nameRef, -1);
    EXPECT_NE(probeRef, -1);
    ASSERT_TRUE(Run("ok = n == 6 and a == -5 and b == 1.5 and c == 'OnClick' and d:GetValue() == 7 "
                    "and e == nil and f == nil"));
    EXPECT_EQ(host.RefObject(&probe, "NoSuchClass"), -1);
    EXPECT_TRUE(GlobalIsTrue("ok"));

    // Through the cached reference and without one, the object is the same userdata.
    ASSERT_TRUE(Run("first = d"));
    LuaArgList again;
    again.AddObject(&probe, "Probe");
    again.AddObject(&probe, "Probe", &probeRef);
    ASSERT_TRUE(Run("function OnArgs(x, y) same = rawequal(x, first) and rawequal(y, first) end"));
    ASSERT_EQ(host.CallGlobal("OnArgs", ref, again), CKVQLuaHost::kCallOk);
    EXPECT_TRUE(GlobalIsTrue("same"));
}

TEST_F(LuaHostTest, EveryOutcomeLeavesTheStackAsItWas)
{
    lua_pushnumber(L, 1);
    lua_pushstring(L, "kept");
    lua_pushnil(L);
    ASSERT_TRUE(Run("function OnFine(a) end function OnFail() error('x') end"));
    LuaArgList args;
    args.AddString("text");
    args.AddInteger(3);
    int32_t fine = -1;
    int32_t fail = -1;
    int32_t missing = -1;
    EXPECT_EQ(host.CallGlobal("OnFine", fine, args), CKVQLuaHost::kCallOk);
    EXPECT_EQ(lua_gettop(L), 3);
    EXPECT_EQ(host.CallGlobal("OnFail", fail, args), CKVQLuaHost::kCallError);
    EXPECT_EQ(lua_gettop(L), 3);
    EXPECT_EQ(host.CallGlobal("OnMissing", missing, args), CKVQLuaHost::kCallNoFunction);
    EXPECT_EQ(lua_gettop(L), 3);
    EXPECT_FALSE(Run("error('in memory', 0)"));
    EXPECT_STREQ(host.GetLastErrorText(), "in memory");
    EXPECT_FALSE(Run("this is not lua"));
    EXPECT_EQ(lua_gettop(L), 3);
    EXPECT_TRUE(Run("after = 1"));
    EXPECT_STREQ(lua_tostring(L, 2), "kept");
    lua_settop(L, 0);
}

TEST_F(LuaHostTest, LastErrorIsCutTo259Characters)
{
    ASSERT_TRUE(Run("function OnLong() error(string.rep('e', 400), 0) end"));
    int32_t ref = -1;
    ASSERT_EQ(host.CallGlobal("OnLong", ref, noArgs), CKVQLuaHost::kCallError);
    EXPECT_EQ(std::strlen(host.GetLastErrorText()), CKVQLuaHost::kLastErrorMax);
    EXPECT_EQ(std::string(host.GetLastErrorText()), std::string(259, 'e'));

    host.SetLastError(std::string(600, 'n').c_str());
    EXPECT_EQ(std::strlen(host.GetLastErrorText()), 259u);
    host.ClearLastError();
    EXPECT_STREQ(host.GetLastErrorText(), "");
}

// ---- script files -------------------------------------------------------------------------------

class LuaHostFiles : public LuaHostTest {
protected:
    void SetUp() override
    {
        LuaHostTest::SetUp();
        ASSERT_TRUE(folder.ok());
        GetFileSystem().Reset();
        GetFileSystem().SetApplicationFolder(folder.path() + "/");
    }
    void TearDown() override
    {
        GetFileSystem().Reset();
        LuaHostTest::TearDown();
    }
    TempFolder folder;
};

TEST_F(LuaHostFiles, SameLengthIsNotRunAgainAndANewLengthIs)
{
    ASSERT_TRUE(WriteFile(folder / "count.lua", std::string("count = (count or 0) + 1")));
    EXPECT_TRUE(host.DoFile("count.lua"));
    EXPECT_EQ(Global("count"), "1");
    EXPECT_EQ(host.LoadedFiles().at("count.lua"), 24);

    // Other text of the same length counts as unchanged.
    ASSERT_TRUE(WriteFile(folder / "count.lua", std::string("count = (count or 0) + 5")));
    EXPECT_TRUE(host.DoFile("count.lua"));
    EXPECT_EQ(Global("count"), "1");

    ASSERT_TRUE(WriteFile(folder / "count.lua", std::string("count = (count or 0) + 10")));
    EXPECT_TRUE(host.DoFile("count.lua"));
    EXPECT_EQ(Global("count"), "11");
    EXPECT_EQ(host.LoadedFiles().at("count.lua"), 25);
}

TEST_F(LuaHostFiles, FailedFileIsNotRecordedAndRunsAgain)
{
    ASSERT_TRUE(WriteFile(folder / "fails.lua", std::string("tries = (tries or 0) + 1 error('bad')")));
    EXPECT_FALSE(host.DoFile("fails.lua"));
    EXPECT_EQ(host.LoadedFiles().count("fails.lua"), 0u);
    EXPECT_NE(std::string(host.GetLastErrorText()).find("bad"), std::string::npos);
    EXPECT_FALSE(host.DoFile("fails.lua"));
    EXPECT_EQ(Global("tries"), "2");

    // The chunk is named by the path as passed; a missing file fails without an error.
    ASSERT_TRUE(WriteFile(folder / "sub/broken.lua", std::string("x = = 1")));
    const std::string path = folder / "sub/broken.lua";
    EXPECT_FALSE(host.DoFile(path.c_str()));
    EXPECT_NE(std::string(host.GetLastErrorText()).find(path), std::string::npos) << host.GetLastErrorText();
    host.ClearLastError();
    EXPECT_FALSE(host.DoFile("absent.lua"));
    EXPECT_STREQ(host.GetLastErrorText(), "");
}

// ---- objects ------------------------------------------------------------------------------------

TEST_F(LuaHostTest, ForgottenObjectGivesInvalidSelfAndItsAddressANewUserdata)
{
    // Both objects live in the same storage, so the second one really has the first's address.
    alignas(Probe) unsigned char storage[sizeof(Probe)];
    auto* probe = new (storage) Probe;
    const int32_t ref = host.RefObject(probe, "Probe");
    ASSERT_NE(ref, -1);
    SetGlobalFromRef(L, "held", ref);
    ASSERT_TRUE(Run("before = held:GetValue()"));
    EXPECT_EQ(Global("before"), "7");

    host.ForgetObject(probe);
    probe->~Probe();
    EXPECT_FALSE(Run("held:GetValue()"));
    EXPECT_NE(std::string(host.GetLastErrorText()).find("invalid 'self'"), std::string::npos)
        << host.GetLastErrorText();

    auto* other = new (storage) Probe;
    ASSERT_EQ(static_cast<void*>(other), static_cast<void*>(probe));
    other->value = 9;
    SetGlobalFromRef(L, "fresh", host.RefObject(other, "Probe"));
    ASSERT_TRUE(Run("distinct = not rawequal(fresh, held) and fresh:GetValue() == 9"));
    EXPECT_TRUE(GlobalIsTrue("distinct"));
    // The old userdata stays empty although its address is alive again.
    EXPECT_FALSE(Run("held:GetValue()"));
    host.ForgetObject(other);
    other->~Probe();
}

// ---- reports ------------------------------------------------------------------------------------

// Without a window, every failure is one line on standard error naming where it happened, said
// once however often it repeats; the repeats are counted for the end of the run.
TEST_F(LuaHostFiles, EachDistinctFailureIsShownOnceWithItsPlaceAndItsRepeatsCounted)
{
    ASSERT_TRUE(WriteFile(folder / "handlers.lua", std::string("function OnIndex()\n"
                                                               "  local t = nil\n"
                                                               "  return t.x\n"
                                                               "end\n"
                                                               "function OnEngine() string.rep() end\n"
                                                               "function OnBare() error('kaput', 0) end\n"
                                                               "function OnLines() error('two\\n   lines\\n') end\n")));
    ASSERT_TRUE(WriteFile(folder / "broken.lua", std::string("x = = 1")));
    ASSERT_TRUE(host.DoFile("handlers.lua"));
    const ScriptCallSite update{0, "OnUpdate"};
    auto call = [&](const char* function, const ScriptCallSite* site) {
        return [this, function, site] {
            int32_t ref = -1;
            host.CallGlobal(function, ref, noArgs, site);
        };
    };
    struct Case {
        const char* what;
        std::function<void()> fail;
        std::string line;
    };
    const Case cases[] = {
        {"error raised by a script line", call("OnIndex", nullptr),
         "script error: handlers.lua:3: attempt to index local 't' (a nil value)"},
        {"error raised by an engine function", call("OnEngine", &update),
         "script error: handlers.lua:5: bad argument #1 to 'rep' (string expected, got no value) (message 'OnUpdate')"},
        {"error without a position", call("OnBare", nullptr), "script error: handlers.lua:6: kaput"},
        {"text of several lines", call("OnLines", nullptr), "script error: handlers.lua:7: two lines"},
        {"missing function", call("OnGone", &update),
         "script error: OnGone Find lua global function no exist (message 'OnUpdate')"},
        {"file that does not compile", [this] { host.DoFile("broken.lua"); },
         "script error: broken.lua:1: unexpected symbol near '='"},
        {"in-memory chunk, said when the frame takes it",
         [this] {
             Run("error('later', 0)");
             host.ShowPendingError();
         },
         "script error: [string \"\"]:1: later"},
    };
    for (const Case& c : cases) {
        notices::Reset();
        ::testing::internal::CaptureStderr();
        for (int frame = 0; frame < 3; ++frame)
            c.fail();
        host.ShowPendingError();  // shown already: nothing more
        notices::PrintRepeatCounts();
        const std::string written = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(written, "kvq: " + c.line + "\nkvq: '" + c.line + "' repeated 2 more times\n") << c.what;
        EXPECT_TRUE(host.IsLastErrorShown()) << c.what;
    }
    notices::Reset();
}

// A script file, a logic's script file and a logic's XML file that cannot be found are each named
// once, with where they were looked for; an XML file that does not parse is named once too.
TEST_F(LuaHostFiles, MissingOrDamagedScriptFilesAreNamedOnce)
{
    CRenderObject_LuaLogic logic;
    logic.strLuaFile = "absent_logic.lua";
    CRenderObject_XMLLuaLogic xmlLogic;
    xmlLogic.strXMLFile = "absent_events.xml";
    xmlLogic.strLuaFile = "ui/absent_xml.lua";
    CRenderObject_XMLLuaLogic damaged;
    damaged.strXMLFile = "damaged.xml";
    ASSERT_TRUE(WriteFile(folder / "damaged.xml", std::string("<GameLogic>\n<Event call=\"OnThing\" name=\"OnX\"\n")));
    const struct {
        std::function<void()> load;
        std::string line;
    } cases[] = {
        {[this] { host.DoFile("absent.lua"); }, "missing script 'absent.lua' (looked in: " + folder.path() +
                                                     "/ and the folders below it)"},
        {[&] { logic.Start(nullptr); }, "missing script 'absent_logic.lua' (looked in: " + folder.path() +
                                            "/ and the folders below it)"},
        {[&] { xmlLogic.ParseXML(nullptr); }, "missing script 'absent_events.xml' (looked in: " + folder.path() +
                                                  "/ and the folders below it)"},
        {[&] { xmlLogic.ExecuteLua(); }, "missing script 'ui/absent_xml.lua' (looked in: " + folder.path() +
                                             "/ui/absent_xml.lua)"},
        {[&] { damaged.ParseXML(nullptr); }, "damaged.xml:2: Error reading Attributes. (the logic handles no message)"},
    };
    for (const auto& c : cases) {
        notices::Reset();
        ::testing::internal::CaptureStderr();
        c.load();
        c.load();
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "kvq: " + c.line + "\n");
        EXPECT_STREQ(host.GetLastErrorText(), "");
    }
    notices::Reset();
}

}  // namespace
