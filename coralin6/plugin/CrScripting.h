#pragma once
// The filter's part in action recording and playback: its settings as the host's descriptor,
// under the keys of its terminology ('crPr', 'crHf', 'crBS', 'crQu', 'crSm', 'crSO', 'crSz').
#include "coralin/CrSettings.h"
#include "hostapi/PIActions.h"
#include "hostapi/PIGeneral.h"

namespace coralin {

// The descriptor record and both suites are there, version 0, with enough procedures.
bool CrScriptingUsable(const PIDescriptorParameters* d);

// Plays the host's descriptor back over `s`; true when the host wants the dialog (always
// when scripting is unusable). Raises HnErrorCode: -108 code 2, -50 code 21, others code 1.
bool CrReadScripting(PIDescriptorParameters* d, CrSettings& s);

// Records `s` as the host's new descriptor, giving back the one it held before through
// `disposeHandle`; does nothing when scripting is unusable.
void CrWriteScripting(PIDescriptorParameters* d, const CrSettings& s, void (*disposeHandle)(Handle, void*),
                      void* context);

// The plug-in's result codes for a suite's result (0 for success and a missing key).
int32_t CrScriptingErrorCode(OSErr e);

}  // namespace coralin
