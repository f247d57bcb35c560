// What filter and format records share: result codes, image modes, the callback tables
// (buffers, handles, properties, resources, image services, channel ports), the pixel map
// for previews, document descriptions, property-suite keys and PiPL property keys.
#pragma once

#include "hostapi/PIActions.h"
#include "hostapi/PITypes.h"
#include "hostapi/SPBasic.h"

// ---------------------------------------------------------------------------------------
// Result codes shared by all plug-in kinds. A positive result tells the host the plug-in
// has already reported the problem itself.

inline constexpr OSErr errMissingParameter = -1715;
inline constexpr OSErr errPlugInHostInsufficient = -30900;
inline constexpr OSErr errPlugInPropertyUndefined = -30901;
inline constexpr OSErr errHostDoesNotSupportColStep = -30902;
inline constexpr OSErr errInvalidSamplePoint = -30903;
inline constexpr OSErr errReportString = -30904;  // host shows the record's errorString
inline constexpr OSErr errHostVersionIncompatible = -30905;
inline constexpr OSErr errUnknownPort = -30910;
inline constexpr OSErr errUnsupportedRowBits = -30911;
inline constexpr OSErr errUnsupportedColBits = -30912;
inline constexpr OSErr errUnsupportedBitOffset = -30913;
inline constexpr OSErr errUnsupportedDepth = -30914;
inline constexpr OSErr errUnsupportedDepthConversion = -30915;
inline constexpr OSErr errWrongPlatformFilePath = -30916;
inline constexpr OSErr errIllegalCharInID = -30917;

// ---------------------------------------------------------------------------------------
// Host and image description

inline constexpr OSType kPhotoshopSignature = PIFourCC("8BIM");

// imageMode values; bit N of a format record's hostModes stands for mode N.
inline constexpr int16_t plugInModeBitmap = 0;
inline constexpr int16_t plugInModeGrayScale = 1;
inline constexpr int16_t plugInModeIndexedColor = 2;
inline constexpr int16_t plugInModeRGBColor = 3;
inline constexpr int16_t plugInModeCMYKColor = 4;
inline constexpr int16_t plugInModeHSLColor = 5;
inline constexpr int16_t plugInModeHSBColor = 6;
inline constexpr int16_t plugInModeMultichannel = 7;
inline constexpr int16_t plugInModeDuotone = 8;
inline constexpr int16_t plugInModeLabColor = 9;
inline constexpr int16_t plugInModeGray16 = 10;
inline constexpr int16_t plugInModeRGB48 = 11;
inline constexpr int16_t plugInModeLab48 = 12;
inline constexpr int16_t plugInModeCMYK64 = 13;
inline constexpr int16_t plugInModeDeepMultichannel = 14;
inline constexpr int16_t plugInModeDuotone16 = 15;
inline constexpr int16_t plugInModeRGB96 = 16;
inline constexpr int16_t plugInModeGray32 = 17;

// The monitor's gamma, primaries and white point, all 16.16.
struct PlugInMonitor {
  Fixed gamma;
  Fixed redX;
  Fixed redY;
  Fixed greenX;
  Fixed greenY;
  Fixed blueX;
  Fixed blueY;
  Fixed whiteX;
  Fixed whiteY;
  Fixed ambient;
};
PI_CHECK_SIZE(PlugInMonitor, 40, 40);
PI_CHECK_FIELD(PlugInMonitor, gamma, 0, 0);
PI_CHECK_FIELD(PlugInMonitor, redX, 4, 4);
PI_CHECK_FIELD(PlugInMonitor, redY, 8, 8);
PI_CHECK_FIELD(PlugInMonitor, greenX, 12, 12);
PI_CHECK_FIELD(PlugInMonitor, greenY, 16, 16);
PI_CHECK_FIELD(PlugInMonitor, blueX, 20, 20);
PI_CHECK_FIELD(PlugInMonitor, blueY, 24, 24);
PI_CHECK_FIELD(PlugInMonitor, whiteX, 28, 28);
PI_CHECK_FIELD(PlugInMonitor, whiteY, 32, 32);
PI_CHECK_FIELD(PlugInMonitor, ambient, 36, 36);

