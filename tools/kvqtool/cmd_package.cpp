// kvqtool pack, list, cat, unpack: building and reading ".KVQ" package files.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "Commands.h"
#include "io/Archive.h"
#include "io/File.h"
#include "io/FileSystem.h"

namespace fs = std::filesystem;

namespace {

// Loads a package for reading; prints the error and returns false when it is not one.
bool LoadPackage(const char* command, const std::string& path, CPackage& package)
{
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        ToolError(command, path + ": no such package file");
        return false;
    }
    FILE* f = std::fopen(path.c_str(), "rb");
    char magic[sizeof(CPackage::kMagic)] = {};
    bool isPackage = f && std::fread(magic, 1, sizeof(magic), f) == sizeof(magic) &&
                     std::memcmp(magic, CPackage::kMagic, sizeof(magic)) == 0;
    if (f)
        std::fclose(f);
    if (!isPackage) {
        ToolError(command, path + ": not a package file (it does not begin with \".map\")");
        return false;
    }
    if (!package.Load(path)) {
        ToolError(command, path + ": cannot be opened");
        return false;
    }
    return true;
}

// Copies an entry's original bytes to an open stream; false on a short read or write.
bool CopyEntry(const CPackage& package, const PackageEntry& entry, FILE* out)
{
    IFile* file = package.OpenEntry(entry);
    if (!file)
        return false;
    bool ok = CopyFileData(*file, out, entry.size);
    delete file;
    return ok;
}

// The message for an entry whose data runs past the end of the package.
std::string TruncatedMessage(const std::string& packagePath, const PackageEntry& entry)
{
    return packagePath + ": entry '" + entry.name + "' is damaged: the directory gives " +
           std::to_string(entry.declaredSize) + " bytes at offset " + std::to_string(entry.offset) +
           ", the package holds " + std::to_string(entry.size);
}

}  // namespace

int RunPack(const ToolArgs& args)
{
    const char* cmd = "pack";
    if (WantsHelp(cmd, args))
        return 0;
    std::string output;
    std::string baseDir;
    std::vector<std::string> inputs;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && a == "-C") {
            if (i + 1 >= args.size())
                return ToolError(cmd, "-C needs a folder");
            baseDir = args[++i];
        } else if (!optionsEnded && a.size() > 1 && a[0] == '-') {
            return ToolError(cmd, "unknown option '" + a + "'");
        } else if (output.empty()) {
            output = a;
        } else {
            inputs.push_back(a);
        }
    }
    if (output.empty() || inputs.empty())
        return ToolError(cmd, "usage: kvqtool pack OUT.KVQ [-C DIR] FILE...");
    std::error_code ec;
    if (!baseDir.empty() && !fs::is_directory(baseDir, ec))
        return ToolError(cmd, baseDir + ": no such folder");

    // The builder drops inputs it cannot open; the tool names them instead.
    CPackage package;
    for (const std::string& name : inputs) {
        std::string source = PackageInputPath(name, baseDir);
        if (!fs::is_regular_file(source, ec))
            return ToolError(cmd, source + ": no such file");
        if (!std::ifstream(source, std::ios::binary))
            return ToolError(cmd, source + ": cannot be read");
        // The output is replaced only after the build, but a package holding the file it
        // replaces is never what was meant.
        if (fs::equivalent(source, output, ec))
            return ToolError(cmd, source + ": is the output package itself; choose another output name");
        package.AddInput(name);
    }
    // A failed build leaves the output as it was (the builder writes aside and replaces it
    // only when complete).
    if (!package.BuildPackage(output, baseDir))
        return ToolError(cmd, output + ": cannot write the package (unwritable, an input changed while "
                                       "being read, or the data exceeds 2 GiB)");
    return 0;
}

