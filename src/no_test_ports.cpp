// The installed program's headless run has no test port.
#include "core/ports/test_ports.h"

namespace ks {

std::unique_ptr<TestPorts> MakeTestPorts() {
    return nullptr;
}

}  // namespace ks
