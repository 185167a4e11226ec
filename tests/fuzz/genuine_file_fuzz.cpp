// Feeds arbitrary bytes to the reader of genuine 6.x table files as the bytes of a file, and
// converts the shape it reads as the import does. Besides crashes, hangs and sanitizer reports,
// it stops on a broken promise of the reader: a record shorter than the record length or
// longer than the engine takes, more records than the control record counts, a walk that ends
// without a refusal but short of that count, an order missing for a key with duplicates, or a
// converted key the engine could not order.
#include <cstdint>
#include <string_view>

#include "engine/genuine/byte_source.h"
#include "engine/genuine/genuine_file.h"
#include "engine/genuine/genuine_shape.h"

namespace genuine = ks::engine::genuine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    genuine::MemoryByteSource source(std::string_view(reinterpret_cast<const char*>(bytes), size));
    try {
        genuine::GenuineFile file(source, "fuzzed");
        const genuine::GenuineShape& shape = file.Shape();
        try {
            const ks::engine::FileSpec ours = genuine::OurShape(shape, "fuzzed");
            for (const auto& key : ours.keys) {
                for (const auto& segment : key.segments) {
                    if (ks::engine::CheckSegment(segment) != 0 || segment.position == 0 ||
                        segment.position + segment.length - 1U > ours.recordLength) {
                        __builtin_trap();
                    }
                }
            }
        } catch (const genuine::GenuineRefusal&) {
        }
        std::uint32_t handed = 0;
        file.ForEachRecord([&](std::string_view record, const genuine::GenuineFile::Order& order) {
            ++handed;
            if (record.size() < shape.recordLength ||
                record.size() > ks::engine::kMaxRecordLength || handed > shape.recordCount ||
                order.size() != shape.keys.size()) {
                __builtin_trap();
            }
            for (std::size_t k = 0; k < order.size(); ++k) {
                if ((order[k] > 0) != shape.keys[k].Duplicates()) {
                    __builtin_trap();
                }
            }
        });
        if (handed != shape.recordCount) {
            __builtin_trap();
        }
    } catch (const genuine::GenuineRefusal&) {
    }
    return 0;
}
