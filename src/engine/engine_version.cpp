#include "engine/engine_version.h"

namespace ks::engine {

int FormatVersion() {
    return 1;
}

}  // namespace ks::engine
