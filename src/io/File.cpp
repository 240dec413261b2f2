#include "io/File.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace {

int32_t ClampToInt32(long value)
{
    if (value < 0)
        return -1;
    return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

int OriginToWhence(int32_t origin)
{
    switch (origin) {
    case IFile::kFromStart:
        return SEEK_SET;
    case IFile::kFromCurrent:
        return SEEK_CUR;
    case IFile::kFromEnd:
        return SEEK_END;
    default:
        return -1;
    }
}

}  // namespace

long StreamLength(FILE* stream)
{
    if (!stream)
        return -1;
    long here = std::ftell(stream);
    if (here < 0 || std::fseek(stream, 0, SEEK_END) != 0)
        return -1;
    long end = std::ftell(stream);
    std::fseek(stream, here, SEEK_SET);
    return end;
}

// ---------------------------------------------------------------------------------------------
// CDiskFile

CDiskFile::~CDiskFile()
{
    if (stream_)
        std::fclose(stream_);
}

int32_t CDiskFile::Read(void* buffer, int32_t length)
{
    if (!stream_ || !buffer || length <= 0)
        return 0;
    return static_cast<int32_t>(std::fread(buffer, 1, static_cast<size_t>(length), stream_));
}

int32_t CDiskFile::Write(const void* buffer, int32_t length)
{
    if (!stream_ || !buffer || length <= 0)
        return 0;
    return static_cast<int32_t>(std::fwrite(buffer, 1, static_cast<size_t>(length), stream_));
}

int32_t CDiskFile::GetSize()
{
    return std::max<int32_t>(0, ClampToInt32(StreamLength(stream_)));
}

int32_t CDiskFile::Tell()
{
    return stream_ ? ClampToInt32(std::ftell(stream_)) : 0;
}

int32_t CDiskFile::Seek(int32_t offset, int32_t origin)
{
    int whence = OriginToWhence(origin);
    if (!stream_ || whence < 0)
        return 0;
    return std::fseek(stream_, offset, whence) == 0 ? 1 : 0;
}