// ---------------------------------------------------------------------------------------
// Plain callbacks of the parameter records

struct PSPixelMap;
struct ColorServicesInfo;

typedef Boolean(PI_CALL* TestAbortProc)();
typedef void(PI_CALL* ProgressProc)(int32_t done, int32_t total);
typedef void(PI_CALL* HostProc)(int16_t selector, intptr_t* data);
typedef int32_t(PI_CALL* SpaceProc)();
typedef void(PI_CALL* ProcessEventProc)(void* event);
typedef OSErr(PI_CALL* DisplayPixelsProc)(const PSPixelMap* source, const VRect* srcRect,
                                          int32_t dstRow, int32_t dstCol,
                                          void* platformContext /* HDC */);
typedef OSErr(PI_CALL* AdvanceStateProc)();
typedef OSErr(PI_CALL* ColorServicesProc)(ColorServicesInfo* info);

// ---------------------------------------------------------------------------------------
// Buffer suite: large scratch memory from the host

typedef struct PSBuffer* BufferID;

typedef OSErr(PI_CALL* AllocateBufferProc)(int32_t size, BufferID* bufferID);
typedef Ptr(PI_CALL* LockBufferProc)(BufferID bufferID, Boolean moveHigh);
typedef void(PI_CALL* UnlockBufferProc)(BufferID bufferID);
typedef void(PI_CALL* FreeBufferProc)(BufferID bufferID);
typedef int32_t(PI_CALL* BufferSpaceProc)();
typedef OSErr(PI_CALL* ReserveSpaceProc)(int32_t size);
typedef OSErr(PI_CALL* AllocateBufferProc64)(int64_t size, BufferID* bufferID);
typedef int64_t(PI_CALL* BufferSpaceProc64)();

inline constexpr int16_t kCurrentBufferProcsVersion = 2;
inline constexpr int16_t kCurrentBufferProcsCount = 8;  // older hosts offer only the first 5

// Host-managed buffers. Check numBufferProcs before using a member.
struct BufferProcs {
  int16_t bufferProcsVersion;
  int16_t numBufferProcs;
  AllocateBufferProc allocateProc;
  LockBufferProc lockProc;
  UnlockBufferProc unlockProc;
  FreeBufferProc freeProc;
  BufferSpaceProc spaceProc;
  ReserveSpaceProc reserveProc;
  AllocateBufferProc64 allocateProc64;
  BufferSpaceProc64 spaceProc64;
};
PI_CHECK_SIZE(BufferProcs, 36, 72);
PI_CHECK_FIELD(BufferProcs, bufferProcsVersion, 0, 0);
PI_CHECK_FIELD(BufferProcs, numBufferProcs, 2, 2);
PI_CHECK_FIELD(BufferProcs, allocateProc, 4, 8);
PI_CHECK_FIELD(BufferProcs, lockProc, 8, 16);
PI_CHECK_FIELD(BufferProcs, unlockProc, 12, 24);
PI_CHECK_FIELD(BufferProcs, freeProc, 16, 32);
PI_CHECK_FIELD(BufferProcs, spaceProc, 20, 40);
PI_CHECK_FIELD(BufferProcs, reserveProc, 24, 48);
PI_CHECK_FIELD(BufferProcs, allocateProc64, 28, 56);
PI_CHECK_FIELD(BufferProcs, spaceProc64, 32, 64);

// ---------------------------------------------------------------------------------------
// Handle suite: relocatable blocks the host can keep between calls

typedef Handle(PI_CALL* NewPIHandleProc)(int32_t size);
typedef void(PI_CALL* DisposePIHandleProc)(Handle h);
typedef int32_t(PI_CALL* GetPIHandleSizeProc)(Handle h);
typedef OSErr(PI_CALL* SetPIHandleSizeProc)(Handle h, int32_t newSize);
typedef Ptr(PI_CALL* LockPIHandleProc)(Handle h, Boolean moveHigh);
typedef void(PI_CALL* UnlockPIHandleProc)(Handle h);
typedef void(PI_CALL* RecoverSpaceProc)(int32_t size);
typedef void(PI_CALL* DisposeRegularHandlePIHandleProc)(Handle h);

inline constexpr int16_t kCurrentHandleProcsVersion = 1;
inline constexpr int16_t kCurrentHandleProcsCount = 8;

