#include "io/FileSystem.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <vector>

#include "app/CoreCfg.h"
#include "common/EngineString.h"
#include "io/Archive.h"
#include "io/FileSystemSerial.h"
#include "platform/DebugOutput.h"

namespace fs = std::filesystem;

namespace {

// Folders below the application folder searched for a bare name, in this order.
const char* const kResourceFolders[] = {"sound", "font", "cfg", "png", "png.set", "particle", "ui", "lua"};

// The folder search does not follow folder links and stops this deep, so a loop in the tree
// cannot recurse forever.
constexpr int kMaxFolderDepth = 32;

// Copy block of the package builder, extraction and the tool.
constexpr int32_t kCopyBlock = 64 * 1024;

// Names tried, after the output's own name + ".tmp", for the file a package is built in.
constexpr int kTemporaryNameAttempts = 100;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool HasSeparator(const std::string& path) { return path.find_first_of("/\\") != std::string::npos; }

bool EndsWithSeparator(const std::string& path) { return !path.empty() && IsSeparator(path.back()); }

// Games written for Windows use "\" in paths; here it is a folder separator like "/".
std::string ToSlashes(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

bool IsAbsolute(const std::string& path)
{
    return (!path.empty() && IsSeparator(path[0])) || (path.size() >= 2 && path[1] == ':');
}

bool IsReadMode(const char* mode) { return mode[0] == 'r'; }

// Every disk open goes through here, and opens regular files only: a folder would open as a
// stream on this platform (Windows never allowed it), and opening a named pipe or a device
// could wait forever for a writer or never end. Writing may also create a missing file.
FILE* OpenStream(const std::string& path, const char* mode)
{
    std::error_code ec;
    fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) {
        if (IsReadMode(mode))
            return nullptr;
    } else if (!fs::is_regular_file(status)) {
        return nullptr;
    }
    return std::fopen(path.c_str(), mode);
}

// A new, empty file beside path (path + ".tmp", or a numbered variant when that exists);
// never an existing file, so nothing of the user's is overwritten.
FILE* CreateTemporaryBeside(const std::string& path, std::string& temporary)
{
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        temporary = path + ".tmp" + (attempt == 0 ? std::string() : "." + std::to_string(attempt));
        errno = 0;
        if (FILE* f = std::fopen(temporary.c_str(), "wbx"))  // exclusive: fails when it exists
            return f;
        if (errno != EEXIST)
            break;
    }
    temporary.clear();
    return nullptr;
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (x != y && std::tolower(x) != std::tolower(y))
            return false;
    }
    return true;
}

// A loose file: the exact name first, then (for reading) a name in the same folder that differs
// only in ASCII case, as games made on a case-insensitive file system expect. When several
// differ only in case the byte-wise smallest is taken, so the choice does not depend on the
// folder's order.
FILE* OpenLoose(const std::string& path, const char* mode)
{
    if (FILE* f = OpenStream(path, mode))
        return f;
    if (!IsReadMode(mode))
        return nullptr;
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty())
        return nullptr;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    std::string best;
    for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        std::string candidate = it->path().filename().string();
        if (EqualsIgnoringCase(candidate, name) && (best.empty() || candidate < best))
            best = candidate;
    }
    if (best.empty() || best == name)
        return nullptr;
    return OpenStream(slash == std::string::npos ? best : folder + best, mode);
}

// The package header; one routine reads and writes it.
void TransferHeader(CIArchive& ar, int32_t& directoryOffset, int32_t& count)
{
    char magic[4];
    std::memcpy(magic, CPackage::kMagic, sizeof(magic));
    uint16_t version = CPackage::kVersion;
    uint8_t reserved[2] = {0, 0};
    ar.Bytes(magic, sizeof(magic));
    ar.UInt16(version);
    ar.Int32(directoryOffset);
    ar.Int32(count);
    ar.Bytes(reserved, sizeof(reserved));
}

// One directory record; false when the stream failed.
bool TransferEntry(CIArchive& ar, PackageEntry& entry)
{
    CKVQString name;
    if (ar.IsStoring())
        name = entry.name.c_str();
    ar.String(name);
    ar.Int32(entry.offset);
    ar.Int32(entry.size);
    if (ar.IsLoading())
        entry.name = name.c_str();
    return ar.GetError() == CISerial::kNoError;
}

