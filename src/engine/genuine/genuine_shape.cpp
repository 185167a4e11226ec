#include "engine/genuine/genuine_shape.h"

#include "ks/engine/btr_codes.h"

namespace ks::engine::genuine {
namespace {

// Key flags of the genuine file that the conversion carries or reads.
constexpr std::uint16_t kKnownFlags = key_flag::kDuplicates | key_flag::kModifiable |
                                      key_flag::kSegmented | key_flag::kAlternateCollation |
                                      key_flag::kExtendedType | key_flag::kCaseInsensitive;

std::string TypeName(std::uint8_t type) {
    static constexpr const char* kNames[] = {
        "string",    "integer",  "float",           "date",          "time",    "decimal",
        "money",     "logical",  "numeric",         "bfloat",        "lstring", "zstring",
        "note",      "lvar",     "unsigned binary", "autoincrement", "bit",     "numericsts",
        "numericsa", "currency", "timestamp"};
    return type < std::size(kNames) ? kNames[type] : "type " + std::to_string(type);
}

std::string FlagProblem(std::uint16_t flags) {
    if ((flags & 0x0040) != 0) {
        return "descending order";
    }
    if ((flags & (0x0008 | 0x0200)) != 0) {
        return "null values (records left out of the key)";
    }
    if ((flags & key_flag::kBinary) != 0) {
        return "an old-style binary key";
    }
    return "key flags " + std::to_string(flags);
}

KeySegment OurSegment(const GenuineSegment& genuine, const std::string& where) {
    auto refuse = [&where](const std::string& why) {
        throw GenuineRefusal{1, where + ": " + why + " is not supported"};
    };
    if ((genuine.flags & ~kKnownFlags) != 0) {
        refuse(FlagProblem(genuine.flags & static_cast<std::uint16_t>(~kKnownFlags)));
    }
    KeySegment ours{
        genuine.position, genuine.length,
        static_cast<std::uint16_t>(
            genuine.flags & (key_flag::kDuplicates | key_flag::kModifiable | key_flag::kSegmented)),
        0};
    const bool extended = (genuine.flags & key_flag::kExtendedType) != 0;
    if (extended && genuine.type != key_type::kString) {
        ours.flags |= key_flag::kExtendedType;
        ours.type = genuine.type;
    }
    if ((genuine.flags & key_flag::kAlternateCollation) != 0) {
        // The numbered form (both flags) names its table as the plain form does.
        switch (genuine.collation) {
            case Collation::kUpper:
                ours.flags |= key_flag::kCaseInsensitive;
                break;
            case Collation::kLower:
                ours.flags |= key_flag::kAlternateCollation;
                break;
            default:
                refuse("the collating table \"" + genuine.tableName +
                       "\" (neither a-z as A-Z nor A-Z as a-z)");
        }
    } else if ((genuine.flags & key_flag::kCaseInsensitive) != 0) {
        ours.flags |= key_flag::kCaseInsensitive;
    }
    const bool known = ours.type == key_type::kString || ours.type == key_type::kZString ||
                       ours.type == key_type::kInteger || ours.type == key_type::kUnsigned ||
                       ours.type == key_type::kAutoIncrement;
    if (!known) {
        refuse("the " + TypeName(ours.type) + " type");
    }
    switch (CheckSegment(ours)) {
        case status::kSuccess:
            break;
        case status::kInvalidKeyLength:
            refuse("a " + TypeName(ours.type) + " of " + std::to_string(ours.length) + " bytes");
            break;
        default:
            refuse("a collating table on a " + TypeName(ours.type));
    }
    return ours;
}

}  // namespace

FileSpec OurShape(const GenuineShape& genuine, const std::string& name) {
    FileSpec shape;
    shape.recordLength = genuine.recordLength;
    shape.pageSize = genuine.pageSize;
    shape.fileFlags = genuine.variable ? file_flag::kVariableLength : 0;
    for (std::size_t k = 0; k < genuine.keys.size(); ++k) {
        KeyDef key;
        for (std::size_t s = 0; s < genuine.keys[k].segments.size(); ++s) {
            key.segments.push_back(OurSegment(
                genuine.keys[k].segments[s],
                name + ": key " + std::to_string(k) + " segment " + std::to_string(s + 1)));
        }
        if (key.Length() > kMaxKeyLength) {
            throw GenuineRefusal{1, name + ": key " + std::to_string(k) + " is " +
                                        std::to_string(key.Length()) + " bytes long, more than " +
                                        std::to_string(kMaxKeyLength)};
        }
        shape.keys.push_back(std::move(key));
    }
    return shape;
}

}  // namespace ks::engine::genuine
