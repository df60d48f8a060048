#include "kx/halyxdll/LibraryLifetime.h"

#include "kx/logger/DevBackend.h"
#include "kx/logger/Logger.h"

namespace kx {
namespace halyxdll {

void OnLibraryLoad() {
    common::Logger& logger = common::Logger::Get(0);
    logger.SetThreshold(common::kLogDebug);
    // Never freed: records may still arrive from background threads during unload.
    logger.AddBackend(new logger::DevBackend());
}

void OnLibraryUnload() {
    common::Logger::Get(0).Flush();
}

}  // namespace halyxdll
}  // namespace kx
