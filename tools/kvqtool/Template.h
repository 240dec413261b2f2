#pragma once
// The files of the game that "kvqtool new" writes, compiled into kvqtool from kvqtool/template/.

#include <cstddef>

struct EmbeddedFile {
    const char* path;  // relative to the game folder, "/" between folders
    const unsigned char* data;
    size_t size;
};

extern const EmbeddedFile kTemplateFiles[];
extern const size_t kTemplateFileCount;
