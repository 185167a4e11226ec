// Settings hold numbers as text. These read the leading number of such a text (a text that
// does not start with a number counts as 0) and convert it to a whole number the way the
// settings always were: rounded half to even, and a Failure ("Overflow") when it does not fit.
#pragma once

#include <cstdint>
#include <string_view>

namespace ks {

std::int16_t ValToInt16(std::string_view text);
std::int32_t ValToInt32(std::string_view text);

}  // namespace ks
