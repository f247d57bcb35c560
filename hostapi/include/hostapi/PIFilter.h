// Filter plug-ins: selectors, result codes, the filter-case constants and the FilterRecord
// the host passes to selectors 1 to 5.
#pragma once

#include "hostapi/PIActions.h"
#include "hostapi/PIGeneral.h"
#include "hostapi/PITypes.h"
#include "hostapi/SPBasic.h"

inline constexpr int16_t filterSelectorAbout = 0;  // the record is an AboutRecord
inline constexpr int16_t filterSelectorParameters = 1;
inline constexpr int16_t filterSelectorPrepare = 2;
inline constexpr int16_t filterSelectorStart = 3;
inline constexpr int16_t filterSelectorContinue = 4;
inline constexpr int16_t filterSelectorFinish = 5;

inline constexpr OSErr filterBadParameters = -30100;
inline constexpr OSErr filterBadMode = -30101;

// filterCase: what the filter is applied to. 0 means the host did not say; look at
// haveMask and isFloating instead.
inline constexpr int16_t filterCaseUnsupported = -1;
inline constexpr int16_t filterCaseFlatImageNoSelection = 1;
inline constexpr int16_t filterCaseFlatImageWithSelection = 2;
inline constexpr int16_t filterCaseFloatingSelection = 3;
inline constexpr int16_t filterCaseEditableTransparencyNoSelection = 4;
inline constexpr int16_t filterCaseEditableTransparencyWithSelection = 5;
inline constexpr int16_t filterCaseProtectedTransparencyNoSelection = 6;
inline constexpr int16_t filterCaseProtectedTransparencyWithSelection = 7;

// How the host prepares transparent input and treats output, per filter case ('fici').
inline constexpr int8_t filterDataHandlingCantFilter = 0;
inline constexpr int8_t filterDataHandlingNone = 1;
inline constexpr int8_t filterDataHandlingBlackMat = 2;
inline constexpr int8_t filterDataHandlingGrayMat = 3;
inline constexpr int8_t filterDataHandlingWhiteMat = 4;
inline constexpr int8_t filterDataHandlingDefringe = 5;
inline constexpr int8_t filterDataHandlingBlackZap = 6;
inline constexpr int8_t filterDataHandlingGrayZap = 7;
inline constexpr int8_t filterDataHandlingWhiteZap = 8;
inline constexpr int8_t filterDataHandlingFillMask = 9;
inline constexpr int8_t filterDataHandlingBackgroundZap = 10;
inline constexpr int8_t filterDataHandlingForegroundZap = 11;

// Bit numbers (from the least significant bit) in FilterCaseInfo::flags1.
inline constexpr int PIFilterDontCopyToDestinationBit = 0;
inline constexpr int PIFilterWorksWithBlankDataBit = 1;
inline constexpr int PIFilterFiltersLayerMaskBit = 2;
inline constexpr int PIFilterWritesOutsideSelectionBit = 3;

// inputPadding / outputPadding / maskPadding: 0 to 255 pads with that value.
inline constexpr int16_t plugInWantsEdgeReplication = -1;
inline constexpr int16_t plugInDoesNotWantPadding = -2;
inline constexpr int16_t plugInWantsErrorOnBoundsException = -3;

inline constexpr int8_t hostDoesNotSupportSampling = 0;
inline constexpr int8_t hostSupportsIntegralSampling = 1;
inline constexpr int8_t hostSupportsFractionalSampling = 2;

inline constexpr int16_t piLayoutTraditional = 0;
inline constexpr int16_t piLayoutRowsColumnsPlanes = 1;
inline constexpr int16_t piLayoutRowsPlanesColumns = 2;
inline constexpr int16_t piLayoutColumnsRowsPlanes = 3;
inline constexpr int16_t piLayoutColumnsPlanesRows = 4;
inline constexpr int16_t piLayoutPlanesRowsColumns = 5;
inline constexpr int16_t piLayoutPlanesColumnsRows = 6;

// Interface version a filter's PiPL declares ('vers' = 0x00040000).
inline constexpr int16_t latestFilterVersion = 4;
inline constexpr int16_t latestFilterSubVersion = 0;

#pragma pack(push, 1)