// Host handles. Check numHandleProcs before using a member.
struct HandleProcs {
  int16_t handleProcsVersion;
  int16_t numHandleProcs;
  NewPIHandleProc newProc;
  DisposePIHandleProc disposeProc;
  GetPIHandleSizeProc getSizeProc;
  SetPIHandleSizeProc setSizeProc;
  LockPIHandleProc lockProc;
  UnlockPIHandleProc unlockProc;
  RecoverSpaceProc recoverSpaceProc;
  DisposeRegularHandlePIHandleProc disposeRegularHandleProc;
};
PI_CHECK_SIZE(HandleProcs, 36, 72);
PI_CHECK_FIELD(HandleProcs, handleProcsVersion, 0, 0);
PI_CHECK_FIELD(HandleProcs, numHandleProcs, 2, 2);
PI_CHECK_FIELD(HandleProcs, newProc, 4, 8);
PI_CHECK_FIELD(HandleProcs, disposeProc, 8, 16);
PI_CHECK_FIELD(HandleProcs, getSizeProc, 12, 24);
PI_CHECK_FIELD(HandleProcs, setSizeProc, 16, 32);
PI_CHECK_FIELD(HandleProcs, lockProc, 20, 40);
PI_CHECK_FIELD(HandleProcs, unlockProc, 24, 48);
PI_CHECK_FIELD(HandleProcs, recoverSpaceProc, 28, 56);
PI_CHECK_FIELD(HandleProcs, disposeRegularHandleProc, 32, 64);

// A handle made without the host's handle suite: a block of pointer size + 4 bytes from the
// operating system whose first word is the data pointer, so *h works as for a host handle,
// followed by a tag that tells such blocks apart.
#pragma pack(push, 4)
struct PIEmulatedHandle {
  Ptr data;
  uint32_t tag;
};
#pragma pack(pop)
PI_CHECK_SIZE(PIEmulatedHandle, 8, 12);
PI_CHECK_FIELD(PIEmulatedHandle, data, 0, 0);
PI_CHECK_FIELD(PIEmulatedHandle, tag, 4, 8);

inline constexpr uint32_t kPIEmulatedHandleTag = PIFourCC("FOTO");  // bytes "OTOF" in memory

// ---------------------------------------------------------------------------------------
// Property suite: host values by signature and key

typedef OSErr(PI_CALL* GetPropertyProc)(PIType signature, PIType key, int32_t index,
                                        intptr_t* simpleProperty, Handle* complexProperty);
typedef OSErr(PI_CALL* SetPropertyProc)(PIType signature, PIType key, int32_t index,
                                        intptr_t simpleProperty, Handle complexProperty);

inline constexpr int16_t kCurrentPropertyProcsVersion = 1;
inline constexpr int16_t kCurrentPropertyProcsCount = 2;

// Reading and setting host properties; complex ones travel in handles the caller disposes.
struct PropertyProcs {
  int16_t propertyProcsVersion;
  int16_t numPropertyProcs;
  GetPropertyProc getPropertyProc;
  SetPropertyProc setPropertyProc;
};
PI_CHECK_SIZE(PropertyProcs, 12, 24);
PI_CHECK_FIELD(PropertyProcs, propertyProcsVersion, 0, 0);
PI_CHECK_FIELD(PropertyProcs, numPropertyProcs, 2, 2);
PI_CHECK_FIELD(PropertyProcs, getPropertyProc, 4, 8);
PI_CHECK_FIELD(PropertyProcs, setPropertyProc, 8, 16);

