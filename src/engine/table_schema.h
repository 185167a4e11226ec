// Names inside a table file: the columns of a key's folded bytes and of its duplicate order.
#pragma once

#include <cstddef>
#include <string>

namespace ks::engine {

inline std::string KeyColumn(std::size_t key) {
    return "k" + std::to_string(key);
}
inline std::string SeqColumn(std::size_t key) {
    return "s" + std::to_string(key);
}

}  // namespace ks::engine
