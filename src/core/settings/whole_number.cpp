#include "core/settings/whole_number.h"

#include <cmath>
#include <limits>

#include "core/base/failure.h"
#include "core/sys/text_helpers.h"

namespace ks {
namespace {

template <class Int>
Int RoundToWhole(double value) {
    // nearbyint follows the default rounding mode, to nearest with ties to even.
    const double rounded = std::nearbyint(value);
    if (!(rounded >= static_cast<double>(std::numeric_limits<Int>::min()) &&
          rounded <= static_cast<double>(std::numeric_limits<Int>::max()))) {
        throw Failure(kErrOverflow, "Overflow");
    }
    return static_cast<Int>(rounded);
}

}  // namespace

std::int16_t ValToInt16(std::string_view text) {
    return RoundToWhole<std::int16_t>(Val(text));
}

std::int32_t ValToInt32(std::string_view text) {
    return RoundToWhole<std::int32_t>(Val(text));
}

}  // namespace ks
