// SHA-256 of bytes, as lowercase hex: the tests compare records with published hashes.
#pragma once

#include <string>
#include <string_view>

namespace ks::test {

std::string Sha256Hex(std::string_view bytes);

}  // namespace ks::test