// Keys, all under kPhotoshopSignature.
inline constexpr PIType propVersion = PIFourCC("vers");  // (major << 16) | (minor << 8) | fix
inline constexpr PIType propEXIFData = PIFourCC("EXIF");
inline constexpr PIType propXMP = PIFourCC("xmpd");
inline constexpr PIType propSerialString = PIFourCC("sstr");
inline constexpr PIType propSerialString2 = PIFourCC("sstR");
inline constexpr PIType propNumberOfChannels = PIFourCC("nuch");
inline constexpr PIType propChannelName = PIFourCC("nmch");
inline constexpr PIType propUnicodeChannelName = PIFourCC("unch");
inline constexpr PIType propImageMode = PIFourCC("mode");
inline constexpr PIType propCaption = PIFourCC("capt");
inline constexpr PIType propTitle = PIFourCC("titl");
inline constexpr PIType propUnicodeName = PIFourCC("unnm");
inline constexpr PIType propPlayInProgress = PIFourCC("plip");
inline constexpr PIType propRecordInProgress = PIFourCC("rcip");
inline constexpr PIType propInterpolationMethod = PIFourCC("intp");
inline constexpr PIType propRulerUnits = PIFourCC("rulr");
inline constexpr PIType propCopyright = PIFourCC("cpyr");
inline constexpr PIType propWatermark = PIFourCC("watr");
inline constexpr PIType propURL = PIFourCC("URL ");
inline constexpr PIType propDocumentWidth = PIFourCC("docW");
inline constexpr PIType propDocumentHeight = PIFourCC("docH");
inline constexpr PIType propNumberOfLayers = PIFourCC("nuly");
inline constexpr PIType propTargetLayerIndex = PIFourCC("tgly");
inline constexpr PIType propLayerName = PIFourCC("lynm");
inline constexpr PIType propTargetLayerLock = PIFourCC("tllk");

// ---------------------------------------------------------------------------------------
// Resource suite: the document's image resources

typedef int16_t(PI_CALL* CountPIResourcesProc)(ResType type);
typedef Handle(PI_CALL* GetPIResourceProc)(ResType type, int16_t index);
typedef void(PI_CALL* DeletePIResourceProc)(ResType type, int16_t index);
typedef OSErr(PI_CALL* AddPIResourceProc)(ResType type, Handle data);

inline constexpr int16_t kCurrentResourceProcsVersion = 3;
inline constexpr int16_t kCurrentResourceProcsCount = 4;

// Access to the document's resources by type and index.
struct ResourceProcs {
  int16_t resourceProcsVersion;
  int16_t numResourceProcs;
  CountPIResourcesProc countProc;
  GetPIResourceProc getProc;
  DeletePIResourceProc deleteProc;
  AddPIResourceProc addProc;
};
PI_CHECK_SIZE(ResourceProcs, 20, 40);
PI_CHECK_FIELD(ResourceProcs, resourceProcsVersion, 0, 0);
PI_CHECK_FIELD(ResourceProcs, numResourceProcs, 2, 2);
PI_CHECK_FIELD(ResourceProcs, countProc, 4, 8);
PI_CHECK_FIELD(ResourceProcs, getProc, 8, 16);
PI_CHECK_FIELD(ResourceProcs, deleteProc, 12, 24);
PI_CHECK_FIELD(ResourceProcs, addProc, 16, 32);

// ---------------------------------------------------------------------------------------
// Image services: host resampling

// One plane of pixels for the resampling callbacks.
struct PSImagePlane {
  void* data;
  Rect bounds;
  int32_t rowBytes;
  int32_t colBytes;
};
PI_CHECK_SIZE(PSImagePlane, 20, 24);
PI_CHECK_FIELD(PSImagePlane, data, 0, 0);
PI_CHECK_FIELD(PSImagePlane, bounds, 4, 8);
PI_CHECK_FIELD(PSImagePlane, rowBytes, 12, 16);
PI_CHECK_FIELD(PSImagePlane, colBytes, 16, 20);

struct PSImageMultiPlane;
struct PSImageMultiPlane32;

typedef OSErr(PI_CALL* PIResampleProc)(PSImagePlane* source, PSImagePlane* destination,
                                       Rect* area, Fixed* coords, int16_t method);
typedef OSErr(PI_CALL* PIResampleMultiProc)(PSImageMultiPlane* source,
                                            PSImageMultiPlane* destination, Rect* area,
                                            Fixed* coords, int16_t method);
typedef OSErr(PI_CALL* PIResampleMulti32Proc)(PSImageMultiPlane32* source,
                                              PSImageMultiPlane32* destination, VRect* area,
                                              int64_t* coords /* 47.16 */, int16_t method);

inline constexpr int16_t kCurrentImageServicesProcsVersion = 1;
inline constexpr int16_t kCurrentImageServicesProcsCount = 6;  // older hosts offer 2

