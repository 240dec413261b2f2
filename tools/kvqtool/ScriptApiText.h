#pragma once
// The script reference, generated into kvqtool at build time by scripts/script_api.py from the
// bindings: the whole text, and the part about each class, member ("Class:member"), global
// function, constant and message.

namespace script_api {

struct Part {
    const char* name;
    const char* text;
};

extern const char* const kReference;
extern const Part kParts[];
extern const int kPartCount;

}  // namespace script_api
