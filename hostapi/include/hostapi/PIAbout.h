// The record the host passes with selector 0 (about) instead of the kind's own record.
#pragma once

#include "hostapi/PITypes.h"
#include "hostapi/SPBasic.h"

inline constexpr int16_t plugInSelectorAbout = 0;

// Only the parent window, the suite broker and the plug-in's reference; no callbacks.
struct AboutRecord {
  void* platformData;  // PlatformData*
  SPBasicSuite* sSPBasic;
  void* plugInRef;     // SPPluginRef
  char reserved[244];
};
PI_CHECK_SIZE(AboutRecord, 256, 272);
PI_CHECK_FIELD(AboutRecord, platformData, 0, 0);
PI_CHECK_FIELD(AboutRecord, sSPBasic, 4, 8);
PI_CHECK_FIELD(AboutRecord, plugInRef, 8, 16);
PI_CHECK_FIELD(AboutRecord, reserved, 12, 24);