// Host interpolation over planes.
struct ImageServicesProcs {
  int16_t imageServicesProcsVersion;
  int16_t numImageServicesProcs;
  PIResampleProc interpolate1DProc;
  PIResampleProc interpolate2DProc;
  PIResampleMultiProc interpolate1DMultiProc;
  PIResampleMultiProc interpolate2DMultiProc;
  PIResampleMulti32Proc interpolate1DMulti32Proc;
  PIResampleMulti32Proc interpolate2DMulti32Proc;
};
PI_CHECK_SIZE(ImageServicesProcs, 28, 56);
PI_CHECK_FIELD(ImageServicesProcs, imageServicesProcsVersion, 0, 0);
PI_CHECK_FIELD(ImageServicesProcs, numImageServicesProcs, 2, 2);
PI_CHECK_FIELD(ImageServicesProcs, interpolate1DProc, 4, 8);
PI_CHECK_FIELD(ImageServicesProcs, interpolate2DProc, 8, 16);
PI_CHECK_FIELD(ImageServicesProcs, interpolate1DMultiProc, 12, 24);
PI_CHECK_FIELD(ImageServicesProcs, interpolate2DMultiProc, 16, 32);
PI_CHECK_FIELD(ImageServicesProcs, interpolate1DMulti32Proc, 20, 40);
PI_CHECK_FIELD(ImageServicesProcs, interpolate2DMulti32Proc, 24, 48);

// ---------------------------------------------------------------------------------------
// Channel ports: reading document channels outside the filter rectangle

typedef struct PIChannelPortObject* PIChannelPort;
typedef PIChannelPort ChannelReadPort;
typedef PIChannelPort ChannelWritePort;

// Source and destination rectangles of a scaled read.
struct PSScaling {
  VRect sourceRect;
  VRect destinationRect;
};
PI_CHECK_SIZE(PSScaling, 32, 32);
PI_CHECK_FIELD(PSScaling, sourceRect, 0, 0);
PI_CHECK_FIELD(PSScaling, destinationRect, 16, 16);

// Memory a channel read writes into, with steps in bits.
struct PixelMemoryDesc {
  void* data;
  int32_t rowBits;
  int32_t colBits;
  int32_t bitOffset;
  int32_t depth;
};
PI_CHECK_SIZE(PixelMemoryDesc, 20, 24);
PI_CHECK_FIELD(PixelMemoryDesc, data, 0, 0);
PI_CHECK_FIELD(PixelMemoryDesc, rowBits, 4, 8);
PI_CHECK_FIELD(PixelMemoryDesc, colBits, 8, 12);
PI_CHECK_FIELD(PixelMemoryDesc, bitOffset, 12, 16);
PI_CHECK_FIELD(PixelMemoryDesc, depth, 16, 20);

typedef OSErr(PI_CALL* ReadPixelsProc)(ChannelReadPort port, const PSScaling* scaling,
                                       const VRect* writeRect,
                                       const PixelMemoryDesc* destination, VRect* wroteRect);
typedef OSErr(PI_CALL* WriteBasePixelsProc)(ChannelWritePort port, const VRect* writeRect,
                                            const PixelMemoryDesc* source);
typedef OSErr(PI_CALL* ReadPortForWritePortProc)(ChannelReadPort* readPort,
                                                 ChannelWritePort writePort);

inline constexpr int16_t kCurrentChannelPortProcsVersion = 1;
inline constexpr int16_t kCurrentChannelPortProcsCount = 3;

// Reading and writing channel pixels through ports.
struct ChannelPortProcs {
  int16_t channelPortProcsVersion;
  int16_t numChannelPortProcs;
  ReadPixelsProc readPixelsProc;
  WriteBasePixelsProc writeBasePixelsProc;
  ReadPortForWritePortProc readPortForWritePortProc;
};
PI_CHECK_SIZE(ChannelPortProcs, 16, 32);
PI_CHECK_FIELD(ChannelPortProcs, channelPortProcsVersion, 0, 0);
PI_CHECK_FIELD(ChannelPortProcs, numChannelPortProcs, 2, 2);
PI_CHECK_FIELD(ChannelPortProcs, readPixelsProc, 4, 8);
PI_CHECK_FIELD(ChannelPortProcs, writeBasePixelsProc, 8, 16);
PI_CHECK_FIELD(ChannelPortProcs, readPortForWritePortProc, 12, 24);