// Result of a folder search: a stream, or why there is none.
struct SearchResult {
    FILE* stream = nullptr;
    bool stop = false;  // a matching file would not open: the search ends
};

// Depth-first below folder, in the order the file system lists it: first the files of this
// folder, then each sub-folder. The process's current folder is never changed.
SearchResult SearchFolder(const std::string& name, const fs::path& folder, const char* mode, int depth)
{
    SearchResult result;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    std::vector<fs::path> subfolders;
    for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        std::error_code statusError;
        fs::file_status status = it->symlink_status(statusError);
        if (statusError)
            continue;
        if (fs::is_directory(status)) {
            subfolders.push_back(it->path());
            continue;
        }
        if (fs::is_symlink(status) && fs::is_directory(it->path(), statusError))
            continue;  // a link to a folder is neither searched nor a file
        if (it->path().filename().string() == name) {
            result.stream = OpenStream(it->path().string(), mode);
            result.stop = result.stream == nullptr;
            return result;
        }
    }
    if (depth >= kMaxFolderDepth)
        return result;
    for (const fs::path& sub : subfolders) {
        result = SearchFolder(name, sub, mode, depth + 1);
        if (result.stream || result.stop)
            return result;
    }
    return result;
}

}  // namespace

bool CopyFileData(IFile& from, FILE* to, int32_t size)
{
    if (!to || size < 0)
        return false;
    uint8_t block[kCopyBlock];
    for (int32_t left = size; left > 0;) {
        int32_t want = std::min(left, kCopyBlock);
        if (from.Read(block, want) != want || std::fwrite(block, 1, static_cast<size_t>(want), to) != static_cast<size_t>(want))
            return false;
        left -= want;
    }
    return true;
}

std::string PackageInputPath(const std::string& name, const std::string& baseDir)
{
    std::string path = ToSlashes(name);
    if (baseDir.empty() || IsAbsolute(path))
        return path;
    std::string base = ToSlashes(baseDir);
    return EndsWithSeparator(base) ? base + path : base + "/" + path;
}

std::string FinalNamePart(const std::string& path)
{
    size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string ContainedRelativePath(const std::string& name)
{
    std::string path = ToSlashes(name);
    if (path.empty() || IsAbsolute(path) || EndsWithSeparator(path))
        return "";
    std::string result;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        std::string part = path.substr(start, end - start);
        if (part == "..")
            return "";
        if (!part.empty() && part != ".") {
            if (!result.empty())
                result += '/';
            result += part;
        }
        start = end + 1;
    }
    return result;
}

// ---------------------------------------------------------------------------------------------
// CPackage

CPackage::~CPackage() { Close(); }

void CPackage::Close()
{
    if (stream_)
        std::fclose(stream_);
    stream_ = nullptr;
    entries_.clear();
    index_.clear();
    damage_.clear();
}

bool CPackage::Load(const std::string& path)
{
    Close();
    stream_ = OpenLoose(ToSlashes(path), "rb");
    if (!stream_)
        return false;
    long length = StreamLength(stream_);
    auto fileLength = static_cast<int32_t>(std::clamp<long>(length, 0, INT32_MAX));

    CKVQPackageFile file(stream_, 0, fileLength, 0);
    CIFileSystemSerial serial(&file);
    CIArchive ar(&serial, CIArchive::SM_READ);
    int32_t directoryOffset = 0;
    int32_t count = 0;
    TransferHeader(ar, directoryOffset, count);
    // A damaged header gives an empty package; the damage is described for whoever reports it.
    if (ar.GetError() != CISerial::kNoError) {
        damage_ = "its header is cut short (" + std::to_string(fileLength) + " bytes; a header takes " +
                  std::to_string(kHeaderSize) + ")";
        return true;
    }
    if (directoryOffset < 0 || directoryOffset > fileLength) {
        damage_ = "its directory offset " + std::to_string(directoryOffset) + " lies outside the file (" +
                  std::to_string(fileLength) + " bytes)";
        return true;
    }
    if (count < 0) {
        damage_ = "its entry count is negative (" + std::to_string(count) + ")";
        return true;
    }
    serial.Seek(directoryOffset);
    if (serial.Tell() != directoryOffset)
        return true;

    // The count is not trusted: reading stops at the first record the file cannot hold, so a
    // huge count costs nothing and the records before the damage are kept.
    for (int32_t i = 0; i < count; ++i) {
        PackageEntry entry;
        const int32_t recordStart = serial.Tell();
        if (!TransferEntry(ar, entry)) {
            damage_ = "its directory lists " + std::to_string(count) + " entries, but only " + std::to_string(i) +
                      " can be read (entry " + std::to_string(i + 1) + " at byte " + std::to_string(recordStart) +
                      " runs past the end of the file)";
            break;
        }
        // Data outside the file is cut to what the file holds, so no reader is ever asked to
        // allocate more than the package's own size; the stated size is kept so that the
        // damage can be reported.
        entry.declaredSize = entry.size;
        if (entry.offset < 0 || entry.offset > fileLength || entry.size < 0)
            entry.size = 0;
        else
            entry.size = std::min(entry.size, fileLength - entry.offset);
        entries_.push_back(std::move(entry));
    }
    BuildIndex();
    return true;
}

