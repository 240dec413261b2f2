#pragma once
// The system's faces, found through fontconfig and read with FreeType: what a font's platform
// side stands on. Names are UTF-8 here; the font converts from the game's code page.

#include <cstdint>
#include <string>

namespace platform {

// The face that supplies what the named one cannot: characters it lacks, and names fontconfig
// matches only approximately.
constexpr const char* kFallbackFamily = "WenQuanYi Micro Hei";

struct FaceMatch {
    std::string file;    // the face's file
    int32_t index = 0;   // the face within the file
    std::string family;  // the family fontconfig chose
    bool exact = false;  // the chosen family is the one asked for
};

// Looks a family up through fontconfig. False when nothing at all matches.
bool MatchFace(const std::string& familyUtf8, FaceMatch& out);

}  // namespace platform
