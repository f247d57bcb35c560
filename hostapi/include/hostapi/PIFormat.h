// File-format plug-ins: selectors, result codes and the FormatRecord the host passes to
// every selector but about.
#pragma once

#include "hostapi/PIActions.h"
#include "hostapi/PIGeneral.h"
#include "hostapi/PITypes.h"
#include "hostapi/SPBasic.h"

inline constexpr int16_t formatSelectorAbout = 0;  // the record is an AboutRecord
inline constexpr int16_t formatSelectorReadPrepare = 1;
inline constexpr int16_t formatSelectorReadStart = 2;
inline constexpr int16_t formatSelectorReadContinue = 3;
inline constexpr int16_t formatSelectorReadFinish = 4;
inline constexpr int16_t formatSelectorOptionsPrepare = 5;
inline constexpr int16_t formatSelectorOptionsStart = 6;
inline constexpr int16_t formatSelectorOptionsContinue = 7;
inline constexpr int16_t formatSelectorOptionsFinish = 8;
inline constexpr int16_t formatSelectorEstimatePrepare = 9;
inline constexpr int16_t formatSelectorEstimateStart = 10;
inline constexpr int16_t formatSelectorEstimateContinue = 11;
inline constexpr int16_t formatSelectorEstimateFinish = 12;
inline constexpr int16_t formatSelectorWritePrepare = 13;
inline constexpr int16_t formatSelectorWriteStart = 14;
inline constexpr int16_t formatSelectorWriteContinue = 15;
inline constexpr int16_t formatSelectorWriteFinish = 16;
inline constexpr int16_t formatSelectorFilterFile = 17;
inline constexpr int16_t formatSelectorGetFilePropertyValue = 18;
inline constexpr int16_t formatSelectorLosslessRotate = 19;
inline constexpr int16_t formatSelectorBulkSettings = 20;
inline constexpr int16_t formatSelectorXMPRead = 21;
inline constexpr int16_t formatSelectorXMPWrite = 22;
inline constexpr int16_t formatSelectorBulkOpen = 23;
inline constexpr int16_t formatSelectorLoad = 24;
inline constexpr int16_t formatSelectorUnload = 25;
inline constexpr int16_t formatSelectorPreferences = 26;
inline constexpr int16_t formatSelectorSettingsCopy = 27;
inline constexpr int16_t formatSelectorSettingsPaste = 28;
inline constexpr int16_t formatSelectorSettingsClear = 29;
inline constexpr int16_t formatSelectorSettingsDefault = 30;
inline constexpr int16_t formatSelectorSettingsPrevious = 31;
inline constexpr int16_t formatSelectorSettingsPresetList = 32;
inline constexpr int16_t formatSelectorSettingsChecksum = 33;
inline constexpr int16_t formatSelectorXMPAppend = 34;
inline constexpr int16_t formatSelectorReadLayerStart = 35;
inline constexpr int16_t formatSelectorReadLayerContinue = 36;
inline constexpr int16_t formatSelectorReadLayerFinish = 37;
inline constexpr int16_t formatSelectorWriteLayerStart = 38;
inline constexpr int16_t formatSelectorWriteLayerContinue = 39;
inline constexpr int16_t formatSelectorWriteLayerFinish = 40;
inline constexpr int16_t formatSelectorLaunchExternalEditor = 41;

inline constexpr OSErr formatBadParameters = -30500;
inline constexpr OSErr formatCannotRead = -30501;
inline constexpr OSErr formatSkipFile = -30502;
inline constexpr OSErr formatPasswordProtected = -30503;
inline constexpr OSErr formatUnsupportedRaw = -30504;
inline constexpr OSErr formatUnsupportedDNG = -30505;
inline constexpr OSErr formatNeedsExternalCodecs = -30506;

// browserRotation: the low two bits count quarter turns clockwise; the rest are flags.
inline constexpr int32_t PIFmtBrowserRotationFlipFlag = 2;
inline constexpr int32_t PIFmtBrowserRotationDisableFlag = 3;
inline constexpr int32_t PIFmtBrowserRotationEnableFlag = 4;

inline constexpr uint32_t PIFmtBulkOpenMask = 1;
inline constexpr uint32_t PIFmtBulkInvalPreviewMask = 2;
inline constexpr uint32_t PIFmtBulkInvalMetaMask = 4;
inline constexpr uint32_t PIFmtBulkDeleteMask = 8;
inline constexpr uint32_t PIFmtBulkModifyListMask = 16;

