#pragma once
// The conversion settings through the host's descriptor suites, under the keys of the
// plug-in's terminology.
#include "hostapi/PIActions.h"
#include "hostapi/PIGeneral.h"
#include "tessaro/ConversionSettings.h"

namespace tessaro::plugin {

// The suites may be used only when the record and both suites are there, of version 0, with
// enough procedures.
bool DescriptorSuitesUsable(const PIDescriptorParameters* p);

// Reads the played-back descriptor into s (named "Last used" when there is one). Returns true
// when parameters were read; askForDialog tells whether the host wants the dialog (true also
// when the suites are unusable).
bool ReadScriptingParameters(PIDescriptorParameters* p, ConversionSettings& s, bool& attachIcc, bool& askForDialog);

// Records s as a new descriptor, replacing the one the record held (disposed through the
// handle suite, when it is usable).
void WriteScriptingParameters(PIDescriptorParameters* p, const HandleProcs* handles, const ConversionSettings& s,
                              bool attachIcc);

}  // namespace tessaro::plugin
