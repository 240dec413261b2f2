#include "common/IntArray.h"

// Compiled once here; every user of IntArray shares this instance.
template class KVQArray<int32_t>;