// One channel of the document as documentInfo describes it; channels of a kind are chained.
struct ReadChannelDesc {
  int32_t minVersion;
  int32_t maxVersion;
  ReadChannelDesc* next;
  PIChannelPort port;
  VRect bounds;
  int32_t depth;
  VPoint tileSize;
  VPoint tileOrigin;
  Boolean target;
  Boolean shown;
  int16_t channelType;
  void* contextInfo;
  const char* name;
  PIChannelPort writePort;
  uint32_t alphaID;
  const uint16_t* unicodeName;
  Boolean isEnabled;
  VRect limitBounds;
};
PI_CHECK_SIZE(ReadChannelDesc, 96, 128);
PI_CHECK_FIELD(ReadChannelDesc, minVersion, 0, 0);
PI_CHECK_FIELD(ReadChannelDesc, maxVersion, 4, 4);
PI_CHECK_FIELD(ReadChannelDesc, next, 8, 8);
PI_CHECK_FIELD(ReadChannelDesc, port, 12, 16);
PI_CHECK_FIELD(ReadChannelDesc, bounds, 16, 24);
PI_CHECK_FIELD(ReadChannelDesc, depth, 32, 40);
PI_CHECK_FIELD(ReadChannelDesc, tileSize, 36, 44);
PI_CHECK_FIELD(ReadChannelDesc, tileOrigin, 44, 52);
PI_CHECK_FIELD(ReadChannelDesc, target, 52, 60);
PI_CHECK_FIELD(ReadChannelDesc, shown, 53, 61);
PI_CHECK_FIELD(ReadChannelDesc, channelType, 54, 62);
PI_CHECK_FIELD(ReadChannelDesc, contextInfo, 56, 64);
PI_CHECK_FIELD(ReadChannelDesc, name, 60, 72);
PI_CHECK_FIELD(ReadChannelDesc, writePort, 64, 80);
PI_CHECK_FIELD(ReadChannelDesc, alphaID, 68, 88);
PI_CHECK_FIELD(ReadChannelDesc, unicodeName, 72, 96);
PI_CHECK_FIELD(ReadChannelDesc, isEnabled, 76, 104);
PI_CHECK_FIELD(ReadChannelDesc, limitBounds, 80, 108);

struct ReadLayerDesc;

