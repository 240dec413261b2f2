#pragma once
// The process-wide file system: loose files in the application folder, its resource folders
// and the search paths, and entries of ".KVQ" package files, found by one lookup order.

#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "io/File.h"

struct PackageEntry {
    std::string name;
    int32_t offset = 0;
    int32_t size = 0;          // bytes readable: the directory's size, cut to what the file holds
    int32_t declaredSize = 0;  // the size the directory states

    // The directory promises more data than the package holds (or a negative size): reads
    // give only the part that is there.
    bool IsTruncated() const { return size != declaredSize; }
};

// One loaded package: its stream (kept open) and its directory in file order. Also the
// package builder's list of input paths.
class CPackage {
public:
    CPackage() = default;
    CPackage(const CPackage&) = delete;
    CPackage& operator=(const CPackage&) = delete;
    ~CPackage();

    // Reads the header and directory of the package file at path. false when it cannot be
    // opened; a damaged directory keeps the records read before the damage.
    bool Load(const std::string& path);
    void Close();

    // First entry, in directory order, whose name ends with fileName at a folder boundary.
    const PackageEntry* FindEntry(const std::string& fileName) const;
    // Opens an entry (null when there is no stream).
    IFile* OpenEntry(const PackageEntry& entry) const;

    // Package builder: the input paths, then BuildPackage.
    void AddInput(const std::string& path) { entries_.push_back(PackageEntry{path, 0, 0, 0}); }
    // Writes the package. Inputs that cannot be opened are dropped from the list. When baseDir
    // is not empty, inputs are opened relative to it while names are stored as given. The
    // package is written to a new file beside outputPath that replaces it only once complete:
    // a failed build leaves whatever was at outputPath untouched.
    bool BuildPackage(const std::string& outputPath, const std::string& baseDir = "");

    const std::vector<PackageEntry>& Entries() const { return entries_; }
    FILE* Stream() const { return stream_; }
    // What is wrong with the header or directory read by the last Load ("" when nothing is):
    // "its directory lists 5 entries, but only 3 can be read (it ends at byte 90)". The entries
    // read before the damage stay usable.
    const std::string& Damage() const { return damage_; }

    static constexpr char kMagic[4] = {'.', 'm', 'a', 'p'};
    static constexpr uint16_t kVersion = 1;
    static constexpr int32_t kHeaderSize = 16;

private:
    void BuildIndex();

    FILE* stream_ = nullptr;
    std::vector<PackageEntry> entries_;
    std::string damage_;
    // Final name part -> first entry with that final part, so lookups need no scan.
    std::unordered_map<std::string, size_t> index_;
};

class IFileSystem {
public:
    virtual ~IFileSystem() = default;
    virtual IFile* OpenDisk(const char* path, const char* mode) = 0;
    virtual IFile* Open(const char* path, bool allowDisk) = 0;
    virtual IFile* CreateMemoryFile(uint8_t* data, int32_t size, bool ownsData, bool fixedSize) = 0;
    virtual void Close(IFile*& file) = 0;
    virtual CPackage* FindPackage(const std::string& name) = 0;
};

class CFileSystem final : public IFileSystem {
public:
    CFileSystem();
    ~CFileSystem() override;

    IFile* OpenDisk(const char* path, const char* mode) override;
    IFile* Open(const char* path, bool allowDisk) override;
    IFile* CreateMemoryFile(uint8_t* data, int32_t size, bool ownsData, bool fixedSize) override;
    void Close(IFile*& file) override;
    CPackage* FindPackage(const std::string& name) override;

    // The application folder (ends with "/"); defaults to the executable's folder. Setting it
    // also resets the write path to it.
    void SetApplicationFolder(const std::string& folder);
    const std::string& GetApplicationFolder() const { return appFolder_; }

    void AddSearchPath(const std::string& path);
    const std::vector<std::string>& GetSearchPaths() const { return searchPaths_; }
    const std::string& GetWritePath() const { return writePath_; }
    void SetWritePath(const std::string& path);
    const std::vector<std::string>& GetResourceFolders() const { return resourceFolders_; }

    // Length of the file at path opened directly (no search, no package), or -1.
    int32_t GetFileSizeOnDisk(const char* path) const;

    std::string SetPackageName(const std::string& name);  // returns the previous name
    const std::string& GetPackageName() const { return packageName_; }

    // Copies a packaged file to write path + subfolder + "/" + name so that libraries that
    // only take real paths can open it. Returns the target path, or "" when nothing is there.
    std::string ExtractToWritePath(const std::string& name, const std::string& subfolder);

    // Where a lookup of path searches, for messages: "/game/ui/main.ui, package data.KVQ".
    std::string DescribeLookup(const std::string& path);

    // Drops packages, search paths, extracted names and recorded misses (tests start from a
    // clean state).
    void Reset();

    static constexpr const char* kMissingFileLog = "file_no_exist.txt";

private:
    void RecordMiss(const std::string& path);

    std::string appFolder_;
    std::string writePath_;
    std::vector<std::string> resourceFolders_;
    std::vector<std::string> searchPaths_;
    std::vector<std::pair<std::string, CPackage*>> packages_;
    std::unordered_set<std::string> extracted_;
    // Names already written to the missing-file log in this run: a name looked up every frame
    // is logged once, not once per frame.
    std::unordered_set<std::string> recordedMisses_;
    std::string packageName_;
};

// The process-wide file system (created on first use).
CFileSystem& GetFileSystem();

// Copies size bytes from the current position of from to to; false on a short read or write.
bool CopyFileData(IFile& from, FILE* to, int32_t size);

// Where the package builder reads an input: name with "\" as a folder separator, below
// baseDir unless baseDir is empty or the name is absolute.
std::string PackageInputPath(const std::string& name, const std::string& baseDir);

// The text after the last "\" or "/" of a path (the whole path when it has neither).
std::string FinalNamePart(const std::string& path);
// A stored name as a path below some folder: "\" becomes "/"; "" when the name is empty,
// absolute, names a folder (ends with a separator) or has a ".." component.
std::string ContainedRelativePath(const std::string& name);
