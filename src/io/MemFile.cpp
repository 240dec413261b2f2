#include "io/MemFile.h"

#include <algorithm>
#include <cstring>

CIMemFile::CIMemFile(int32_t capacityHint)
{
    if (capacityHint > kInlineCapacity)
        Grow(capacityHint);
}

CIMemFile::CIMemFile(const void* data, int32_t length)
{
    if (data && length > 0)
        Write(data, length);
    position_ = 0;
}

CIMemFile::~CIMemFile()
{
    delete[] heap_;
}

// Moves the content into new own storage of the given capacity.
void CIMemFile::Grow(int32_t wanted)
{
    auto* block = new uint8_t[static_cast<size_t>(wanted)]();
    std::memcpy(block, data_, static_cast<size_t>(std::min(length_, wanted)));
    delete[] heap_;
    heap_ = block;
    heapCapacity_ = wanted;
    data_ = block;
    capacity_ = wanted;
    view_ = false;
}

void CIMemFile::DropView()
{
    view_ = false;
    data_ = heap_ ? heap_ : inline_;
    capacity_ = heap_ ? heapCapacity_ : kInlineCapacity;
}

int32_t CIMemFile::Read(void* buffer, int32_t length)
{
    if (length < 0 || !ReadFast(buffer, length)) {
        error_ = kReadPastEnd;
        return -1;
    }
    return length;
}

int32_t CIMemFile::Write(const void* buffer, int32_t length)
{
    if (length < 0)
        return -1;
    int64_t end = static_cast<int64_t>(position_) + length;
    if (end > 0x7FFFFFFF)
        return -1;
    if (view_) {
        // Someone else's bytes: take a private copy before changing anything.
        int32_t keep = length_;
        const uint8_t* source = data_;
        DropView();
        length_ = 0;
        if (keep > capacity_)
            Grow(keep);
        std::memcpy(data_, source, static_cast<size_t>(keep));
        length_ = keep;
    }
    if (end > capacity_) {
        int64_t doubled = 2 * (static_cast<int64_t>(capacity_) + length);
        Grow(static_cast<int32_t>(std::min<int64_t>(std::max(end, doubled), 0x7FFFFFFF)));
    }
    if (position_ > length_)  // a seek past the end leaves a gap: keep it zeroed, not stale
        std::memset(data_ + length_, 0, static_cast<size_t>(position_ - length_));
    if (length > 0)
        std::memcpy(data_ + position_, buffer, static_cast<size_t>(length));
    position_ = static_cast<int32_t>(end);
    length_ = std::max(length_, position_);
    return length;
}

void CIMemFile::Reset()
{
    if (view_)
        DropView();
    length_ = 0;
    position_ = 0;
    error_ = kNoError;
}

uint8_t* CIMemFile::Fill(int32_t n)
{
    Reset();
    if (n <= 0)
        return data_;
    if (n > capacity_)
        Grow(n);
    std::memset(data_, 0, static_cast<size_t>(n));
    length_ = n;
    return data_;
}

void CIMemFile::SetView(const uint8_t* data, int32_t length)
{
    Reset();
    if (!data || length <= 0)
        return;
    data_ = const_cast<uint8_t*>(data);
    length_ = length;
    capacity_ = length;
    view_ = true;
}
