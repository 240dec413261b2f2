#pragma once
// What the engine and its tools tell a person, in one place.
//
// Two kinds of output leave the process on standard error:
//  - notices: what a user must see (a missing resource, a damaged file, a warning about the
//    configuration). Each is one line, prefixed with the program's name, and many are said only
//    once per run (NoticeOnce), so nothing repeats per frame;
//  - developer output (the platform's debug output): only when verbose is on (--verbose or
//    KVQ_VERBOSE=1), and nowhere otherwise.

#include <cstddef>
#include <string>

namespace notices {

// "kvqgame", "kvqtool", ...: the prefix of every notice line. Default "kvq".
void SetProgramName(const char* name);
const char* ProgramName();

// Developer output switch. Initialised from KVQ_VERBOSE=1 on first use; --verbose sets it.
void SetVerbose(bool on);
bool IsVerbose();

// Writes "<program>: <text>\n" to standard error.
void Notice(const std::string& text);
// As Notice, but only the first time `key` is seen in this run. Returns true when it was written.
// With `countRepeats`, later calls with the same key are counted for PrintRepeatCounts.
bool NoticeOnce(const std::string& key, const std::string& text, bool countRepeats = false);

// A resource the game names but that cannot be found, said once per kind and name per run:
// "<program>: missing <kind> '<name>' (looked in: <lookedIn>)". `kind` is a word such as
// "image", "image-set region", "sound", "font", "script". Returns true the first time.
bool ReportMissing(const char* kind, const std::string& name, const std::string& lookedIn);

// For the end of a run: prints "<program>: '<key>' repeated N more times" for every counted
// NoticeOnce key that was asked for again, in the order the keys were first seen, and clears the
// counts.
void PrintRepeatCounts();

// Forgets everything said so far (tests, and a new run in the same process).
void Reset();

}  // namespace notices