void CPackage::BuildIndex()
{
    index_.clear();
    for (size_t i = 0; i < entries_.size(); ++i) {
        std::string part = FinalNamePart(entries_[i].name);
        if (!part.empty())
            index_.emplace(std::move(part), i);  // keeps the first in directory order
    }
}

const PackageEntry* CPackage::FindEntry(const std::string& fileName) const
{
    if (fileName.empty() || EndsWithSeparator(fileName))
        return nullptr;
    if (!HasSeparator(fileName)) {
        auto it = index_.find(fileName);
        return it == index_.end() ? nullptr : &entries_[it->second];
    }
    // A name with folders (never the engine's own lookup, which passes the final part): the
    // entry must end with it at a folder boundary.
    for (const PackageEntry& entry : entries_) {
        const std::string& n = entry.name;
        if (n.size() < fileName.size() || n.compare(n.size() - fileName.size(), fileName.size(), fileName) != 0)
            continue;
        if (n.size() == fileName.size() || IsSeparator(n[n.size() - fileName.size() - 1]))
            return &entry;
    }
    return nullptr;
}

IFile* CPackage::OpenEntry(const PackageEntry& entry) const
{
    if (!stream_)
        return nullptr;
    return new CKVQPackageFile(stream_, entry.offset, entry.size, entry.offset);
}

bool CPackage::BuildPackage(const std::string& outputPath, const std::string& baseDir)
{
    std::vector<PackageEntry> kept;
    int64_t running = kHeaderSize;
    for (const PackageEntry& input : entries_) {
        FILE* f = OpenLoose(PackageInputPath(input.name, baseDir), "rb");
        if (!f)
            continue;
        long size = StreamLength(f);
        std::fclose(f);
        if (size < 0 || running + size > INT32_MAX)
            return false;  // offsets are 32-bit: such a package cannot be addressed
        auto offset = static_cast<int32_t>(running);
        auto length = static_cast<int32_t>(size);
        kept.push_back(PackageEntry{input.name, offset, length, length});
        running += size;
    }
    entries_ = std::move(kept);
    BuildIndex();

    // Written aside and moved over the output only when complete: the output may be one of
    // the inputs, or a package the user still needs if this build fails.
    std::string target = ToSlashes(outputPath);
    std::string temporary;
    FILE* out = CreateTemporaryBeside(target, temporary);
    if (!out)
        return false;
    bool ok = true;
    {
        CKVQPackageFile file(out, 0, 0, 0);
        CIFileSystemSerial serial(&file);
        CIArchive ar(&serial, CIArchive::SM_WRITE);
        int32_t directoryOffset = 0;
        auto count = static_cast<int32_t>(entries_.size());
        TransferHeader(ar, directoryOffset, count);

        for (const PackageEntry& entry : entries_) {
            FILE* in = OpenLoose(PackageInputPath(entry.name, baseDir), "rb");
            if (!in) {
                ok = false;
                break;
            }
            // Scrambling is an XOR with the key byte, so the plain input read through an
            // entry window keyed with the entry's offset gives the bytes as stored.
            CKVQPackageFile scrambled(in, 0, entry.size, entry.offset);
            ok = CopyFileData(scrambled, out, entry.size);
            std::fclose(in);
            if (!ok)
                break;
        }
        if (ok) {
            directoryOffset = file.Tell();
            ar.setMode(CIArchive::SM_WRITE);
            TransferHeader(ar, directoryOffset, count);
            serial.Seek(directoryOffset);
            for (PackageEntry& entry : entries_)
                TransferEntry(ar, entry);
            ok = ar.GetError() == CISerial::kNoError;
        }
    }
    if (std::ferror(out))
        ok = false;
    if (std::fclose(out) != 0)
        ok = false;
    std::error_code ec;
    if (ok) {
        fs::rename(temporary, target, ec);
        ok = !ec;
    }
    if (!ok)
        fs::remove(temporary, ec);
    return ok;
}