// Interface version a format's PiPL declares ('vers' = 0x00010000).
inline constexpr int16_t latestFormatVersion = 1;
inline constexpr int16_t latestFormatSubVersion = 0;

#pragma pack(push, 1)

// Plug-in description of the resource scheme that predates the PiPL.
struct PlugInInfo {
  int16_t version;
  int16_t subVersion;
  int16_t priority;
  int16_t generalInfoSize;
  int16_t typeInfoSize;
  int16_t supportsMode;
  OSType requireHost;
};

// Format description of the same older scheme.
struct FormatInfo {
  PlugInInfo plugInInfo;
  int16_t typeCount;
  int16_t extensionCount;
  Boolean canRead;
  Boolean readsAllTypes;
  Boolean canWrite;
  Boolean canWriteIfRead;
  Boolean savesImageResources;
  Boolean padFlag;
  int16_t maxChannels[16];
  int16_t maxRows;
  int16_t maxCols;
  OSType fileType;
  OSType creatorType;
  OSType typeList[1];
};

#pragma pack(pop)

PI_CHECK_SIZE(PlugInInfo, 16, 16);
PI_CHECK_FIELD(PlugInInfo, supportsMode, 10, 10);
PI_CHECK_FIELD(PlugInInfo, requireHost, 12, 12);
PI_CHECK_SIZE(FormatInfo, 74, 74);
PI_CHECK_FIELD(FormatInfo, plugInInfo, 0, 0);
PI_CHECK_FIELD(FormatInfo, typeCount, 16, 16);
PI_CHECK_FIELD(FormatInfo, extensionCount, 18, 18);
PI_CHECK_FIELD(FormatInfo, canRead, 20, 20);
PI_CHECK_FIELD(FormatInfo, readsAllTypes, 21, 21);
PI_CHECK_FIELD(FormatInfo, canWrite, 22, 22);
PI_CHECK_FIELD(FormatInfo, canWriteIfRead, 23, 23);
PI_CHECK_FIELD(FormatInfo, savesImageResources, 24, 24);
PI_CHECK_FIELD(FormatInfo, padFlag, 25, 25);
PI_CHECK_FIELD(FormatInfo, maxChannels, 26, 26);
PI_CHECK_FIELD(FormatInfo, maxRows, 58, 58);
PI_CHECK_FIELD(FormatInfo, maxCols, 60, 60);
PI_CHECK_FIELD(FormatInfo, fileType, 62, 62);
PI_CHECK_FIELD(FormatInfo, creatorType, 66, 66);
PI_CHECK_FIELD(FormatInfo, typeList, 70, 70);

// 4-byte packing on both Windows targets, as the host lays it out.
#pragma pack(push, 4)