// The whole document as a filter or format sees it: mode, depth, bounds, colour tables and
// its channels.
struct ReadImageDocumentDesc {
  int32_t minVersion;
  int32_t maxVersion;
  int32_t imageMode;
  int32_t depth;
  VRect bounds;
  Fixed hResolution;
  Fixed vResolution;
  LookUpTable redLUT;
  LookUpTable greenLUT;
  LookUpTable blueLUT;
  ReadChannelDesc* targetCompositeChannels;
  ReadChannelDesc* targetTransparency;
  ReadChannelDesc* targetLayerMask;
  ReadChannelDesc* mergedCompositeChannels;
  ReadChannelDesc* mergedTransparency;
  ReadChannelDesc* alphaChannels;
  ReadChannelDesc* selection;
  SPPlatformFileSpecification* fileSpec;
  ReadLayerDesc* layersDescriptor;
  int32_t documentType;
  ReadImageDocumentDesc* next;
  void* iCCprofileData;
  int32_t iCCprofileSize;
  int32_t compositeChannelCount;
  int32_t layerCount;
  int32_t alphaChannelCount;
  ReadChannelDesc* targetSmartFilterMask;
  SPPlatformFileSpecificationW* fileSpecW;
  XPlatFileSpec* fileSpecX;
};
PI_CHECK_SIZE(ReadImageDocumentDesc, 884, 944);
PI_CHECK_FIELD(ReadImageDocumentDesc, minVersion, 0, 0);
PI_CHECK_FIELD(ReadImageDocumentDesc, maxVersion, 4, 4);
PI_CHECK_FIELD(ReadImageDocumentDesc, imageMode, 8, 8);
PI_CHECK_FIELD(ReadImageDocumentDesc, depth, 12, 12);
PI_CHECK_FIELD(ReadImageDocumentDesc, bounds, 16, 16);
PI_CHECK_FIELD(ReadImageDocumentDesc, hResolution, 32, 32);
PI_CHECK_FIELD(ReadImageDocumentDesc, vResolution, 36, 36);
PI_CHECK_FIELD(ReadImageDocumentDesc, redLUT, 40, 40);
PI_CHECK_FIELD(ReadImageDocumentDesc, greenLUT, 296, 296);
PI_CHECK_FIELD(ReadImageDocumentDesc, blueLUT, 552, 552);
PI_CHECK_FIELD(ReadImageDocumentDesc, targetCompositeChannels, 808, 808);
PI_CHECK_FIELD(ReadImageDocumentDesc, targetTransparency, 812, 816);
PI_CHECK_FIELD(ReadImageDocumentDesc, targetLayerMask, 816, 824);
PI_CHECK_FIELD(ReadImageDocumentDesc, mergedCompositeChannels, 820, 832);
PI_CHECK_FIELD(ReadImageDocumentDesc, mergedTransparency, 824, 840);
PI_CHECK_FIELD(ReadImageDocumentDesc, alphaChannels, 828, 848);
PI_CHECK_FIELD(ReadImageDocumentDesc, selection, 832, 856);
PI_CHECK_FIELD(ReadImageDocumentDesc, fileSpec, 836, 864);
PI_CHECK_FIELD(ReadImageDocumentDesc, layersDescriptor, 840, 872);
PI_CHECK_FIELD(ReadImageDocumentDesc, documentType, 844, 880);
PI_CHECK_FIELD(ReadImageDocumentDesc, next, 848, 888);
PI_CHECK_FIELD(ReadImageDocumentDesc, iCCprofileData, 852, 896);
PI_CHECK_FIELD(ReadImageDocumentDesc, iCCprofileSize, 856, 904);
PI_CHECK_FIELD(ReadImageDocumentDesc, compositeChannelCount, 860, 908);
PI_CHECK_FIELD(ReadImageDocumentDesc, layerCount, 864, 912);
PI_CHECK_FIELD(ReadImageDocumentDesc, alphaChannelCount, 868, 916);
PI_CHECK_FIELD(ReadImageDocumentDesc, targetSmartFilterMask, 872, 920);
PI_CHECK_FIELD(ReadImageDocumentDesc, fileSpecW, 876, 928);
PI_CHECK_FIELD(ReadImageDocumentDesc, fileSpecX, 880, 936);

// ---------------------------------------------------------------------------------------
// Pixel map for displayPixels (previews)

struct PSPixelMask;
struct PSPixelOverlay;

// Pixels for the host to draw into a device context; mat, masks and overlays may be null.
struct PSPixelMap {
  int32_t version;
  VRect bounds;
  int32_t imageMode;
  int32_t rowBytes;
  int32_t colBytes;
  int32_t planeBytes;
  void* baseAddr;
  PSPixelMask* mat;
  PSPixelMask* masks;
  int32_t maskPhaseRow;
  int32_t maskPhaseCol;
  PSPixelOverlay* pixelOverlays;
  uint32_t colorManagementOptions;
  int16_t depth;
};
PI_CHECK_SIZE(PSPixelMap, 68, 88);
PI_CHECK_FIELD(PSPixelMap, version, 0, 0);
PI_CHECK_FIELD(PSPixelMap, bounds, 4, 4);
PI_CHECK_FIELD(PSPixelMap, imageMode, 20, 20);
PI_CHECK_FIELD(PSPixelMap, rowBytes, 24, 24);
PI_CHECK_FIELD(PSPixelMap, colBytes, 28, 28);
PI_CHECK_FIELD(PSPixelMap, planeBytes, 32, 32);
PI_CHECK_FIELD(PSPixelMap, baseAddr, 36, 40);
PI_CHECK_FIELD(PSPixelMap, mat, 40, 48);
PI_CHECK_FIELD(PSPixelMap, masks, 44, 56);
PI_CHECK_FIELD(PSPixelMap, maskPhaseRow, 48, 64);
PI_CHECK_FIELD(PSPixelMap, maskPhaseCol, 52, 68);
PI_CHECK_FIELD(PSPixelMap, pixelOverlays, 56, 72);
PI_CHECK_FIELD(PSPixelMap, colorManagementOptions, 60, 80);
PI_CHECK_FIELD(PSPixelMap, depth, 64, 84);