// ---------------------------------------------------------------------------------------------
// CFileSystem

CFileSystem::CFileSystem()
    : resourceFolders_(std::begin(kResourceFolders), std::end(kResourceFolders))
{
    SetApplicationFolder(platform::ExecutableFolder());
}

CFileSystem::~CFileSystem()
{
    for (auto& package : packages_)
        delete package.second;
}

void CFileSystem::SetApplicationFolder(const std::string& folder)
{
    appFolder_ = folder.empty() ? std::string(platform::ExecutableFolder()) : ToSlashes(folder);
    if (!EndsWithSeparator(appFolder_))
        appFolder_ += '/';
    writePath_ = appFolder_;
}

void CFileSystem::SetWritePath(const std::string& path)
{
    writePath_ = path;
    if (!EndsWithSeparator(writePath_))
        writePath_ += '/';
}

void CFileSystem::AddSearchPath(const std::string& path)
{
    if (path.empty())
        return;  // would become "/", the root of the file system
    std::string entry = EndsWithSeparator(path) ? path : path + "/";
    if (std::find(searchPaths_.begin(), searchPaths_.end(), entry) == searchPaths_.end())
        searchPaths_.push_back(std::move(entry));
}

// A path with folders: as given (relative to the current folder), then, when relative, below
// the application folder, since games run from another folder with their root given.
static FILE* OpenWithFolders(const std::string& appFolder, const std::string& path, const char* mode)
{
    if (FILE* f = OpenLoose(path, mode))
        return f;
    if (IsAbsolute(path))
        return nullptr;
    return OpenLoose(appFolder + path, mode);
}

IFile* CFileSystem::OpenDisk(const char* path, const char* mode)
{
    if (!path || !*path || !mode || !*mode)
        return nullptr;
    std::string p = ToSlashes(path);
    if (HasSeparator(p)) {
        if (FILE* f = OpenWithFolders(appFolder_, p, mode))
            return new CDiskFile(f);
        RecordMiss(path);
        return nullptr;
    }
    std::string composed = appFolder_ + p;
    KVQAPI_OutputDebugStr(composed.c_str());
    if (FILE* f = OpenLoose(composed, mode))
        return new CDiskFile(f);
    for (const std::string& folder : resourceFolders_) {
        if (FILE* f = OpenLoose(appFolder_ + folder + "/" + p, mode))
            return new CDiskFile(f);
    }
    KVQAPI_OutputDebugStr(p.c_str());
    SearchResult found = SearchFolder(p, fs::path(appFolder_), mode, 0);
    if (found.stream)
        return new CDiskFile(found.stream);
    RecordMiss(path);
    return nullptr;
}

IFile* CFileSystem::Open(const char* path, bool allowDisk)
{
    if (!path || !*path)
        return nullptr;
    std::string p(path);
    std::string name = FinalNamePart(p);
    if (allowDisk && !HasSeparator(p)) {
        if (FILE* f = OpenLoose(appFolder_ + name, "rb"))
            return new CDiskFile(f);
        for (const std::string& folder : searchPaths_) {
            if (FILE* f = OpenWithFolders(appFolder_, ToSlashes(folder) + name, "rb"))
                return new CDiskFile(f);
        }
    }
    if (!name.empty()) {
        CPackage* package = FindPackage(packageName_);
        if (const PackageEntry* entry = package ? package->FindEntry(name) : nullptr) {
            if (IFile* file = package->OpenEntry(*entry))
                return file;
        }
    }
    return allowDisk ? OpenDisk(path, "rb") : nullptr;
}

IFile* CFileSystem::CreateMemoryFile(uint8_t* data, int32_t size, bool ownsData, bool fixedSize)
{
    if (!data || size <= 0)
        return nullptr;
    return new CKVQMemoryFile(data, size, ownsData, fixedSize);
}

void CFileSystem::Close(IFile*& file)
{
    delete file;
    file = nullptr;
}

