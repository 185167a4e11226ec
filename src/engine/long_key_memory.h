// Keys too long for a position block, remembered by the engine for the blocks of one open
// file. A block holds a token naming its key here and the key's hash: the key of a position
// must outlive its record (deleted by this or another process, or its key changed through
// another block), as the key a block holds whole does. Only the most recent keys are kept,
// so that the memory stays the same size however long the file stays open; a block whose
// key has been forgotten falls back on its record, recognised by the hash.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace ks::engine {

class LongKeyMemory {
  public:
    // How many keys one open file remembers: a block and the copies a caller makes of it
    // for side reads stay far below this.
    static constexpr std::size_t kCapacity = 16;

    static std::uint64_t Hash(std::string_view key) { return std::hash<std::string_view>{}(key); }

    // The token of `key`, never 0.
    std::uint32_t Remember(std::string key) {
        if (++m_last == 0) {
            m_last = 1;
        }
        m_entries[m_last % kCapacity] = {m_last, std::move(key)};
        return m_last;
    }

    // The key remembered under `token` when it is still there and has `hash`.
    const std::string* Recall(std::uint32_t token, std::uint64_t hash) const {
        const auto& [stored, key] = m_entries[token % kCapacity];
        return token != 0 && stored == token && Hash(key) == hash ? &key : nullptr;
    }

  private:
    std::array<std::pair<std::uint32_t, std::string>, kCapacity> m_entries{};
    std::uint32_t m_last = 0;
};

}  // namespace ks::engine
