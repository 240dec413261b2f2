// Reads hostile bytes as an image set record. Whatever loads must store and load again to the
// same set, byte for byte, and every entry must answer a lookup by its name.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "gfx/ImageSet.h"
#include "io/MemFile.h"

namespace {

bool SameEntries(const CImageSet& a, const CImageSet& b)
{
    if (a.GetImageName() != b.GetImageName() || a.GetNames() != b.GetNames() ||
        a.Entries().size() != b.Entries().size())
        return false;
    for (size_t i = 0; i < a.Entries().size(); ++i) {
        const KVQRect& x = a.Entries()[i].rect;
        const KVQRect& y = b.Entries()[i].rect;
        if (a.Entries()[i].name != b.Entries()[i].name || x.left != y.left || x.right != y.right ||
            x.top != y.top || x.bottom != y.bottom)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        return 0;
    CIMemFile input(data, static_cast<int32_t>(size));
    CImageSet set("fuzz.png");
    if (!set.LoadFrom(input)) {
        if (!set.Entries().empty() || set.GetNames() != "|")
            std::abort();  // a failed load leaves the set empty
        return 0;
    }
    for (const ImageSetEntry& entry : set.Entries()) {
        if (set.GetRect(entry.name.c_str()) == nullptr && entry.name.find('\0') == std::string::npos)
            std::abort();
    }

    CIMemFile stored;
    if (!set.SaveTo(stored))
        std::abort();
    stored.Seek(0);
    CImageSet back;
    if (!back.LoadFrom(stored) || !SameEntries(set, back))
        std::abort();
    CIMemFile again;
    if (!back.SaveTo(again) || again.GetSize() != stored.GetSize() ||
        std::memcmp(again.GetBuffer(), stored.GetBuffer(), static_cast<size_t>(stored.GetSize())) != 0)
        std::abort();
    return 0;
}
