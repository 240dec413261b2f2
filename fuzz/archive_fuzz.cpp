// Reads hostile bytes through the archive and message transfers. The first byte says how many
// of the following bytes are opcodes; the rest is the stream they read from.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "common/EngineString.h"
#include "io/MemFile.h"
#include "ui/Message.h"

namespace {

void ReadWith(CIArchive& ar, const uint8_t* ops, size_t opCount, int depth)
{
    for (size_t i = 0; i < opCount; ++i) {
        switch (ops[i] % 12) {
        case 0: { int8_t v; ar.Int8(v); break; }
        case 1: { uint16_t v; ar.UInt16(v); break; }
        case 2: { int32_t v; ar.Int32(v); break; }
        case 3: { float v; ar.Float(v); break; }
        case 4: { bool v; ar.Bool(v); break; }
        case 5: { int32_t v; ar.UiBoolean(v); break; }
        case 6: {
            CKVQString s;
            ar.String(s, ops[i] & 0x10 ? 64 : -1);
            // Whatever was read must convert and round-trip without harm.
            (void)s.GetLength();
            (void)s.GetUtf8String();
            CKVQMessage copy;
            copy.String(s);
            copy.setMode(CIArchive::SM_READ);
            CKVQString back;
            copy.String(back);
            if (back != s)
                std::abort();
            break;
        }
        case 7: {
            char buffer[32];
            int32_t n = 0;
            ar.CountedBytes(buffer, n, sizeof(buffer));
            break;
        }
        case 8: ar.Ptr("CKVQWindow", nullptr); break;
        case 9: {
            if (depth >= 8)
                break;
            CKVQMessage inner;
            // The remaining opcodes read the nested block; the outer stream is done.
            if (inner.ReadBlock(ar))
                ReadWith(inner, ops + i + 1, opCount - i - 1, depth + 1);
            return;
        }
        case 10: ar.SeekAddress(ops[i] % 10); break;
        case 11: {
            auto* m = dynamic_cast<CKVQMessage*>(&ar);
            if (m)
                (void)m->ScriptString();
            break;
        }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    size_t opCount = data[0];
    if (opCount > size - 1)
        opCount = size - 1;
    const uint8_t* ops = data + 1;
    const uint8_t* stream = ops + opCount;
    int32_t streamSize = static_cast<int32_t>(size - 1 - opCount);

    CKVQMessage message;
    message.Bytes(const_cast<uint8_t*>(stream), streamSize);
    message.setMode(CIArchive::SM_READ);
    ReadWith(message, ops, opCount, 0);

    CIMemFile file(stream, streamSize);
    CIArchive plain(&file, CIArchive::SM_READ);
    ReadWith(plain, ops, opCount, 0);
    return 0;
}
