// The generator's source of chance: a Mersenne twister, whose sequence the C++ standard fixes,
// reduced to ranges by plain arithmetic (the library's distributions differ from one standard
// library to the next), so that one seed gives the same station everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace ks::demo {

class DemoRandom {
  public:
    explicit DemoRandom(std::uint32_t seed) : m_engine(seed) {}

    // A whole number from 0 to count - 1 (0 when count is not positive).
    int Below(int count) {
        if (count <= 0) {
            return 0;
        }
        return static_cast<int>(m_engine() % static_cast<std::uint32_t>(count));
    }

    // A whole number from low to high, both included.
    int Between(int low, int high) { return low + Below(high - low + 1); }

    // True `percent` times out of a hundred.
    bool Chance(int percent) { return Below(100) < percent; }

    template <class T>
    void Shuffle(std::vector<T>& items) {
        for (std::size_t i = items.size(); i > 1; --i) {
            const auto j = static_cast<std::size_t>(Below(static_cast<int>(i)));
            std::swap(items[i - 1], items[j]);
        }
    }

  private:
    std::mt19937 m_engine;
};

}  // namespace ks::demo