int RunList(const ToolArgs& args)
{
    const char* cmd = "list";
    if (WantsHelp(cmd, args))
        return 0;
    if (args.size() != 1)
        return ToolError(cmd, "usage: kvqtool list PKG.KVQ");
    CPackage package;
    if (!LoadPackage(cmd, args[0], package))
        return 1;
    int status = 0;
    for (const PackageEntry& entry : package.Entries()) {
        if (!entry.IsTruncated()) {
            std::printf("%s\t%d\t%d\n", entry.name.c_str(), entry.offset, entry.size);
            continue;
        }
        std::printf("%s\t%d\t%d\tdamaged: %d bytes present\n", entry.name.c_str(), entry.offset,
                    entry.declaredSize, entry.size);
        status = ToolError(cmd, TruncatedMessage(args[0], entry));
    }
    if (!package.Damage().empty())
        status = ToolError(cmd, args[0] + ": damaged: " + package.Damage());
    return status;
}

int RunCat(const ToolArgs& args)
{
    const char* cmd = "cat";
    if (WantsHelp(cmd, args))
        return 0;
    if (args.size() != 2)
        return ToolError(cmd, "usage: kvqtool cat PKG.KVQ NAME");
    CPackage package;
    if (!LoadPackage(cmd, args[0], package))
        return 1;
    // The engine matches by the final part of the name only.
    const PackageEntry* entry = package.FindEntry(FinalNamePart(args[1]));
    if (!entry)
        return ToolError(cmd, args[0] + ": no entry named '" + args[1] + "'");
    if (entry->IsTruncated())
        return ToolError(cmd, TruncatedMessage(args[0], *entry));
    if (!CopyEntry(package, *entry, stdout) || std::fflush(stdout) != 0)
        return ToolError(cmd, args[0] + ": entry '" + entry->name + "' could not be read completely");
    return 0;
}

int RunUnpack(const ToolArgs& args)
{
    const char* cmd = "unpack";
    if (WantsHelp(cmd, args))
        return 0;
    if (args.size() != 2)
        return ToolError(cmd, "usage: kvqtool unpack PKG.KVQ DIR");
    CPackage package;
    if (!LoadPackage(cmd, args[0], package))
        return 1;
    const fs::path root(args[1]);
    std::error_code ec;
    fs::create_directories(root, ec);
    if (!fs::is_directory(root, ec))
        return ToolError(cmd, args[1] + ": cannot create the folder");

    int status = 0;
    std::set<std::string> written;
    for (const PackageEntry& entry : package.Entries()) {
        std::string relative = ContainedRelativePath(entry.name);
        if (relative.empty()) {
            status = ToolError(cmd, "entry '" + entry.name + "' skipped: its name is empty, a folder, absolute or "
                                    "climbs out with \"..\"");
            continue;
        }
        // The engine finds the first of several equal names, so the first is the one kept.
        if (!written.insert(relative).second) {
            std::fprintf(stderr, "kvqtool unpack: entry '%s' skipped: an earlier entry has the same name\n",
                         entry.name.c_str());
            continue;
        }
        if (entry.IsTruncated()) {
            status = ToolError(cmd, TruncatedMessage(args[0], entry) + "; not extracted");
            continue;
        }
        fs::path target = root / relative;
        fs::create_directories(target.parent_path(), ec);
        fs::file_status existing = fs::status(target, ec);
        if (fs::exists(existing) && !fs::is_regular_file(existing)) {
            // Writing into a named pipe would wait for a reader; a folder cannot be written.
            status = ToolError(cmd, target.string() + ": exists and is not a regular file");
            continue;
        }
        FILE* out = std::fopen(target.c_str(), "wb");
        if (!out) {
            status = ToolError(cmd, target.string() + ": cannot be written");
            continue;
        }
        bool ok = CopyEntry(package, entry, out);
        if (std::fclose(out) != 0)
            ok = false;
        if (!ok)
            status = ToolError(cmd, target.string() + ": entry '" + entry.name + "' could not be copied completely");
    }
    return status;
}
