// The pipe test programs of the transport serve their pipes in a pipe namespace of their own.
#include "kx/testing/PipeNamespace.h"

namespace {

const bool g_isolated = (kx::testing::IsolatePipeNamespace(), true);

}  // namespace
