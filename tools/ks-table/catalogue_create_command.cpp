#include "ks-table/catalogue_create_command.h"

#include <algorithm>
#include <charconv>
#include <ostream>

#include "core/db/db_limits.h"
#include "core/db/key_buffer.h"
#include "core/db/structure_btr.h"
#include "ks-table/table_tool.h"
#include "ks/engine/btr_call.h"
#include "ks/engine/btr_codes.h"
#include "platform/cp1252.h"

namespace ks {
namespace {

constexpr const char* kUsage = "usage: ks-table create FILE --catalogue N [--keep]\n";

int Usage(std::ostream& err, const std::string& message) {
    err << "ks-table: " << message << "\n" << kUsage;
    return engine::tool::kExitUsage;
}

}  // namespace

std::optional<int> RunCatalogueCreate(const std::vector<std::string>& args, engine::BtrCall& engine,
                                      std::ostream& out, std::ostream& err) {
    if (args.empty() || args[0] != "create" ||
        std::find(args.begin(), args.end(), "--catalogue") == args.end()) {
        return std::nullopt;
    }
    if (args.size() < 2 || args[1] == "--catalogue") {
        return Usage(err, "no file");
    }
    std::optional<int> number;
    bool keep = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--keep") {
            keep = true;
        } else if (args[i] == "--catalogue" && i + 1 < args.size() && !number) {
            const std::string& text = args[++i];
            int value = -1;
            const auto [end, error] =
                std::from_chars(text.data(), text.data() + text.size(), value);
            if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
                return Usage(err, "--catalogue needs a file number, not \"" + text + "\"");
            }
            number = value;
        } else {
            return Usage(err, "--catalogue takes no other option than --keep: " + args[i]);
        }
    }
    if (!number) {
        return Usage(err, "--catalogue needs a file number");
    }
    const std::optional<StructureBuffer> structure = CatalogueCreationBuffer(*number);
    if (!structure) {
        return Usage(err, "the catalogue has no table file " + std::to_string(*number));
    }
    const std::optional<std::string> path = TryUtf8ToCp1252(args[1]);
    if (!path || path->empty() || path->size() >= engine::kKeyBufferSize) {
        return Usage(err, "the file name \"" + args[1] + "\" cannot be handed to the engine");
    }
    StructureBuffer buffer = *structure;
    PositionBlock block;
    block.fill(static_cast<std::uint8_t>(' '));
    auto length = static_cast<std::uint32_t>(buffer.size());
    KeyBuffer key(*path);
    const std::int16_t result = engine.Call(
        engine::op::kCreate, block.data(), buffer.data(), length, key.Data(),
        static_cast<std::uint8_t>(path->size()), static_cast<std::int8_t>(keep ? -1 : 0));
    if (result != engine::status::kSuccess) {
        err << "ks-table: cannot create " << args[1] << ": status "
            << engine::tool::StatusText(result) << "\n";
        return engine::tool::kExitFailed;
    }
    out << "created " << args[1] << "\n";
    return engine::tool::kExitOk;
}

}  // namespace ks
