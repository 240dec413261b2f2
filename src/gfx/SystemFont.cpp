// Placeholder until the system-face work lands (replaced by it).
#include "gfx/Font.h"

std::unique_ptr<IPlatformFont> CreateSystemFont(const CKVQString&, int32_t) { return nullptr; }