int32_t CDiskFile::SetPosition(int32_t offset)
{
    // Callers get 0 whatever happens; the stream still moves so that the call is not a trap.
    if (stream_ && offset >= 0)
        std::fseek(stream_, offset, SEEK_SET);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// CKVQPackageFile

CKVQPackageFile::CKVQPackageFile(FILE* stream, int32_t base, int32_t size, int32_t key)
    : stream_(stream), base_(base), size_(size), key_(key)
{
    if (stream_ && base_ >= 0)
        std::fseek(stream_, base_, SEEK_SET);
}

int32_t CKVQPackageFile::Read(void* buffer, int32_t length)
{
    if (!stream_ || !buffer || length <= 0)
        return 0;
    size_t got = std::fread(buffer, 1, static_cast<size_t>(length), stream_);
    // Only the bytes actually read are unscrambled; the rest of the caller's buffer is not
    // touched.
    auto key = static_cast<uint8_t>(key_ & 0xFF);
    if (key != 0) {
        auto* bytes = static_cast<uint8_t*>(buffer);
        for (size_t i = 0; i < got; ++i)
            bytes[i] ^= key;
    }
    return static_cast<int32_t>(got);
}

int32_t CKVQPackageFile::Write(const void* buffer, int32_t length)
{
    if (!stream_ || !buffer || length <= 0)
        return 0;
    auto key = static_cast<uint8_t>(key_ & 0xFF);
    const auto* source = static_cast<const uint8_t*>(buffer);
    uint8_t chunk[1024];
    int32_t written = 0;
    while (written < length) {
        int32_t n = std::min<int32_t>(length - written, static_cast<int32_t>(sizeof(chunk)));
        for (int32_t i = 0; i < n; ++i)
            chunk[i] = source[written + i] ^ key;
        size_t put = std::fwrite(chunk, 1, static_cast<size_t>(n), stream_);
        written += static_cast<int32_t>(put);
        if (put != static_cast<size_t>(n))
            break;
    }
    return written;
}

int32_t CKVQPackageFile::Tell()
{
    if (!stream_)
        return 0;
    long position = std::ftell(stream_);
    if (position < 0)
        return 0;
    long relative = position - static_cast<long>(base_);
    return relative > INT32_MAX ? INT32_MAX : static_cast<int32_t>(relative);
}

int32_t CKVQPackageFile::Seek(int32_t offset, int32_t origin)
{
    if (!stream_)
        return 0;
    long target = 0;
    int whence = SEEK_SET;
    switch (origin) {
    case kFromStart:
        target = static_cast<long>(base_) + offset;
        break;
    case kFromCurrent:
        target = offset;
        whence = SEEK_CUR;
        break;
    case kFromEnd:
        target = static_cast<long>(base_) + size_ + offset;
        break;
    default:
        return 0;
    }
    if (whence == SEEK_SET && target < 0)
        return 0;
    return std::fseek(stream_, target, whence) == 0 ? 1 : 0;
}

int32_t CKVQPackageFile::SetPosition(int32_t offset)
{
    long target = static_cast<long>(base_) + offset;
    if (!stream_ || offset < 0 || target < 0)
        return -1;
    std::fseek(stream_, target, SEEK_SET);
    return offset;
}

// ---------------------------------------------------------------------------------------------
// CKVQMemoryFile
//
// Owned data is released with delete[]: a caller that hands over ownership allocates with
// new uint8_t[].

CKVQMemoryFile::CKVQMemoryFile(uint8_t* data, int32_t size, bool ownsData, bool fixedSize)
    : data_(data), size_(data ? std::max<int32_t>(size, 0) : 0), ownsData_(ownsData), fixedSize_(fixedSize)
{
}

CKVQMemoryFile::~CKVQMemoryFile()
{
    if (ownsData_)
        delete[] data_;
}

int32_t CKVQMemoryFile::Read(void* buffer, int32_t length)
{
    if (!buffer || length <= 0)
        return 0;
    if (static_cast<int64_t>(position_) + length > size_)
        return 0;
    std::memcpy(buffer, data_ + position_, static_cast<size_t>(length));
    position_ += length;
    return length;
}

int32_t CKVQMemoryFile::Write(const void* buffer, int32_t length)
{
    if (!buffer || length <= 0)
        return 0;
    int64_t end = static_cast<int64_t>(position_) + length;
    if (end > size_) {
        if (fixedSize_ || end > INT32_MAX)
            return 0;
        // Room for as much again, so a stream of small writes does not copy each time.
        auto grown = static_cast<int32_t>(std::min<int64_t>(2 * end, INT32_MAX));
        auto* block = new (std::nothrow) uint8_t[static_cast<size_t>(grown)]();
        if (!block)
            return 0;
        // The position may lie beyond the old data (SetPosition allows it): the gap stays zero.
        if (data_)
            std::memcpy(block, data_, static_cast<size_t>(std::min(position_, size_)));
        if (ownsData_)
            delete[] data_;
        data_ = block;
        size_ = grown;
        ownsData_ = true;
    }
    std::memcpy(data_ + position_, buffer, static_cast<size_t>(length));
    position_ += length;
    return length;
}

int32_t CKVQMemoryFile::Seek(int32_t offset, int32_t origin)
{
    int64_t target = 0;
    switch (origin) {
    case kFromStart:
        target = offset;
        break;
    case kFromCurrent:
        target = static_cast<int64_t>(position_) + offset;
        break;
    case kFromEnd:
        if (offset > 0 || offset < -static_cast<int64_t>(size_))
            return 0;
        position_ = size_ + offset;
        return 1;
    default:
        return 0;
    }
    if (target < 0 || target >= size_)
        return 0;
    position_ = static_cast<int32_t>(target);
    return 1;
}

int32_t CKVQMemoryFile::SetPosition(int32_t offset)
{
    if (offset < 0)
        return -1;
    position_ = offset;
    return offset;
}
