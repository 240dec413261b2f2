#pragma once
// Files for tests that go through the disk: a temporary folder removed afterwards, whole-file
// writes and reads, and the whole content of an open file or package entry.

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "io/File.h"
#include "io/FileSystem.h"

// A new folder below /tmp, removed with everything in it when the object goes.
class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/kvq_test_XXXXXX";
        const char* made = mkdtemp(pattern);
        path_ = made ? made : "";
    }
    ~TempFolder()
    {
        std::error_code ec;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool ok() const { return !path_.empty(); }
    // The folder, without a trailing "/".
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Writes the bytes to path, making its folders; false when the file cannot be written.
inline bool WriteFile(const std::string& path, const void* data, size_t size)
{
    std::error_code ec;
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent, ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (size > 0)
        out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

inline bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    return WriteFile(path, bytes.data(), bytes.size());
}

inline bool WriteFile(const std::string& path, const std::string& text)
{
    return WriteFile(path, text.data(), text.size());
}

// The whole file as bytes (empty when it cannot be read).
inline std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// GetSize() bytes read from the current position; what the read returned decides the length.
inline std::vector<uint8_t> ReadAll(IFile& file)
{
    int32_t size = file.GetSize();
    std::vector<uint8_t> data(static_cast<size_t>(size > 0 ? size : 0));
    int32_t got = data.empty() ? 0 : file.Read(data.data(), static_cast<int32_t>(data.size()));
    data.resize(static_cast<size_t>(got > 0 ? got : 0));
    return data;
}

// An entry's bytes as a reader of the package sees them.
inline std::vector<uint8_t> ReadEntry(const CPackage& package, const PackageEntry& entry)
{
    IFile* file = package.OpenEntry(entry);
    if (!file)
        return {};
    std::vector<uint8_t> data = ReadAll(*file);
    delete file;
    return data;
}
