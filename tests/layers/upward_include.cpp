// Built against core's sys layer, whose view holds only core/base and core/sys: the include
// of the load's composition must not be found (tests/CMakeLists.txt expects the failure).
#include "core/app/loader.h"