// One filter case of the PiPL 'fici' property.
struct FilterCaseInfo {
  int8_t inputHandling;
  int8_t outputHandling;
  int8_t flags1;
  int8_t flags2;
};

#pragma pack(pop)

PI_CHECK_SIZE(FilterCaseInfo, 4, 4);
PI_CHECK_FIELD(FilterCaseInfo, inputHandling, 0, 0);
PI_CHECK_FIELD(FilterCaseInfo, outputHandling, 1, 1);
PI_CHECK_FIELD(FilterCaseInfo, flags1, 2, 2);
PI_CHECK_FIELD(FilterCaseInfo, flags2, 3, 3);

// The host lays these two records out with 4-byte packing on both Windows targets, so
// pointers after an odd number of 32-bit fields are only 4-byte aligned on x64.
#pragma pack(push, 4)

// 32-bit coordinates for documents beyond the 16-bit range; the plug-in opts in by setting
// PluginUsing32BitCoordinates.
struct BigDocumentStruct {
  int32_t PluginUsing32BitCoordinates;
  VPoint imageSize32;
  VRect filterRect32;
  VRect inRect32;
  VRect outRect32;
  VRect maskRect32;
  VPoint floatCoord32;
  VPoint wholeSize32;
};

// The filter's parameter block: image geometry, the rectangles and planes the plug-in asks
// for and the data the host hands back, and the host's callbacks and suites. Fields past
// what a host knows are zero.
struct FilterRecord {
  int32_t serialNumber;
  TestAbortProc abortProc;
  ProgressProc progressProc;
  Handle parameters;
  Point imageSize;
  int16_t planes;
  Rect filterRect;
  PSRGBColor background;
  PSRGBColor foreground;
  int32_t maxSpace;
  int32_t bufferSpace;
  Rect inRect;
  int16_t inLoPlane;
  int16_t inHiPlane;
  Rect outRect;
  int16_t outLoPlane;
  int16_t outHiPlane;
  void* inData;
  int32_t inRowBytes;
  void* outData;
  int32_t outRowBytes;
  Boolean isFloating;
  Boolean haveMask;
  Boolean autoMask;
  Rect maskRect;
  void* maskData;
  int32_t maskRowBytes;
  FilterColor backColor;
  FilterColor foreColor;
  OSType hostSig;
  HostProc hostProc;
  int16_t imageMode;
  Fixed imageHRes;
  Fixed imageVRes;
  Point floatCoord;
  Point wholeSize;
  PlugInMonitor monitor;
  void* platformData;
  BufferProcs* bufferProcs;
  ResourceProcs* resourceProcs;
  ProcessEventProc processEvent;
  DisplayPixelsProc displayPixels;
  HandleProcs* handleProcs;
  Boolean supportsDummyChannels;
  Boolean supportsAlternateLayouts;
  int16_t wantLayout;
  int16_t filterCase;
  int16_t dummyPlaneValue;
  void* premiereHook;
  AdvanceStateProc advanceState;
  Boolean supportsAbsolute;
  Boolean wantsAbsolute;
  GetPropertyProc getPropertyObsolete;
  Boolean cannotUndo;
  Boolean supportsPadding;
  int16_t inputPadding;
  int16_t outputPadding;
  int16_t maskPadding;
  int8_t samplingSupport;
  int8_t reservedByte;
  Fixed inputRate;
  Fixed maskRate;
  ColorServicesProc colorServices;
  int16_t inLayerPlanes;
  int16_t inTransparencyMask;
  int16_t inLayerMasks;
  int16_t inInvertedLayerMasks;
  int16_t inNonLayerPlanes;
  int16_t outLayerPlanes;
  int16_t outTransparencyMask;
  int16_t outLayerMasks;
  int16_t outInvertedLayerMasks;
  int16_t outNonLayerPlanes;
  int16_t absLayerPlanes;
  int16_t absTransparencyMask;
  int16_t absLayerMasks;
  int16_t absInvertedLayerMasks;
  int16_t absNonLayerPlanes;
  int16_t inPreDummyPlanes;
  int16_t inPostDummyPlanes;
  int16_t outPreDummyPlanes;
  int16_t outPostDummyPlanes;
  int32_t inColumnBytes;
  int32_t inPlaneBytes;
  int32_t outColumnBytes;
  int32_t outPlaneBytes;
  ImageServicesProcs* imageServicesProcs;
  PropertyProcs* propertyProcs;
  int16_t inTileHeight;
  int16_t inTileWidth;
  Point inTileOrigin;
  int16_t absTileHeight;
  int16_t absTileWidth;
  Point absTileOrigin;
  int16_t outTileHeight;
  int16_t outTileWidth;
  Point outTileOrigin;
  int16_t maskTileHeight;
  int16_t maskTileWidth;
  Point maskTileOrigin;
  PIDescriptorParameters* descriptorParameters;
  Str255* errorString;
  ChannelPortProcs* channelPortProcs;
  ReadImageDocumentDesc* documentInfo;
  SPBasicSuite* sSPBasic;
  void* plugInRef;
  int32_t depth;
  Handle iCCprofileData;
  int32_t iCCprofileSize;
  int32_t canUseICCProfiles;
  int32_t hasImageScrap;
  BigDocumentStruct* bigDocumentData;
  PIDescriptorParameters* input3DScene;
  PIDescriptorParameters* output3DScene;
  Boolean createNewLayer;
  Handle iCCWorkingProfileData;
  int32_t iCCWorkingProfileSize;
  int64_t bufferSpace64;
  int64_t maxSpace64;
  Boolean allowOverrangeColors;
  char reserved[45];
};

