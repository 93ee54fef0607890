// The base64 and varint codecs every stored code goes through.
//
// Input: a byte choosing the check, then its bytes:
//   0  base64 text: what decodes must encode and decode again to the same bytes;
//   1  bytes: encoding then decoding gives them back;
//   2  a record read field by field, each field's type taken from the next byte: a varint
//      that reads must be the value of its bytes (the same value written shortest takes as
//      many bytes, unless the read one ends in a zero group), strings, floats and bytes must
//      stay inside the record.

#include <stdexcept>
#include <string>

#include "FuzzInput.h"
#include "interface_contract/Base64.h"
#include "interface_contract/Varint.h"

using namespace Kestrel::Codec;

namespace {

void readRecord(FuzzInput& in) {
    const std::string_view types = in.bytes(in.byte());
    const std::string_view record = in.rest();
    RecordReader reader(record);
    try {
        for (char type : types) {
            const size_t before = reader.offset();
            switch (uint8_t(type) % 5) {
            case 0: {
                const uint64_t value = reader.varint("v");
                const size_t used = reader.offset() - before;
                std::string shortest;
                appendVarint(shortest, value);
                const bool endsInZeroGroup = used > 1 && record[reader.offset() - 1] == 0;
                if (!endsInZeroGroup && shortest.size() != used)
                    __builtin_trap();
                break;
            }
            case 1: reader.string("s"); break;
            case 2: reader.float32("f"); break;
            case 3: reader.float64("d"); break;
            default: reader.byte("b"); break;
            }
            if (reader.offset() > record.size() || reader.offset() <= before)
                __builtin_trap();
        }
    } catch (const std::runtime_error&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    switch (in.byte() % 3) {
    case 0: {
        std::string bytes;
        try {
            bytes = decodeBase64(in.rest());
        } catch (const std::runtime_error&) {
            return 0;
        }
        if (decodeBase64(encodeBase64(bytes)) != bytes)
            __builtin_trap();
        break;
    }
    case 1: {
        const std::string_view bytes = in.rest();
        const std::string text = encodeBase64(bytes);
        if (text.size() != (bytes.size() + 2) / 3 * 4 || decodeBase64(text) != bytes)
            __builtin_trap();
        break;
    }
    default: readRecord(in);
    }
    return 0;
}
