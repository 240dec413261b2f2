// Placeholder bodies so that everything links while the font work lands (replaced by it).
#include "gfx/Font.h"

CKVQFont::CKVQFont(FontCreateCallback create) : create_(create) {}
CKVQFont::~CKVQFont() = default;
bool CKVQFont::CreatePlatformFont(const CKVQString&, int32_t) { return false; }
bool CKVQFont::GetGlyph(uint16_t, FontGlyph&) { return false; }
int32_t CKVQFont::GetCharAdvance(uint16_t) { return 0; }
int32_t CKVQFont::GetTextWidth(std::u16string_view) { return 0; }
size_t CKVQFont::IndexAtWidth(std::u16string_view text, size_t, int32_t) { return text.size(); }
void CKVQFont::DrawLine(std::u16string_view, int32_t, int32_t, uint32_t) {}
void CKVQFont::DrawText(std::u16string_view, const KVQRect&, int32_t, uint32_t) {}
int32_t CKVQFont::MeasureWidestLine(std::u16string_view, const KVQRect&, int32_t) { return 0; }
bool CKVQFont::Transfer(CIArchive&) { return false; }
bool CKVQFont::LoadFromFile(const char*) { return false; }
void CKVQFont::ReleaseDevice() {}
void CKVQFont::RestoreDevice() {}

CKVQFontMgr& CKVQFontMgr::Instance()
{
    static CKVQFontMgr manager;
    return manager;
}
CKVQFontMgr::CKVQFontMgr() : create_(CreateSystemFont) {}
CKVQFont* CKVQFontMgr::GetFont(const char*, int32_t) { return nullptr; }
CKVQFont* CKVQFontMgr::GetFont(const char*) { return nullptr; }
CKVQFont* CKVQFontMgr::GetDefaultFont() { return nullptr; }
void CKVQFontMgr::ReleaseAll() {}
void CKVQFontMgr::RestoreAll() {}
void CKVQFontMgr::Clear() { fonts_.clear(); }