#pragma pack(pop)

PI_CHECK_SIZE(BigDocumentStruct, 92, 92);
PI_CHECK_FIELD(BigDocumentStruct, PluginUsing32BitCoordinates, 0, 0);
PI_CHECK_FIELD(BigDocumentStruct, imageSize32, 4, 4);
PI_CHECK_FIELD(BigDocumentStruct, filterRect32, 12, 12);
PI_CHECK_FIELD(BigDocumentStruct, inRect32, 28, 28);
PI_CHECK_FIELD(BigDocumentStruct, outRect32, 44, 44);
PI_CHECK_FIELD(BigDocumentStruct, maskRect32, 60, 60);
PI_CHECK_FIELD(BigDocumentStruct, floatCoord32, 76, 76);
PI_CHECK_FIELD(BigDocumentStruct, wholeSize32, 84, 84);

PI_CHECK_SIZE(FilterRecord, 488, 608);
PI_CHECK_FIELD(FilterRecord, serialNumber, 0, 0);
PI_CHECK_FIELD(FilterRecord, abortProc, 4, 4);
PI_CHECK_FIELD(FilterRecord, progressProc, 8, 12);
PI_CHECK_FIELD(FilterRecord, parameters, 12, 20);
PI_CHECK_FIELD(FilterRecord, imageSize, 16, 28);
PI_CHECK_FIELD(FilterRecord, planes, 20, 32);
PI_CHECK_FIELD(FilterRecord, filterRect, 22, 34);
PI_CHECK_FIELD(FilterRecord, background, 30, 42);
PI_CHECK_FIELD(FilterRecord, foreground, 36, 48);
PI_CHECK_FIELD(FilterRecord, maxSpace, 44, 56);
PI_CHECK_FIELD(FilterRecord, bufferSpace, 48, 60);
PI_CHECK_FIELD(FilterRecord, inRect, 52, 64);
PI_CHECK_FIELD(FilterRecord, inLoPlane, 60, 72);
PI_CHECK_FIELD(FilterRecord, inHiPlane, 62, 74);
PI_CHECK_FIELD(FilterRecord, outRect, 64, 76);
PI_CHECK_FIELD(FilterRecord, outLoPlane, 72, 84);
PI_CHECK_FIELD(FilterRecord, outHiPlane, 74, 86);
PI_CHECK_FIELD(FilterRecord, inData, 76, 88);
PI_CHECK_FIELD(FilterRecord, inRowBytes, 80, 96);
PI_CHECK_FIELD(FilterRecord, outData, 84, 100);
PI_CHECK_FIELD(FilterRecord, outRowBytes, 88, 108);
PI_CHECK_FIELD(FilterRecord, isFloating, 92, 112);
PI_CHECK_FIELD(FilterRecord, haveMask, 93, 113);
PI_CHECK_FIELD(FilterRecord, autoMask, 94, 114);
PI_CHECK_FIELD(FilterRecord, maskRect, 96, 116);
PI_CHECK_FIELD(FilterRecord, maskData, 104, 124);
PI_CHECK_FIELD(FilterRecord, maskRowBytes, 108, 132);
PI_CHECK_FIELD(FilterRecord, backColor, 112, 136);
PI_CHECK_FIELD(FilterRecord, foreColor, 116, 140);
PI_CHECK_FIELD(FilterRecord, hostSig, 120, 144);
PI_CHECK_FIELD(FilterRecord, hostProc, 124, 148);
PI_CHECK_FIELD(FilterRecord, imageMode, 128, 156);
PI_CHECK_FIELD(FilterRecord, imageHRes, 132, 160);
PI_CHECK_FIELD(FilterRecord, imageVRes, 136, 164);
PI_CHECK_FIELD(FilterRecord, floatCoord, 140, 168);
PI_CHECK_FIELD(FilterRecord, wholeSize, 144, 172);
PI_CHECK_FIELD(FilterRecord, monitor, 148, 176);
PI_CHECK_FIELD(FilterRecord, platformData, 188, 216);
PI_CHECK_FIELD(FilterRecord, bufferProcs, 192, 224);
PI_CHECK_FIELD(FilterRecord, resourceProcs, 196, 232);
PI_CHECK_FIELD(FilterRecord, processEvent, 200, 240);
PI_CHECK_FIELD(FilterRecord, displayPixels, 204, 248);
PI_CHECK_FIELD(FilterRecord, handleProcs, 208, 256);
PI_CHECK_FIELD(FilterRecord, supportsDummyChannels, 212, 264);
PI_CHECK_FIELD(FilterRecord, supportsAlternateLayouts, 213, 265);
PI_CHECK_FIELD(FilterRecord, wantLayout, 214, 266);
PI_CHECK_FIELD(FilterRecord, filterCase, 216, 268);
PI_CHECK_FIELD(FilterRecord, dummyPlaneValue, 218, 270);
PI_CHECK_FIELD(FilterRecord, premiereHook, 220, 272);
PI_CHECK_FIELD(FilterRecord, advanceState, 224, 280);
PI_CHECK_FIELD(FilterRecord, supportsAbsolute, 228, 288);
PI_CHECK_FIELD(FilterRecord, wantsAbsolute, 229, 289);
PI_CHECK_FIELD(FilterRecord, getPropertyObsolete, 232, 292);
PI_CHECK_FIELD(FilterRecord, cannotUndo, 236, 300);
PI_CHECK_FIELD(FilterRecord, supportsPadding, 237, 301);
PI_CHECK_FIELD(FilterRecord, inputPadding, 238, 302);
PI_CHECK_FIELD(FilterRecord, outputPadding, 240, 304);
PI_CHECK_FIELD(FilterRecord, maskPadding, 242, 306);
PI_CHECK_FIELD(FilterRecord, samplingSupport, 244, 308);
PI_CHECK_FIELD(FilterRecord, reservedByte, 245, 309);
PI_CHECK_FIELD(FilterRecord, inputRate, 248, 312);
PI_CHECK_FIELD(FilterRecord, maskRate, 252, 316);
PI_CHECK_FIELD(FilterRecord, colorServices, 256, 320);
PI_CHECK_FIELD(FilterRecord, inLayerPlanes, 260, 328);
PI_CHECK_FIELD(FilterRecord, inTransparencyMask, 262, 330);
PI_CHECK_FIELD(FilterRecord, inLayerMasks, 264, 332);
PI_CHECK_FIELD(FilterRecord, inInvertedLayerMasks, 266, 334);
PI_CHECK_FIELD(FilterRecord, inNonLayerPlanes, 268, 336);
PI_CHECK_FIELD(FilterRecord, outLayerPlanes, 270, 338);
PI_CHECK_FIELD(FilterRecord, outTransparencyMask, 272, 340);
PI_CHECK_FIELD(FilterRecord, outLayerMasks, 274, 342);
PI_CHECK_FIELD(FilterRecord, outInvertedLayerMasks, 276, 344);
PI_CHECK_FIELD(FilterRecord, outNonLayerPlanes, 278, 346);
PI_CHECK_FIELD(FilterRecord, absLayerPlanes, 280, 348);
PI_CHECK_FIELD(FilterRecord, absTransparencyMask, 282, 350);
PI_CHECK_FIELD(FilterRecord, absLayerMasks, 284, 352);
PI_CHECK_FIELD(FilterRecord, absInvertedLayerMasks, 286, 354);
PI_CHECK_FIELD(FilterRecord, absNonLayerPlanes, 288, 356);
PI_CHECK_FIELD(FilterRecord, inPreDummyPlanes, 290, 358);
PI_CHECK_FIELD(FilterRecord, inPostDummyPlanes, 292, 360);
PI_CHECK_FIELD(FilterRecord, outPreDummyPlanes, 294, 362);
PI_CHECK_FIELD(FilterRecord, outPostDummyPlanes, 296, 364);
PI_CHECK_FIELD(FilterRecord, inColumnBytes, 300, 368);
PI_CHECK_FIELD(FilterRecord, inPlaneBytes, 304, 372);
PI_CHECK_FIELD(FilterRecord, outColumnBytes, 308, 376);
PI_CHECK_FIELD(FilterRecord, outPlaneBytes, 312, 380);
PI_CHECK_FIELD(FilterRecord, imageServicesProcs, 316, 384);
PI_CHECK_FIELD(FilterRecord, propertyProcs, 320, 392);
PI_CHECK_FIELD(FilterRecord, inTileHeight, 324, 400);
PI_CHECK_FIELD(FilterRecord, inTileWidth, 326, 402);
PI_CHECK_FIELD(FilterRecord, inTileOrigin, 328, 404);
PI_CHECK_FIELD(FilterRecord, absTileHeight, 332, 408);
PI_CHECK_FIELD(FilterRecord, absTileWidth, 334, 410);
PI_CHECK_FIELD(FilterRecord, absTileOrigin, 336, 412);
PI_CHECK_FIELD(FilterRecord, outTileHeight, 340, 416);
PI_CHECK_FIELD(FilterRecord, outTileWidth, 342, 418);
PI_CHECK_FIELD(FilterRecord, outTileOrigin, 344, 420);
PI_CHECK_FIELD(FilterRecord, maskTileHeight, 348, 424);
PI_CHECK_FIELD(FilterRecord, maskTileWidth, 350, 426);
PI_CHECK_FIELD(FilterRecord, maskTileOrigin, 352, 428);
PI_CHECK_FIELD(FilterRecord, descriptorParameters, 356, 432);
PI_CHECK_FIELD(FilterRecord, errorString, 360, 440);
PI_CHECK_FIELD(FilterRecord, channelPortProcs, 364, 448);
PI_CHECK_FIELD(FilterRecord, documentInfo, 368, 456);
PI_CHECK_FIELD(FilterRecord, sSPBasic, 372, 464);
PI_CHECK_FIELD(FilterRecord, plugInRef, 376, 472);
PI_CHECK_FIELD(FilterRecord, depth, 380, 480);
PI_CHECK_FIELD(FilterRecord, iCCprofileData, 384, 484);
PI_CHECK_FIELD(FilterRecord, iCCprofileSize, 388, 492);
PI_CHECK_FIELD(FilterRecord, canUseICCProfiles, 392, 496);
PI_CHECK_FIELD(FilterRecord, hasImageScrap, 396, 500);
PI_CHECK_FIELD(FilterRecord, bigDocumentData, 400, 504);
PI_CHECK_FIELD(FilterRecord, input3DScene, 404, 512);
PI_CHECK_FIELD(FilterRecord, output3DScene, 408, 520);
PI_CHECK_FIELD(FilterRecord, createNewLayer, 412, 528);
PI_CHECK_FIELD(FilterRecord, iCCWorkingProfileData, 416, 532);
PI_CHECK_FIELD(FilterRecord, iCCWorkingProfileSize, 420, 540);
PI_CHECK_FIELD(FilterRecord, bufferSpace64, 424, 544);
PI_CHECK_FIELD(FilterRecord, maxSpace64, 432, 552);
PI_CHECK_FIELD(FilterRecord, allowOverrangeColors, 440, 560);
PI_CHECK_FIELD(FilterRecord, reserved, 441, 561);