// The format's parameter block: the file, the image's mode, size and depth, the rectangle
// and planes of the data being exchanged, and the host's callbacks and suites. Fields past
// what a host knows are zero.
struct FormatRecord {
  int32_t serialNumber;
  TestAbortProc abortProc;
  ProgressProc progressProc;
  int32_t maxData;
  int32_t minDataBytes;
  int32_t maxDataBytes;
  int32_t minRsrcBytes;
  int32_t maxRsrcBytes;
  intptr_t dataFork;
  intptr_t rsrcFork;
  FSSpec* fileSpec;
  int16_t imageMode;
  Point imageSize;
  int16_t depth;
  int16_t planes;
  Fixed imageHRes;
  Fixed imageVRes;
  LookUpTable redLUT;
  LookUpTable greenLUT;
  LookUpTable blueLUT;
  void* data;
  Rect theRect;
  int16_t loPlane;
  int16_t hiPlane;
  int16_t colBytes;
  int32_t rowBytes;
  int32_t planeBytes;
  PlaneMap planeMap;
  Boolean canTranspose;
  Boolean needTranspose;
  OSType hostSig;
  HostProc hostProc;
  int16_t hostModes;
  Handle revertInfo;
  NewPIHandleProc hostNewHdl;
  DisposePIHandleProc hostDisposeHdl;
  Handle imageRsrcData;
  int32_t imageRsrcSize;
  PlugInMonitor monitor;
  void* platformData;
  BufferProcs* bufferProcs;
  ResourceProcs* resourceProcs;
  ProcessEventProc processEvent;
  DisplayPixelsProc displayPixels;
  HandleProcs* handleProcs;
  OSType fileType;
  ColorServicesProc colorServices;
  AdvanceStateProc advanceState;
  PropertyProcs* propertyProcs;
  ImageServicesProcs* imageServicesProcs;
  int16_t tileWidth;
  int16_t tileHeight;
  Point tileOrigin;
  PIDescriptorParameters* descriptorParameters;
  Str255* errorString;
  int32_t maxValue;
  SPBasicSuite* sSPBasic;
  void* plugInRef;
  int32_t transparentIndex;
  Handle iCCprofileData;
  int32_t iCCprofileSize;
  int32_t canUseICCProfiles;
  int32_t lutCount;
  int32_t preferredColorModes;
  int32_t convertMode;
  VPoint preferredSize;
  int32_t imageIndex;
  int32_t transparencyPlane;
  int32_t transparencyMatting;
  ChannelPortProcs* channelPortProcs;
  ReadImageDocumentDesc* documentInfo;
  Boolean openForPreview;
  int32_t browserRotation;
  int32_t HostSupports32BitCoordinates;
  int32_t PluginUsing32BitCoordinates;
  VPoint imageSize32;
  VRect theRect32;
  uint32_t requestedFileProperty;
  uint32_t filePropertyValue;
  uint32_t fileCount;
  Handle xmp;
  int32_t supportsSkipFile;
  Boolean extractQuickThumbnail;
  Boolean hostInSecondaryThread;
  uint32_t bulkMask;
  uint32_t* bulkFlags;
  uint32_t presetCount;
  Handle presetNames;
  Handle presetData;
  uint32_t settingsChecksum;
  SPPlatformFileSpecificationW* fileSpec2;
  uint32_t layerData;
  uint16_t* layerName;
  void* renderRecord;
  Handle* bulkParams;
  Boolean openAsSmartObject;
  PIDescriptorParameters* layerMetaData;
  uint16_t* finalSpec;
  Boolean isTextLayer;
  PIDescriptorHandle* textDescriptor;
  Boolean isGroupDivider;
  Boolean isGroupStart;
  Boolean isVisible;
  Boolean isLocked;
  uint32_t blendMode;
  uint8_t opacity;
  Handle bulkExtraData;
  XPlatFileSpec* fileSpecX;
  int16_t hostSupportsPOSIXIO;
  int16_t pluginUsingPOSIXIO;
  int32_t posixFileDescriptor;
  Boolean hostSupportsPluginOpeningFile;
  Boolean hostSupportsSingleOpenToBulkSwitch;
  Boolean pluginWantsSingleOpenToBulkSwitch;
  char reserved[50];
};

#pragma pack(pop)