// Request to the host's colour services (conversions, the colour picker).
struct ColorServicesInfo {
  int32_t infoSize;
  int16_t selector;
  int16_t sourceSpace;
  int16_t resultSpace;
  Boolean resultGamutInfoValid;
  Boolean resultInGamut;
  void* reservedSourceSpaceInfo;
  void* reservedResultSpaceInfo;
  int16_t colorComponents[4];
  void* reserved;
  union {
    Str255* pickerPrompt;
    Point* globalSamplePoint;
    int32_t specialColorID;
  } selectorParameter;
};
PI_CHECK_SIZE(ColorServicesInfo, 36, 56);
PI_CHECK_FIELD(ColorServicesInfo, infoSize, 0, 0);
PI_CHECK_FIELD(ColorServicesInfo, selector, 4, 4);
PI_CHECK_FIELD(ColorServicesInfo, sourceSpace, 6, 6);
PI_CHECK_FIELD(ColorServicesInfo, resultSpace, 8, 8);
PI_CHECK_FIELD(ColorServicesInfo, resultGamutInfoValid, 10, 10);
PI_CHECK_FIELD(ColorServicesInfo, resultInGamut, 11, 11);
PI_CHECK_FIELD(ColorServicesInfo, reservedSourceSpaceInfo, 12, 16);
PI_CHECK_FIELD(ColorServicesInfo, reservedResultSpaceInfo, 16, 24);
PI_CHECK_FIELD(ColorServicesInfo, colorComponents, 20, 32);
PI_CHECK_FIELD(ColorServicesInfo, reserved, 28, 40);
PI_CHECK_FIELD(ColorServicesInfo, selectorParameter, 32, 48);

// ---------------------------------------------------------------------------------------
// PiPL property keys and plug-in kinds (vendor kPhotoshopSignature)

inline constexpr OSType PIKindProperty = PIFourCC("kind");
inline constexpr OSType PIVersionProperty = PIFourCC("vers");  // (major << 16) | minor
inline constexpr OSType PIPriorityProperty = PIFourCC("prty");
inline constexpr OSType PIRequiredHostProperty = PIFourCC("host");
inline constexpr OSType PINameProperty = PIFourCC("name");
inline constexpr OSType PICategoryProperty = PIFourCC("catg");
inline constexpr OSType PIProgressTextProperty = PIFourCC("prog");
inline constexpr OSType PIComponentProperty = PIFourCC("cmpt");
inline constexpr OSType PIWin32X86CodeProperty = PIFourCC("wx86");
inline constexpr OSType PIWin64X86CodeProperty = PIFourCC("8664");
inline constexpr OSType PIWin64ARMCodeProperty = PIFourCC("wa64");
inline constexpr OSType PIImageModesProperty = PIFourCC("mode");
inline constexpr OSType PIEnableInfoProperty = PIFourCC("enbl");
inline constexpr OSType PIFilterCaseInfoProperty = PIFourCC("fici");
inline constexpr OSType PIFilterLayerSupport = PIFourCC("flly");
inline constexpr OSType PIMaxSize32Property = PIFourCC("ms32");
inline constexpr OSType PIMinSize32Property = PIFourCC("mn32");
inline constexpr OSType PIHasTerminologyProperty = PIFourCC("hstm");
inline constexpr OSType PIFmtFileTypeProperty = PIFourCC("fmTC");
inline constexpr OSType PIReadExtProperty = PIFourCC("RdEx");
inline constexpr OSType PIFmtFlagsProperty = PIFourCC("fmtf");
inline constexpr OSType PIFmtMaxSizeProperty = PIFourCC("mxsz");
inline constexpr OSType PIFmtMaxChannelsProperty = PIFourCC("mxch");

inline constexpr OSType PIFilterKind = PIFourCC("8BFM");
inline constexpr OSType PIFormatKind = PIFourCC("8BIF");
