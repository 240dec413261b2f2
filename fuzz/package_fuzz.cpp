// Loads arbitrary bytes as a package file, then looks up and reads some of its entries.
// Loading must end quickly, allocate no more than the input's size, and never read outside
// what it was given; every entry must read back exactly the size it was given.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "../tests/support/TempFiles.h"
#include "io/File.h"
#include "io/FileSystem.h"

namespace {

const std::string& ScratchPath()
{
    static const TempFolder folder;
    static const std::string path = folder / "input.KVQ";
    return path;
}

// Entry sizes are cut to the package's size at load time, so this is bounded by the input,
// and the whole cut size is there to be read.
void CheckEntry(const CPackage& package, const PackageEntry& entry, size_t packageSize)
{
    if (entry.size < 0 || static_cast<size_t>(entry.size) > packageSize)
        __builtin_trap();
    if (!entry.IsTruncated() && entry.size != entry.declaredSize)
        __builtin_trap();
    if (ReadEntry(package, entry).size() != static_cast<size_t>(entry.size))
        __builtin_trap();
    if (IFile* file = package.OpenEntry(entry)) {
        file->Seek(0, IFile::kFromEnd);
        file->Tell();
        delete file;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!WriteFile(ScratchPath(), data, size))
        return 0;

    CPackage package;
    if (package.Load(ScratchPath())) {
        size_t checked = 0;
        for (const PackageEntry& entry : package.Entries()) {
            if (checked++ == 8)
                break;
            if (const PackageEntry* found = package.FindEntry(FinalNamePart(entry.name)))
                CheckEntry(package, *found, size);
            package.FindEntry(entry.name);
        }
        for (const char* name : {"a.png", "default.cfg", "", "x/", "png\\a.png"}) {
            if (const PackageEntry* found = package.FindEntry(name))
                CheckEntry(package, *found, size);
        }
        // Names from the package must never lead outside a target folder.
        for (const PackageEntry& entry : package.Entries()) {
            std::string relative = ContainedRelativePath(entry.name);
            std::string wrapped = "/" + relative + "/";
            if (!relative.empty() && (relative[0] == '/' || wrapped.find("/../") != std::string::npos))
                __builtin_trap();
        }
    }
    std::remove(ScratchPath().c_str());
    return 0;
}
