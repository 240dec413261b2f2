#pragma once
// Nested records. Windows, states and render objects are stored as record blocks (int32 n,
// int32 n, then the n bytes of the record) and gathered in counted lists (int32 count, then the
// items). These helpers hold both patterns once, for both directions and both forms: the byte
// form, and the text form where a block is a named nested object and a list a named sequence.

#include <cstdint>

#include "io/Archive.h"
#include "io/MemFile.h"
#include "io/RecordText.h"
#include "ui/Message.h"

namespace record_block {

// Bytes a record block takes before its record: the length, twice.
constexpr int32_t kBlockHeaderBytes = 8;

// Records read from blocks that ended before their routine did, and blocks passed over unread
// (on this thread). Loading goes on past both, as a loader should; tools that must not pass
// damage or omissions on silently look here.
inline thread_local int64_t damagedRecords = 0;
inline thread_local int64_t skippedRecords = 0;
// Where the first damage was met, in the bytes being read (null: none yet): the end of a record
// whose fields ran past it, or the start of a block whose length the stream cannot hold. Loads
// read nested blocks where they lie, so a reader of a whole file in memory can turn it into an
// offset in that file.
inline thread_local const uint8_t* firstDamageAt = nullptr;

inline void NoteDamageAt(const uint8_t* at)
{
    if (firstDamageAt == nullptr)
        firstDamageAt = at;
}

inline void PutLittleEndian32(uint8_t* at, int32_t value)
{
    auto bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(bits >> (8 * i));
}

}  // namespace record_block

// Transfers one record block; routine(CIArchive&) transfers the record inside it. Store writes
// the record into a fresh message of the given capacity (or, inside a memory stream, in place
// with the length filled in afterwards) and then the block. Load reads the block where it lies
// when the stream is memory, so records nested to any depth are not copied once per level.
// Returns false when the block could not be transferred (a bad length leaves the stream in error).
template <class F>
bool TransferBlock(CIArchive& ar, const char* name, int32_t capacity, F&& routine)
{
    if (IRecordText* text = ar.GetTextForm()) {
        if (!text->BeginBlock(name))
            return false;
        routine(ar);
        text->EndBlock();
        return text->GetError() == 0;
    }
    if (ar.IsStoring()) {
        if (auto* memory = dynamic_cast<CIMemFile*>(ar.GetSerial())) {
            int32_t start = memory->Tell();
            int32_t placeholder = 0;
            ar.Int32(placeholder);
            ar.Int32(placeholder);
            routine(ar);
            int32_t length = memory->Tell() - start - record_block::kBlockHeaderBytes;
            record_block::PutLittleEndian32(memory->GetBuffer() + start, length);
            record_block::PutLittleEndian32(memory->GetBuffer() + start + 4, length);
            return memory->GetError() == 0;
        }
        CKVQMessage block(capacity);
        block.SetVersion(ar.GetVersion());  // nested records follow their enclosing record's version
        routine(block);
        block.WriteBlock(ar);
        return ar.GetError() == 0;
    }
    auto* memory = dynamic_cast<CIMemFile*>(ar.GetSerial());
    const uint8_t* start = memory != nullptr ? memory->GetBuffer() + memory->Tell() : nullptr;
    CKVQMessage block(0);
    if (!block.ReadBlock(ar, true)) {
        record_block::NoteDamageAt(start);
        return false;
    }
    block.SetVersion(ar.GetVersion());
    routine(block);
    if (block.GetError() != 0) {
        ++record_block::damagedRecords;
        record_block::NoteDamageAt(block.GetBuffer() + block.GetSize());
    }
    return true;
}

// Passes over one record block without reading its record (an object this program cannot make).
inline bool SkipBlock(CIArchive& ar, const char* name)
{
    if (IRecordText* text = ar.GetTextForm()) {
        ++record_block::skippedRecords;
        if (!text->BeginBlock(name))
            return false;
        text->EndBlock();
        return text->GetError() == 0;
    }
    ++record_block::skippedRecords;
    CKVQMessage block(0);
    return block.ReadBlock(ar, true);
}

// Transfers a counted list. Store writes count, then calls item(i) for each index; load sets
// count from the stream and calls item(i) as often. item returns false to stop the list.
// On load a count is bounded by what the stream still holds (each item takes at least
// minItemBytes), a negative count is an empty list, and the loop stops at the first stream
// error: a hostile count can neither loop nor allocate without bound. Returns the number of
// items transferred.
template <class F>
int32_t TransferList(CIArchive& ar, const char* name, int32_t& count, int32_t minItemBytes, F&& item)
{
    IRecordText* text = ar.GetTextForm();
    if (text) {
        if (!text->BeginList(name, count)) {
            if (ar.IsLoading())
                count = 0;
            return 0;
        }
    } else if (ar.Int32(count, name) < 0) {
        count = 0;
        return 0;
    }
    if (ar.IsLoading() && !text) {
        CISerial* serial = ar.GetSerial();
        int32_t remaining = serial ? serial->Remaining() : 0;
        int32_t most = minItemBytes > 0 ? remaining / minItemBytes : remaining;
        if (count < 0)
            count = 0;
        else if (count > most)
            count = most;
    }
    int32_t done = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (ar.GetError() != 0)
            break;
        if (text)
            text->NextItem();
        if (!item(i))
            break;
        ++done;
    }
    if (text)
        text->EndList();
    return done;
}
