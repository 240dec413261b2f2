#include "gfx/ImageSet.h"

#include <string>
#include <utility>

#include "common/EngineString.h"
#include "io/Archive.h"
#include "io/FileSystem.h"
#include "io/FileSystemSerial.h"

namespace {

// An image's set lives in the file named after the image with this appended ("x.png.set").
constexpr const char* kSetFileSuffix = ".set";
constexpr char kNameSeparator = '|';

CKVQString ToEngineString(const std::string& text)
{
    CKVQString s;
    s.Assign(text.data(), static_cast<int32_t>(text.size()));
    return s;
}

std::string FromEngineString(const CKVQString& s)
{
    return std::string(s.c_str(), static_cast<size_t>(s.GetByteLength()));
}

}  // namespace

void CImageSet::Reset()
{
    entries_.clear();
    index_.clear();
    names_.assign(1, kNameSeparator);
}

void CImageSet::Append(ImageSetEntry entry)
{
    index_.emplace(entry.name, entries_.size());  // the first of equal names answers lookups
    names_ += entry.name;
    names_ += kNameSeparator;
    entries_.push_back(std::move(entry));
}

bool CImageSet::Serialize(CIArchive& ar)
{
    CKVQString image = ToEngineString(imageName_);
    CKVQString names = ToEngineString(names_);
    ar.String(image);
    ar.String(names);
    int32_t count = static_cast<int32_t>(entries_.size());
    ar.Int32(count);

    if (ar.IsStoring()) {
        for (ImageSetEntry& entry : entries_) {
            CKVQString name = ToEngineString(entry.name);
            ar.String(name);
            ar.Int32(entry.rect.left);
            ar.Int32(entry.rect.right);
            ar.Int32(entry.rect.top);
            ar.Int32(entry.rect.bottom);
        }
        return ar.GetError() == CISerial::kNoError;
    }

    CISerial* serial = ar.GetSerial();
    if (serial == nullptr || ar.GetError() != CISerial::kNoError || count < 0 ||
        count > serial->Remaining() / kMinEntryBytes)
        return false;
    std::vector<ImageSetEntry> loaded;
    loaded.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count && ar.GetError() == CISerial::kNoError; ++i) {
        CKVQString name;
        ImageSetEntry entry;
        ar.String(name);
        ar.Int32(entry.rect.left);
        ar.Int32(entry.rect.right);
        ar.Int32(entry.rect.top);
        ar.Int32(entry.rect.bottom);
        entry.name = FromEngineString(name);
        loaded.push_back(std::move(entry));
    }
    if (ar.GetError() != CISerial::kNoError)
        return false;

    // The stored names text is not trusted: it is rebuilt from the entries.
    imageName_ = FromEngineString(image);
    Reset();
    for (ImageSetEntry& entry : loaded)
        Append(std::move(entry));
    return true;
}

bool CImageSet::LoadFrom(CISerial& serial)
{
    CIArchive ar(&serial, CIArchive::SM_READ);
    if (Serialize(ar))
        return true;
    Reset();
    return false;
}

bool CImageSet::SaveTo(CISerial& serial)
{
    CIArchive ar(&serial, CIArchive::SM_WRITE);
    return Serialize(ar);
}

bool CImageSet::Load(const char* path)
{
    CFileSystem& fs = GetFileSystem();
    IFile* file = path != nullptr ? fs.Open(path, true) : nullptr;
    if (file == nullptr) {
        Reset();
        return false;
    }
    bool loaded = false;
    {
        CIFileSystemSerial serial(file);
        loaded = LoadFrom(serial);
    }
    fs.Close(file);
    return loaded;
}

bool CImageSet::Save(const char* path)
{
    CFileSystem& fs = GetFileSystem();
    IFile* file = path != nullptr ? fs.OpenDisk(path, "wb") : nullptr;
    if (file == nullptr)
        return false;
    bool saved = false;
    {
        CIFileSystemSerial serial(file);
        saved = SaveTo(serial);
    }
    fs.Close(file);
    return saved;
}

void CImageSet::SetRect(const char* name, const KVQRect& rect)
{
    if (name == nullptr)
        return;
    if (auto found = index_.find(name); found != index_.end()) {
        entries_[found->second].rect = rect;
        return;
    }
    Append(ImageSetEntry{name, rect});
}

const ImageSetEntry* CImageSet::GetRect(const char* name) const
{
    if (name == nullptr)
        return nullptr;
    auto found = index_.find(name);
    return found != index_.end() ? &entries_[found->second] : nullptr;
}

CImageSetManager& CImageSetManager::Instance()
{
    static CImageSetManager manager;
    return manager;
}

CImageSet* CImageSetManager::GetSet(const char* imageName, bool loadFile)
{
    if (imageName == nullptr)
        return nullptr;
    if (auto found = sets_.find(imageName); found != sets_.end())
        return found->second.get();
    auto set = std::make_unique<CImageSet>(imageName);
    if (loadFile) {
        const std::string path = std::string(imageName) + kSetFileSuffix;
        set->Load(path.c_str());
    }
    CImageSet* result = set.get();
    sets_.emplace(imageName, std::move(set));
    return result;
}

const ImageSetEntry* CImageSetManager::GetRect(const char* imageName, const char* entryName, bool loadFile)
{
    CImageSet* set = GetSet(imageName, loadFile);
    return set != nullptr ? set->GetRect(entryName) : nullptr;
}

void CImageSetManager::Clear()
{
    sets_.clear();
}
