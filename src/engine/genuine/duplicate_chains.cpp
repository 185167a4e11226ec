#include "engine/genuine/duplicate_chains.h"

#include <algorithm>

#include "engine/genuine/genuine_file.h"

namespace ks::engine::genuine {
namespace {

constexpr std::uint32_t kNoLink = 0xFFFFFFFF;

}  // namespace

std::string RecordAt(std::uint64_t address, std::uint16_t pageSize) {
    return "the record at logical page " + std::to_string(address / pageSize) + " byte " +
           std::to_string(address % pageSize);
}

std::vector<std::int64_t> PlacesInChains(const LiveRecords& live,
                                         const std::vector<std::size_t>& keys,
                                         std::uint16_t pageSize, const std::string& name) {
    const std::vector<std::uint64_t>& addresses = live.addresses;
    const std::size_t count = addresses.size();
    const std::size_t width = keys.size();
    auto previous = [&live, width](std::size_t record, std::size_t d) {
        return live.links[(record * width + d) * 2];
    };
    auto next = [&live, width](std::size_t record, std::size_t d) {
        return live.links[(record * width + d) * 2 + 1];
    };
    auto refuse = [&name](const std::string& reason) {
        throw GenuineRefusal{2, name + ": " + reason};
    };
    auto indexOf = [&addresses](std::uint32_t address) {
        const auto it = std::lower_bound(addresses.begin(), addresses.end(), address);
        return it != addresses.end() && *it == address
                   ? static_cast<std::size_t>(it - addresses.begin())
                   : addresses.size();
    };
    std::vector<std::int64_t> places(count * width, 0);
    for (std::size_t d = 0; d < width; ++d) {
        const std::string key = "key " + std::to_string(keys[d]);
        for (std::size_t head = 0; head < count; ++head) {
            if (previous(head, d) != kNoLink) {
                continue;
            }
            std::int64_t place = 1;
            std::size_t current = head;
            while (true) {
                // Each step marks a record not marked before: the walk ends.
                if (places[current * width + d] != 0) {
                    refuse("the duplicate links of " + key + " come back to " +
                           RecordAt(addresses[current], pageSize));
                }
                places[current * width + d] = place++;
                const std::uint32_t following = next(current, d);
                if (following == kNoLink) {
                    break;
                }
                const std::size_t index = indexOf(following);
                if (index == count || previous(index, d) != addresses[current]) {
                    refuse(RecordAt(addresses[current], pageSize) + " links its duplicates of " +
                           key + " to byte " + std::to_string(following) +
                           ", where no record links back");
                }
                current = index;
            }
        }
        for (std::size_t i = 0; i < count; ++i) {
            if (places[i * width + d] == 0) {
                refuse(RecordAt(addresses[i], pageSize) +
                       " is not reached by the duplicate links of " + key + " (a cycle)");
            }
        }
    }
    return places;
}

}  // namespace ks::engine::genuine
