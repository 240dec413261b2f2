#pragma once
// Image sets: named sub-rectangles of one image, so that several pictures share a texture. The set
// of an image "x.png" is read from the file "x.png.set" (an attribute archive).

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/Types.h"

class CIArchive;
class CISerial;

struct ImageSetEntry {
    std::string name;
    KVQRect rect;
};

class CImageSet {
public:
    explicit CImageSet(std::string imageName = {}) : imageName_(std::move(imageName)) {}

    // Reads the set's record from a file through the file system; false when the file is missing
    // or damaged (the set is then left empty).
    bool Load(const char* path);
    // Writes the record to a file on disk; false when it cannot be written.
    bool Save(const char* path);
    // The same record from or to any stream (tools, memory). A damaged or truncated record loads
    // as false and leaves the set empty.
    bool LoadFrom(CISerial& serial);
    bool SaveTo(CISerial& serial);
    // Replaces the rect of an entry, or appends a new entry.
    void SetRect(const char* name, const KVQRect& rect);
    // Null when there is no such entry. With several entries of one name, the first. The entry
    // stays valid until the next SetRect or load.
    const ImageSetEntry* GetRect(const char* name) const;

    const std::string& GetImageName() const { return imageName_; }
    void SetImageName(const std::string& name) { imageName_ = name; }
    // "|a|b|c|": every entry name between bars (the editor's choice list).
    const std::string& GetNames() const { return names_; }
    const std::vector<ImageSetEntry>& Entries() const { return entries_; }

    // Smallest stored entry: a name held as a single zero count, then four int32s. Counts that
    // promise more entries than the bytes left could hold are damage.
    static constexpr int32_t kMinEntryBytes = 4 + 4 * 4;

private:
    // The record, in both directions: image name, names text, entry count, entries.
    bool Serialize(CIArchive& ar);
    void Reset();
    void Append(ImageSetEntry entry);

    std::string imageName_;
    std::string names_ = "|";
    std::vector<ImageSetEntry> entries_;
    std::map<std::string, size_t> index_;
};

class CImageSetManager {
public:
    static CImageSetManager& Instance();

    // The set of an image; created on first request and, with loadFile, read from "NAME.set".
    CImageSet* GetSet(const char* imageName, bool loadFile);
    const ImageSetEntry* GetRect(const char* imageName, const char* entryName, bool loadFile);
    void Clear();  // tests

private:
    CImageSetManager() = default;
    std::map<std::string, std::unique_ptr<CImageSet>> sets_;
};
