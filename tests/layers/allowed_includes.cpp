// Built against core's top layer: every folder of core and the engine's public face are there,
// so that the failures of the other probes can only be the layers' doing.
#include "core/app/loader.h"
#include "core/sys/file_ops.h"
#include "ks/engine/engine.h"
#include "platform/cp1252.h"
