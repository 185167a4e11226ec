// Built against core's database layer: the record engine's own table file must not be found
// (tests/CMakeLists.txt expects the failure).
#include "engine/table_file.h"
