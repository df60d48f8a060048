#ifndef VELHALYXAPI_R2_H
#define VELHALYXAPI_R2_H

// The whole public interface of the launcher client library.
#include "velhalyxapi_r2/Export.h"
#include "velhalyxapi_r2/HalyxSession.h"
#include "velhalyxapi_r2/KxHalyxdll.h"
#include "velhalyxapi_r2/Listeners.h"
#include "velhalyxapi_r2/SavegameHandles.h"

#endif  // VELHALYXAPI_R2_H
