// The version of the table file format the record engine writes and accepts.
#pragma once

namespace ks::engine {

int FormatVersion();

}  // namespace ks::engine
