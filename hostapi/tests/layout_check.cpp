// Nothing to run: including the headers evaluates their layout guards for this target.
#include <type_traits>

#if defined(_WIN32)
// Plug-ins include it as well; none of its macros may collide with our names.
#include <windows.h>
#endif

#include "hostapi/ADMSuites.h"
#include "hostapi/AE_Effect.h"
#include "hostapi/PIAbout.h"
#include "hostapi/PIActions.h"
#include "hostapi/PIFilter.h"
#include "hostapi/PIFormat.h"
#include "hostapi/PIGeneral.h"
#include "hostapi/PITypes.h"
#include "hostapi/SPBasic.h"

// An entry declared through the macro has exactly the type the host calls through.
PI_ENTRY_POINT(qm_hostapi_layout_entry);
static_assert(std::is_same_v<decltype(&qm_hostapi_layout_entry), PIEntryProc>);
