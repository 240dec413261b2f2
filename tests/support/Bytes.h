#pragma once
// Small helpers for tests that compare streams byte by byte.

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "ui/Message.h"

inline std::vector<uint8_t> Bytes(std::initializer_list<int> values)
{
    std::vector<uint8_t> out;
    for (int v : values)
        out.push_back(static_cast<uint8_t>(v));
    return out;
}

inline std::vector<uint8_t> BytesOf(const CKVQMessage& m)
{
    return std::vector<uint8_t>(m.GetBuffer(), m.GetBuffer() + m.GetSize());
}

inline std::vector<uint8_t> BytesOf(const CIMemFile& f)
{
    return std::vector<uint8_t>(f.GetBuffer(), f.GetBuffer() + f.GetSize());
}