PI_CHECK_SIZE(FormatRecord, 1308, 1472);
PI_CHECK_FIELD(FormatRecord, serialNumber, 0, 0);
PI_CHECK_FIELD(FormatRecord, abortProc, 4, 4);
PI_CHECK_FIELD(FormatRecord, progressProc, 8, 12);
PI_CHECK_FIELD(FormatRecord, maxData, 12, 20);
PI_CHECK_FIELD(FormatRecord, minDataBytes, 16, 24);
PI_CHECK_FIELD(FormatRecord, maxDataBytes, 20, 28);
PI_CHECK_FIELD(FormatRecord, minRsrcBytes, 24, 32);
PI_CHECK_FIELD(FormatRecord, maxRsrcBytes, 28, 36);
PI_CHECK_FIELD(FormatRecord, dataFork, 32, 40);
PI_CHECK_FIELD(FormatRecord, rsrcFork, 36, 48);
PI_CHECK_FIELD(FormatRecord, fileSpec, 40, 56);
PI_CHECK_FIELD(FormatRecord, imageMode, 44, 64);
PI_CHECK_FIELD(FormatRecord, imageSize, 46, 66);
PI_CHECK_FIELD(FormatRecord, depth, 50, 70);
PI_CHECK_FIELD(FormatRecord, planes, 52, 72);
PI_CHECK_FIELD(FormatRecord, imageHRes, 56, 76);
PI_CHECK_FIELD(FormatRecord, imageVRes, 60, 80);
PI_CHECK_FIELD(FormatRecord, redLUT, 64, 84);
PI_CHECK_FIELD(FormatRecord, greenLUT, 320, 340);
PI_CHECK_FIELD(FormatRecord, blueLUT, 576, 596);
PI_CHECK_FIELD(FormatRecord, data, 832, 852);
PI_CHECK_FIELD(FormatRecord, theRect, 836, 860);
PI_CHECK_FIELD(FormatRecord, loPlane, 844, 868);
PI_CHECK_FIELD(FormatRecord, hiPlane, 846, 870);
PI_CHECK_FIELD(FormatRecord, colBytes, 848, 872);
PI_CHECK_FIELD(FormatRecord, rowBytes, 852, 876);
PI_CHECK_FIELD(FormatRecord, planeBytes, 856, 880);
PI_CHECK_FIELD(FormatRecord, planeMap, 860, 884);
PI_CHECK_FIELD(FormatRecord, canTranspose, 892, 916);
PI_CHECK_FIELD(FormatRecord, needTranspose, 893, 917);
PI_CHECK_FIELD(FormatRecord, hostSig, 896, 920);
PI_CHECK_FIELD(FormatRecord, hostProc, 900, 924);
PI_CHECK_FIELD(FormatRecord, hostModes, 904, 932);
PI_CHECK_FIELD(FormatRecord, revertInfo, 908, 936);
PI_CHECK_FIELD(FormatRecord, hostNewHdl, 912, 944);
PI_CHECK_FIELD(FormatRecord, hostDisposeHdl, 916, 952);
PI_CHECK_FIELD(FormatRecord, imageRsrcData, 920, 960);
PI_CHECK_FIELD(FormatRecord, imageRsrcSize, 924, 968);
PI_CHECK_FIELD(FormatRecord, monitor, 928, 972);
PI_CHECK_FIELD(FormatRecord, platformData, 968, 1012);
PI_CHECK_FIELD(FormatRecord, bufferProcs, 972, 1020);
PI_CHECK_FIELD(FormatRecord, resourceProcs, 976, 1028);
PI_CHECK_FIELD(FormatRecord, processEvent, 980, 1036);
PI_CHECK_FIELD(FormatRecord, displayPixels, 984, 1044);
PI_CHECK_FIELD(FormatRecord, handleProcs, 988, 1052);
PI_CHECK_FIELD(FormatRecord, fileType, 992, 1060);
PI_CHECK_FIELD(FormatRecord, colorServices, 996, 1064);
PI_CHECK_FIELD(FormatRecord, advanceState, 1000, 1072);
PI_CHECK_FIELD(FormatRecord, propertyProcs, 1004, 1080);
PI_CHECK_FIELD(FormatRecord, imageServicesProcs, 1008, 1088);
PI_CHECK_FIELD(FormatRecord, tileWidth, 1012, 1096);
PI_CHECK_FIELD(FormatRecord, tileHeight, 1014, 1098);
PI_CHECK_FIELD(FormatRecord, tileOrigin, 1016, 1100);
PI_CHECK_FIELD(FormatRecord, descriptorParameters, 1020, 1104);
PI_CHECK_FIELD(FormatRecord, errorString, 1024, 1112);
PI_CHECK_FIELD(FormatRecord, maxValue, 1028, 1120);
PI_CHECK_FIELD(FormatRecord, sSPBasic, 1032, 1124);
PI_CHECK_FIELD(FormatRecord, plugInRef, 1036, 1132);
PI_CHECK_FIELD(FormatRecord, transparentIndex, 1040, 1140);
PI_CHECK_FIELD(FormatRecord, iCCprofileData, 1044, 1144);
PI_CHECK_FIELD(FormatRecord, iCCprofileSize, 1048, 1152);
PI_CHECK_FIELD(FormatRecord, canUseICCProfiles, 1052, 1156);
PI_CHECK_FIELD(FormatRecord, lutCount, 1056, 1160);
PI_CHECK_FIELD(FormatRecord, preferredColorModes, 1060, 1164);
PI_CHECK_FIELD(FormatRecord, convertMode, 1064, 1168);
PI_CHECK_FIELD(FormatRecord, preferredSize, 1068, 1172);
PI_CHECK_FIELD(FormatRecord, imageIndex, 1076, 1180);
PI_CHECK_FIELD(FormatRecord, transparencyPlane, 1080, 1184);
PI_CHECK_FIELD(FormatRecord, transparencyMatting, 1084, 1188);
PI_CHECK_FIELD(FormatRecord, channelPortProcs, 1088, 1192);
PI_CHECK_FIELD(FormatRecord, documentInfo, 1092, 1200);
PI_CHECK_FIELD(FormatRecord, openForPreview, 1096, 1208);
PI_CHECK_FIELD(FormatRecord, browserRotation, 1100, 1212);
PI_CHECK_FIELD(FormatRecord, HostSupports32BitCoordinates, 1104, 1216);
PI_CHECK_FIELD(FormatRecord, PluginUsing32BitCoordinates, 1108, 1220);
PI_CHECK_FIELD(FormatRecord, imageSize32, 1112, 1224);
PI_CHECK_FIELD(FormatRecord, theRect32, 1120, 1232);
PI_CHECK_FIELD(FormatRecord, requestedFileProperty, 1136, 1248);
PI_CHECK_FIELD(FormatRecord, filePropertyValue, 1140, 1252);
PI_CHECK_FIELD(FormatRecord, fileCount, 1144, 1256);
PI_CHECK_FIELD(FormatRecord, xmp, 1148, 1260);
PI_CHECK_FIELD(FormatRecord, supportsSkipFile, 1152, 1268);
PI_CHECK_FIELD(FormatRecord, extractQuickThumbnail, 1156, 1272);
PI_CHECK_FIELD(FormatRecord, hostInSecondaryThread, 1157, 1273);
PI_CHECK_FIELD(FormatRecord, bulkMask, 1160, 1276);
PI_CHECK_FIELD(FormatRecord, bulkFlags, 1164, 1280);
PI_CHECK_FIELD(FormatRecord, presetCount, 1168, 1288);
PI_CHECK_FIELD(FormatRecord, presetNames, 1172, 1292);
PI_CHECK_FIELD(FormatRecord, presetData, 1176, 1300);
PI_CHECK_FIELD(FormatRecord, settingsChecksum, 1180, 1308);
PI_CHECK_FIELD(FormatRecord, fileSpec2, 1184, 1312);
PI_CHECK_FIELD(FormatRecord, layerData, 1188, 1320);
PI_CHECK_FIELD(FormatRecord, layerName, 1192, 1324);
PI_CHECK_FIELD(FormatRecord, renderRecord, 1196, 1332);
PI_CHECK_FIELD(FormatRecord, bulkParams, 1200, 1340);
PI_CHECK_FIELD(FormatRecord, openAsSmartObject, 1204, 1348);
PI_CHECK_FIELD(FormatRecord, layerMetaData, 1208, 1352);
PI_CHECK_FIELD(FormatRecord, finalSpec, 1212, 1360);
PI_CHECK_FIELD(FormatRecord, isTextLayer, 1216, 1368);
PI_CHECK_FIELD(FormatRecord, textDescriptor, 1220, 1372);
PI_CHECK_FIELD(FormatRecord, isGroupDivider, 1224, 1380);
PI_CHECK_FIELD(FormatRecord, isGroupStart, 1225, 1381);
PI_CHECK_FIELD(FormatRecord, isVisible, 1226, 1382);
PI_CHECK_FIELD(FormatRecord, isLocked, 1227, 1383);
PI_CHECK_FIELD(FormatRecord, blendMode, 1228, 1384);
PI_CHECK_FIELD(FormatRecord, opacity, 1232, 1388);
PI_CHECK_FIELD(FormatRecord, bulkExtraData, 1236, 1392);
PI_CHECK_FIELD(FormatRecord, fileSpecX, 1240, 1400);
PI_CHECK_FIELD(FormatRecord, hostSupportsPOSIXIO, 1244, 1408);
PI_CHECK_FIELD(FormatRecord, pluginUsingPOSIXIO, 1246, 1410);
PI_CHECK_FIELD(FormatRecord, posixFileDescriptor, 1248, 1412);
PI_CHECK_FIELD(FormatRecord, hostSupportsPluginOpeningFile, 1252, 1416);
PI_CHECK_FIELD(FormatRecord, hostSupportsSingleOpenToBulkSwitch, 1253, 1417);
PI_CHECK_FIELD(FormatRecord, pluginWantsSingleOpenToBulkSwitch, 1254, 1418);
PI_CHECK_FIELD(FormatRecord, reserved, 1255, 1419);