CPackage* CFileSystem::FindPackage(const std::string& name)
{
    for (auto& package : packages_) {
        if (package.first == name)
            return package.second;
    }
    auto* package = new CPackage;
    std::string fileName = ToSlashes(name + ".KVQ");
    KVQAPI_OutputDebugStr(fileName.c_str());
    if (!package->Load(fileName) && !IsAbsolute(fileName))
        package->Load(appFolder_ + fileName);
    // Appended even when the file is missing, so a missing package is not looked for again.
    packages_.emplace_back(name, package);
    return package;
}

int32_t CFileSystem::GetFileSizeOnDisk(const char* path) const
{
    if (!path || !*path)
        return -1;
    FILE* f = OpenWithFolders(appFolder_, ToSlashes(path), "rb");
    if (!f)
        return -1;
    long length = StreamLength(f);
    std::fclose(f);
    return length < 0 ? -1 : static_cast<int32_t>(std::min<long>(length, INT32_MAX));
}

std::string CFileSystem::SetPackageName(const std::string& name)
{
    std::string previous = packageName_;
    packageName_ = name;
    return previous;
}

std::string CFileSystem::ExtractToWritePath(const std::string& name, const std::string& subfolder)
{
    // Names come from scripts and packages: none may reach outside the write path.
    std::string relative = ContainedRelativePath(name);
    std::string sub = subfolder.empty() ? std::string() : ContainedRelativePath(subfolder);
    if (relative.empty() || (!subfolder.empty() && sub.empty()))
        return "";
    std::string folder = writePath_ + (sub.empty() ? std::string() : sub + "/");
    std::string target = folder + relative;

    std::error_code ec;
    if (!extracted_.insert(name).second)
        return fs::is_regular_file(target, ec) ? target : std::string();

    IFile* source = Open(name.c_str(), false);
    if (!source)
        return "";
    int32_t size = source->GetSize();
    auto onDisk = fs::file_size(target, ec);
    if (!ec && onDisk == static_cast<uintmax_t>(size)) {
        Close(source);
        return target;
    }

    fs::create_directories(fs::path(target).parent_path(), ec);
    FILE* out = OpenStream(target, "wb");
    if (!out) {
        Close(source);
        return "";
    }
    bool ok = CopyFileData(*source, out, size);
    if (std::fclose(out) != 0)
        ok = false;
    Close(source);
    if (!ok) {
        fs::remove(target, ec);  // a half-written copy would pass the size check next time
        return "";
    }
    return target;
}

std::string CFileSystem::DescribeLookup(const std::string& path)
{
    std::string places;
    auto add = [&places](const std::string& place) {
        if (!places.empty())
            places += ", ";
        places += place;
    };
    const std::string p = ToSlashes(path);
    const bool bare = !HasSeparator(p);
    if (bare) {
        add(appFolder_);
        for (const std::string& folder : searchPaths_)
            add(folder);
    }
    CPackage* package = FindPackage(packageName_);
    if (package != nullptr && package->Stream() != nullptr)
        add("package " + packageName_ + ".KVQ");
    if (bare) {
        for (const std::string& folder : resourceFolders_)
            add(appFolder_ + folder + "/");
        add("every folder below " + appFolder_);
    } else if (IsAbsolute(p)) {
        add(p);
    } else {
        add(appFolder_ + p);
    }
    return places;
}

// The log lives in the application folder, so a game run with its root given elsewhere
// (kvqgame --root DIR) writes it into that game folder, not beside the executable.
void CFileSystem::RecordMiss(const std::string& path)
{
    if (!recordedMisses_.insert(path).second)
        return;
    FILE* log = OpenStream(appFolder_ + kMissingFileLog, "ab");
    if (!log)
        return;
    std::fprintf(log, "\n%s", path.c_str());
    std::fclose(log);
}

void CFileSystem::Reset()
{
    for (auto& package : packages_)
        delete package.second;
    packages_.clear();
    searchPaths_.clear();
    extracted_.clear();
    recordedMisses_.clear();
    packageName_.clear();
    SetApplicationFolder(platform::ExecutableFolder());
}

CFileSystem& GetFileSystem()
{
    // Never destroyed: files may be opened by other singletons' destructors at exit.
    static CFileSystem* fileSystem = new CFileSystem;
    return *fileSystem;
}
