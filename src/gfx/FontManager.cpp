// The font manager: one font per (file name, size), shared by every user, kept until the end.

#include <cstring>
#include <string>

#include "common/Notices.h"
#include "gfx/Font.h"
#include "gfx/Texture.h"
#include "io/LookupPlaces.h"

CKVQFontMgr& CKVQFontMgr::Instance()
{
    static CKVQFontMgr manager;
    return manager;
}

// The fonts' pages live in the texture cache: it is made first so that it is destroyed last.
CKVQFontMgr::CKVQFontMgr() : create_(CreateSystemFont)
{
    CTextureCache::Instance();
}

CKVQFont* CKVQFontMgr::Load(const std::string& name, int32_t size)
{
    for (const auto& [failedName, failedSize] : failed_) {
        if (failedName == name && failedSize == size)
            return nullptr;
    }
    auto font = std::make_unique<CKVQFont>(create_);
    if (!font->LoadFromFile(name.c_str(), size)) {
        // A missing file may still arrive (a download), so it is looked for again next time; a
        // damaged one or a face that cannot be made stays so, and is not read again every frame.
        const std::string& why = font->GetLoadError();
        if (why == CKVQFont::kNotFound) {
            notices::ReportMissing("font", name, LookupPlaces(name));
        } else {
            failed_.emplace_back(name, size);
            notices::NoticeOnce("font\x1f" + name, "font '" + name + "': " + why);
        }
        return nullptr;
    }
    const int32_t stored = font->GetStoredSize();
    CKVQFont* result = font.get();
    fonts_.push_back(Entry{name, size > 0 ? size : stored, size <= 0 || size == stored, std::move(font)});
    return result;
}

CKVQFont* CKVQFontMgr::GetFont(const char* fileName, int32_t size)
{
    if (size <= 0)
        return GetFont(fileName);
    if (fileName == nullptr || *fileName == '\0')
        return nullptr;
    for (Entry& entry : fonts_) {
        if (entry.size == size && std::strcmp(entry.fileName.c_str(), fileName) == 0)
            return entry.font.get();
    }
    return Load(fileName, size);
}

CKVQFont* CKVQFontMgr::GetFont(const char* fileName)
{
    if (fileName == nullptr || *fileName == '\0')
        return nullptr;
    for (Entry& entry : fonts_) {
        if (entry.fileSize && std::strcmp(entry.fileName.c_str(), fileName) == 0)
            return entry.font.get();
    }
    return Load(fileName, 0);
}

CKVQFont* CKVQFontMgr::GetDefaultFont()
{
    return fonts_.empty() ? nullptr : fonts_.front().font.get();
}

void CKVQFontMgr::ReleaseAll()
{
    for (Entry& entry : fonts_)
        entry.font->ReleaseDevice();
}

void CKVQFontMgr::RestoreAll()
{
    for (Entry& entry : fonts_)
        entry.font->RestoreDevice();
}

void CKVQFontMgr::Clear()
{
    fonts_.clear();
    failed_.clear();
}
