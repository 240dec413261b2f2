// Loads arbitrary bytes as a package file, then looks up and reads some of its entries.
// Loading must end quickly, allocate no more than the input's size, and never read outside
// what it was given.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "io/File.h"
#include "io/FileSystem.h"

namespace {

const std::string& ScratchPath()
{
    static const std::string path = "/tmp/kvq_package_fuzz_" + std::to_string(getpid()) + ".KVQ";
    return path;
}

void ReadEntry(const CPackage& package, const PackageEntry& entry)
{
    IFile* file = package.OpenEntry(entry);
    if (!file)
        return;
    // Entry sizes are cut to the package's size at load time, so this is bounded by the input.
    std::vector<uint8_t> data(static_cast<size_t>(file->GetSize()));
    if (!data.empty())
        file->Read(data.data(), static_cast<int32_t>(data.size()));
    file->Seek(0, IFile::kFromEnd);
    file->Tell();
    delete file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FILE* out = std::fopen(ScratchPath().c_str(), "wb");
    if (!out)
        return 0;
    if (size > 0)
        std::fwrite(data, 1, size, out);
    std::fclose(out);

    CPackage package;
    if (package.Load(ScratchPath())) {
        size_t checked = 0;
        for (const PackageEntry& entry : package.Entries()) {
            if (checked++ == 8)
                break;
            if (const PackageEntry* found = package.FindEntry(FinalNamePart(entry.name)))
                ReadEntry(package, *found);
            package.FindEntry(entry.name);
        }
        for (const char* name : {"a.png", "default.cfg", "", "x/", "png\\a.png"}) {
            if (const PackageEntry* found = package.FindEntry(name))
                ReadEntry(package, *found);
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
