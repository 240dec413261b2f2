#pragma once
// The Lua host: the one interpreter of the process. It registers the script bindings, runs script
// files through the engine's file system, and calls script functions by their global name for the
// rest of the engine. Script failures never unwind into the engine: every call is protected and a
// failure becomes the last-error text, a debug-output line and a message box. What a person sees
// of a failure ("script error: FILE:LINE: text (window 'w', message 'm')") is said once per
// distinct text; repeats are counted for the end of the run (notices::PrintRepeatCounts).

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct lua_State;

// The arguments of a global-function call, in call order.
class LuaArgList {
public:
    enum Kind : int32_t {
        kInteger = 0,
        kFloat = 1,
        kString = 2,
        kObject = 3,
    };
    struct Entry {
        int32_t kind = kInteger;
        int32_t* ref = nullptr;  // the caller's cached registry reference (-1 until taken), or none
        const char* typeName = nullptr;
        int32_t integer = 0;
        float number = 0.0f;
        const char* text = nullptr;
        void* object = nullptr;
    };

    void AddInteger(int32_t value);
    void AddFloat(float value);
    // With a cached reference the value is pushed from the registry (taken on first use).
    void AddString(const char* text, int32_t* cachedRef = nullptr);
    void AddObject(void* object, const char* typeName, int32_t* cachedRef = nullptr);
    const std::vector<Entry>& Entries() const { return entries_; }
    int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
    void Clear() { entries_.clear(); }

private:
    std::vector<Entry> entries_;
};

// Where a handler call comes from, named in the report of its failure. The window is held by
// handle, so that a window released while its handler runs is not read afterwards.
struct ScriptCallSite {
    uint32_t window = 0;             // window handle, 0 for none
    const char* message = nullptr;   // the message name the handler was called for
};

class CKVQLuaHost {
public:
    static constexpr size_t kLastErrorMax = 259;

    // CallGlobal results.
    enum CallResult : int32_t {
        kCallOk = 0,
        kCallNoFunction = 1,
        kCallError = 2,
    };

    CKVQLuaHost() = default;
    CKVQLuaHost(const CKVQLuaHost&) = delete;
    CKVQLuaHost& operator=(const CKVQLuaHost&) = delete;
    ~CKVQLuaHost();

    // luaL_newstate, the standard libraries, tolua++, the global "GetLastError"; clears the
    // last error. Returns 0.
    int32_t Open();
    // Closes the interpreter (tests; the engine keeps it for the life of the process).
    void Close();
    lua_State* GetState() const { return state_; }

    // Runs a script file once; a file that ran before and still has the same length is not run
    // again. False when the file is missing (silently) or fails (reported).
    bool DoFile(const char* path);
    // Compiles and runs text under a chunk name ("" by default; a name starting with "=" is shown
    // as it is in error texts, so an error can say which layout entry it came from). Failures set
    // the last error only.
    bool DoBuffer(const char* text, size_t length, const char* chunkName = "");

    int32_t RefName(const char* name);
    int32_t RefObject(void* object, const char* className);
    void Unref(int32_t ref);

    // Calls the global function of that name: 0 ran, 1 no such function, 2 it raised an error.
    // A failure's report names the call site when there is one.
    int32_t CallGlobal(const char* functionName, int32_t& cachedRef, const LuaArgList& args,
                       const ScriptCallSite* site = nullptr);

    const char* GetLastErrorText() const { return lastError_; }
    void ClearLastError() { lastError_[0] = 0; }
    void SetLastError(const char* text);  // cut to 259 characters; not yet shown
    // Whether the pending last error was shown to the user already (failures of files and
    // handlers are shown as they happen; those of in-memory chunks and engine texts are not).
    bool IsLastErrorShown() const { return lastErrorShown_; }
    // Shows the pending last error, when there is one and it was not shown yet, as the host shows
    // its own failures: once per distinct text, repeats counted.
    void ShowPendingError();

    // The message handler of the host's protected calls: notes the nearest script line for the
    // report when the error text does not name one already. The error value is left as it is.
    static int ErrorHandler(lua_State* L);

    // A destroyed engine object: its script userdata (if any) stops pointing at it, so scripts that
    // still hold it get a script error instead of touching freed memory, and the same address
    // reused by a new object gets a new userdata.
    void ForgetObject(void* object);

    const std::map<std::string, int32_t>& LoadedFiles() const { return loadedFiles_; }

private:
    void ReportFailure(int top, const char* caption, bool messageBox, const ScriptCallSite* site = nullptr);
    void ShowError(const std::string& text, const char* caption, const ScriptCallSite* site);
    int32_t ProtectedCall(int32_t argumentCount);
    void PushErrorHandler();

    lua_State* state_ = nullptr;
    char lastError_[kLastErrorMax + 1] = {};
    bool lastErrorShown_ = false;
    std::string errorLocation_;    // "FILE:LINE" noted by ErrorHandler for the failure being reported
    std::string pendingLocation_;  // the same, kept with a last error that was not shown yet
    std::map<std::string, int32_t> loadedFiles_;
};

CKVQLuaHost* SetCurrentHost(CKVQLuaHost* host);  // returns the previous one

// Where the file system looks for a script or logic file of that name: the "looked in" part of
// a missing-file notice.
std::string ScriptLookupText(const char* path);
CKVQLuaHost* GetCurrentHost();

// The start-up sequence of the script side: the process-wide host is opened and made current, the
// binding modules are registered in their order, "luaopen_sqlite3" and "luaopen_cjson" become
// globals, and the window module's seams (script references, delete notification, input method,
// destroyed objects) are connected. Returns the host.
CKVQLuaHost& InitScriptHost();
// Undoes InitScriptHost (tests): disconnects the seams and closes the interpreter.
void ShutdownScriptHost();
