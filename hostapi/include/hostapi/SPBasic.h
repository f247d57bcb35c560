// The host's suite broker (sSPBasic) and the few suites acquired through it: plug-in access,
// plug-in list and the Photoshop file-list suite; also the plug-in property list they use.
#pragma once

#include "hostapi/PIActions.h"
#include "hostapi/PITypes.h"

typedef int32_t SPErr;
typedef int32_t SPBoolean;  // a Windows BOOL, four bytes

typedef struct SPPluginObject* SPPluginRef;
typedef struct SPPluginListObject* SPPluginListRef;
typedef struct SPPluginListIteratorObject* SPPluginListIteratorRef;
typedef struct SPStringPoolObject* SPStringPoolRef;
typedef struct SPPropertyListObject* SPPropertyListRef;
typedef struct SPAdapterObject* SPAdapterRef;
typedef struct SPFileObject* SPFileRef;
typedef struct SPAccessObject* SPAccessRef;
typedef void* SPPlatformAccessRef;  // the plug-in module's HINSTANCE on Windows

typedef SPErr(PI_CALL* SPPluginEntryFunc)(const char* caller, const char* selector,
                                          void* message);
typedef SPPluginEntryFunc SPEntry;

inline constexpr SPErr kSPNoError = 0;
inline constexpr SPErr kSPOutOfMemoryError = -108;
inline constexpr SPErr kSPUnimplementedError = static_cast<SPErr>(PIFourCC("!IMP"));
inline constexpr SPErr kSPUserCanceledError = static_cast<SPErr>(PIFourCC("stop"));
inline constexpr SPErr kSPBadParameterError = static_cast<SPErr>(PIFourCC("Parm"));
inline constexpr SPErr kSPSuiteNotFoundError = static_cast<SPErr>(PIFourCC("S!Fd"));
inline constexpr SPErr kSPCorruptPiPLError = static_cast<SPErr>(PIFourCC("CPPL"));

// ---------------------------------------------------------------------------------------
// Plug-in properties as the PiPL resource carries them

// One property: vendor, key, id, then propertyLength bytes of data (padded to 4).
struct PIProperty {
  OSType vendorID;
  OSType propertyKey;
  int32_t propertyID;
  int32_t propertyLength;
  char propertyData[1];  // runs past the record
};
PI_CHECK_SIZE(PIProperty, 20, 20);
PI_CHECK_FIELD(PIProperty, vendorID, 0, 0);
PI_CHECK_FIELD(PIProperty, propertyKey, 4, 4);
PI_CHECK_FIELD(PIProperty, propertyID, 8, 8);
PI_CHECK_FIELD(PIProperty, propertyLength, 12, 12);
PI_CHECK_FIELD(PIProperty, propertyData, 16, 16);

// A property list: version 0 and the properties back to back.
struct PIPropertyList {
  int32_t version;
  int32_t count;
  PIProperty properties[1];
};
PI_CHECK_SIZE(PIPropertyList, 28, 28);
PI_CHECK_FIELD(PIPropertyList, version, 0, 0);
PI_CHECK_FIELD(PIPropertyList, count, 4, 4);
PI_CHECK_FIELD(PIPropertyList, properties, 8, 8);

// ---------------------------------------------------------------------------------------
// File references

inline constexpr int32_t kMaxPathLength = 300;

// A narrow (ANSI) path, as the plug-ins suite gives a plug-in's own file.
struct SPPlatformFileSpecification {
  char path[kMaxPathLength];
};
PI_CHECK_SIZE(SPPlatformFileSpecification, 300, 300);
PI_CHECK_FIELD(SPPlatformFileSpecification, path, 0, 0);

// A NUL-terminated UTF-16 path.
struct SPPlatformFileSpecificationW {
  uint16_t* mReference;
};
PI_CHECK_SIZE(SPPlatformFileSpecificationW, 4, 8);
PI_CHECK_FIELD(SPPlatformFileSpecificationW, mReference, 0, 0);

// What GetAccessInfo reports about a loaded plug-in module.
struct SPPlatformAccessInfo {
  SPPlatformAccessRef defaultAccess;
  SPPlatformAccessRef resourceAccess;
  uint32_t lastAccessTicks;
};
PI_CHECK_SIZE(SPPlatformAccessInfo, 12, 24);
PI_CHECK_FIELD(SPPlatformAccessInfo, defaultAccess, 0, 0);
PI_CHECK_FIELD(SPPlatformAccessInfo, resourceAccess, 4, 8);
PI_CHECK_FIELD(SPPlatformAccessInfo, lastAccessTicks, 8, 16);

// ---------------------------------------------------------------------------------------
// Suites

inline constexpr char kSPBasicSuite[] = "SP Basic Suite";
inline constexpr int32_t kSPBasicSuiteVersion = 4;

// The broker: acquire and release suites by name and version, and host memory blocks.
struct SPBasicSuite {
  SPErr(PI_CALL* AcquireSuite)(const char* name, int32_t version, const void** suite);
  SPErr(PI_CALL* ReleaseSuite)(const char* name, int32_t version);
  SPBoolean(PI_CALL* IsEqual)(const char* token1, const char* token2);
  SPErr(PI_CALL* AllocateBlock)(size_t size, void** block);
  SPErr(PI_CALL* FreeBlock)(void* block);
  SPErr(PI_CALL* ReallocateBlock)(void* block, size_t newSize, void** newBlock);
  SPErr(PI_CALL* Undefined)();
};
PI_CHECK_SIZE(SPBasicSuite, 28, 56);
PI_CHECK_FIELD(SPBasicSuite, AcquireSuite, 0, 0);
PI_CHECK_FIELD(SPBasicSuite, ReleaseSuite, 4, 8);
PI_CHECK_FIELD(SPBasicSuite, IsEqual, 8, 16);
PI_CHECK_FIELD(SPBasicSuite, AllocateBlock, 12, 24);
PI_CHECK_FIELD(SPBasicSuite, FreeBlock, 16, 32);
PI_CHECK_FIELD(SPBasicSuite, ReallocateBlock, 20, 40);
PI_CHECK_FIELD(SPBasicSuite, Undefined, 24, 48);

inline constexpr char kSPAccessSuite[] = "SP Access Suite";
inline constexpr int32_t kSPAccessSuiteVersion = 3;

// Access to loaded plug-in modules; GetPluginResourceAccess yields the module handle that
// dialogs and strings are loaded from.
struct SPAccessSuite {
  SPErr(PI_CALL* AcquirePlugin)(SPPluginRef plugin, SPAccessRef* access);
  SPErr(PI_CALL* ReleasePlugin)(SPAccessRef access);
  SPErr(PI_CALL* GetPluginAccess)(SPPluginRef plugin, SPAccessRef* access);
  SPErr(PI_CALL* GetAccessPlugin)(SPAccessRef access, SPPluginRef* plugin);
  SPErr(PI_CALL* GetAccessEntry)(SPAccessRef access, SPEntry* entry);
  SPErr(PI_CALL* GetAccessCount)(SPAccessRef access, int32_t* count);
  SPErr(PI_CALL* GetAccessInfo)(SPAccessRef access, SPPlatformAccessInfo* info);
  SPErr(PI_CALL* GetPluginResourceAccess)(SPPluginRef plugin,
                                          SPPlatformAccessRef* resourceAccess);
  SPErr(PI_CALL* SetPluginResourceAccess)(SPPluginRef plugin,
                                          SPPlatformAccessRef resourceAccess);
  SPErr(PI_CALL* CallPlugin)(SPAccessRef access, const char* caller, const char* selector,
                             void* message, SPErr* result);
  SPErr(PI_CALL* GetCurrentPlugin)(SPPluginRef* plugin);
  SPErr(PI_CALL* SetCurrentPlugin)(SPPluginRef plugin);
};
PI_CHECK_SIZE(SPAccessSuite, 48, 96);
PI_CHECK_FIELD(SPAccessSuite, AcquirePlugin, 0, 0);
PI_CHECK_FIELD(SPAccessSuite, ReleasePlugin, 4, 8);
PI_CHECK_FIELD(SPAccessSuite, GetPluginAccess, 8, 16);
PI_CHECK_FIELD(SPAccessSuite, GetAccessPlugin, 12, 24);
PI_CHECK_FIELD(SPAccessSuite, GetAccessEntry, 16, 32);
PI_CHECK_FIELD(SPAccessSuite, GetAccessCount, 20, 40);
PI_CHECK_FIELD(SPAccessSuite, GetAccessInfo, 24, 48);
PI_CHECK_FIELD(SPAccessSuite, GetPluginResourceAccess, 28, 56);
PI_CHECK_FIELD(SPAccessSuite, SetPluginResourceAccess, 32, 64);
PI_CHECK_FIELD(SPAccessSuite, CallPlugin, 36, 72);
PI_CHECK_FIELD(SPAccessSuite, GetCurrentPlugin, 40, 80);
PI_CHECK_FIELD(SPAccessSuite, SetCurrentPlugin, 44, 88);

inline constexpr char kSPPluginsSuite[] = "SP Plug-ins Suite";
inline constexpr int32_t kSPPluginsSuiteVersion4 = 4;

// The host's plug-in list; a plug-in finds its own file with GetPluginFileSpecification.
// Version 4 ends at SetPluginPropertyList; the two host-info members come with version 5.
struct SPPluginsSuite {
  SPErr(PI_CALL* AllocatePluginList)(SPStringPoolRef strings, SPPluginListRef* pluginList);
  SPErr(PI_CALL* FreePluginList)(SPPluginListRef pluginList);
  SPErr(PI_CALL* AddPlugin)(SPPluginListRef pluginList,
                            const SPPlatformFileSpecification* fileSpec, PIPropertyList* pipl,
                            const char* adapterName, void* adapterInfo, SPPluginRef* plugin);
  SPErr(PI_CALL* NewPluginListIterator)(SPPluginListRef pluginList,
                                        SPPluginListIteratorRef* iter);
  SPErr(PI_CALL* NextPlugin)(SPPluginListIteratorRef iter, SPPluginRef* plugin);
  SPErr(PI_CALL* DeletePluginListIterator)(SPPluginListIteratorRef iter);
  SPErr(PI_CALL* GetPluginListNeededSuiteAvailable)(SPPluginListRef pluginList,
                                                    SPBoolean* available);
  SPErr(PI_CALL* GetPluginHostEntry)(SPPluginRef plugin, SPPluginEntryFunc* host);
  SPErr(PI_CALL* GetPluginFileSpecification)(SPPluginRef plugin,
                                             SPPlatformFileSpecification* fileSpec);
  SPErr(PI_CALL* GetPluginPropertyList)(SPPluginRef plugin, SPPropertyListRef* propertyList);
  SPErr(PI_CALL* GetPluginGlobals)(SPPluginRef plugin, void** globals);
  SPErr(PI_CALL* SetPluginGlobals)(SPPluginRef plugin, void* globals);
  SPErr(PI_CALL* GetPluginStarted)(SPPluginRef plugin, int32_t* started);
  SPErr(PI_CALL* SetPluginStarted)(SPPluginRef plugin, int32_t started);
  SPErr(PI_CALL* GetPluginSkipShutdown)(SPPluginRef plugin, int32_t* skipShutdown);
  SPErr(PI_CALL* SetPluginSkipShutdown)(SPPluginRef plugin, int32_t skipShutdown);
  SPErr(PI_CALL* GetPluginBroken)(SPPluginRef plugin, int32_t* broken);
  SPErr(PI_CALL* SetPluginBroken)(SPPluginRef plugin, int32_t broken);
  SPErr(PI_CALL* GetPluginAdapter)(SPPluginRef plugin, SPAdapterRef* adapter);
  SPErr(PI_CALL* GetPluginAdapterInfo)(SPPluginRef plugin, void** adapterInfo);
  SPErr(PI_CALL* SetPluginAdapterInfo)(SPPluginRef plugin, void* adapterInfo);
  SPErr(PI_CALL* FindPluginProperty)(SPPluginRef plugin, PIType vendorID, PIType propertyKey,
                                     int32_t propertyID, PIProperty** property);
  SPErr(PI_CALL* GetPluginName)(SPPluginRef plugin, const char** name);
  SPErr(PI_CALL* SetPluginName)(SPPluginRef plugin, const char* name);
  SPErr(PI_CALL* GetNamedPlugin)(const char* name, SPPluginRef* plugin);
  SPErr(PI_CALL* SetPluginPropertyList)(SPPluginRef plugin, SPFileRef file);
  SPErr(PI_CALL* GetPluginHostInfo)(SPPluginRef plugin, void** hostInfo);
  SPErr(PI_CALL* SetPluginHostInfo)(SPPluginRef plugin, void* hostInfo);
};
PI_CHECK_SIZE(SPPluginsSuite, 112, 224);
PI_CHECK_FIELD(SPPluginsSuite, AllocatePluginList, 0, 0);
PI_CHECK_FIELD(SPPluginsSuite, FreePluginList, 4, 8);
PI_CHECK_FIELD(SPPluginsSuite, AddPlugin, 8, 16);
PI_CHECK_FIELD(SPPluginsSuite, NewPluginListIterator, 12, 24);
PI_CHECK_FIELD(SPPluginsSuite, NextPlugin, 16, 32);
PI_CHECK_FIELD(SPPluginsSuite, DeletePluginListIterator, 20, 40);
PI_CHECK_FIELD(SPPluginsSuite, GetPluginListNeededSuiteAvailable, 24, 48);
PI_CHECK_FIELD(SPPluginsSuite, GetPluginHostEntry, 28, 56);
PI_CHECK_FIELD(SPPluginsSuite, GetPluginFileSpecification, 32, 64);
PI_CHECK_FIELD(SPPluginsSuite, GetPluginPropertyList, 36, 72);
PI_CHECK_FIELD(SPPluginsSuite, GetPluginGlobals, 40, 80);
PI_CHECK_FIELD(SPPluginsSuite, SetPluginGlobals, 44, 88);
PI_CHECK_FIELD(SPPluginsSuite, GetPluginStarted, 48, 96);
PI_CHECK_FIELD(SPPluginsSuite, SetPluginStarted, 52, 104);
PI_CHECK_FIELD(SPPluginsSuite, GetPluginSkipShutdown, 56, 112);
PI_CHECK_FIELD(SPPluginsSuite, SetPluginSkipShutdown, 60, 120);
PI_CHECK_FIELD(SPPluginsSuite, GetPluginBroken, 64, 128);
PI_CHECK_FIELD(SPPluginsSuite, SetPluginBroken, 68, 136);
PI_CHECK_FIELD(SPPluginsSuite, GetPluginAdapter, 72, 144);
PI_CHECK_FIELD(SPPluginsSuite, GetPluginAdapterInfo, 76, 152);
PI_CHECK_FIELD(SPPluginsSuite, SetPluginAdapterInfo, 80, 160);
PI_CHECK_FIELD(SPPluginsSuite, FindPluginProperty, 84, 168);
PI_CHECK_FIELD(SPPluginsSuite, GetPluginName, 88, 176);
PI_CHECK_FIELD(SPPluginsSuite, SetPluginName, 92, 184);
PI_CHECK_FIELD(SPPluginsSuite, GetNamedPlugin, 96, 192);
PI_CHECK_FIELD(SPPluginsSuite, SetPluginPropertyList, 100, 200);
PI_CHECK_FIELD(SPPluginsSuite, GetPluginHostInfo, 104, 208);
PI_CHECK_FIELD(SPPluginsSuite, SetPluginHostInfo, 108, 216);

inline constexpr char kPSGetFileListSuite[] = "Photoshop GetFileList Suite for Plug-ins";
inline constexpr int32_t kPSGetFileListSuiteVersion4 = 4;

// Version 4 of the file-list suite; BrowseUrl opens an address in the default browser.
// The C++ references of the host's declaration are pointers at this level.
struct PSGetFileListSuite4 {
  SPErr(PI_CALL* GetFileHandleList)(PIActionDescriptor* list, bool recurse);
  SPErr(PI_CALL* GetBrowserNameList)(PIActionDescriptor* list);
  SPErr(PI_CALL* BrowseUrlWithIndexBrowser)(uint16_t browserIndex, const char* url);
  SPErr(PI_CALL* BrowseUrl)(const char* url);
  SPErr(PI_CALL* GetBrowserFileSpec)(uint16_t browserIndex,
                                     SPPlatformFileSpecification* fileSpec);
  SPErr(PI_CALL* GetDefaultSystemScript)(int16_t* script);
  SPErr(PI_CALL* HasDoubleByteInString)(const char* text, bool* hasDoubleByte);
  SPErr(PI_CALL* GetWebTemplateFolderSpec)(SPPlatformFileSpecification* fileSpec);
  SPErr(PI_CALL* GetWebTemplateList)(PIActionDescriptor* list, bool recurse);
};
PI_CHECK_SIZE(PSGetFileListSuite4, 36, 72);
PI_CHECK_FIELD(PSGetFileListSuite4, GetFileHandleList, 0, 0);
PI_CHECK_FIELD(PSGetFileListSuite4, GetBrowserNameList, 4, 8);
PI_CHECK_FIELD(PSGetFileListSuite4, BrowseUrlWithIndexBrowser, 8, 16);
PI_CHECK_FIELD(PSGetFileListSuite4, BrowseUrl, 12, 24);
PI_CHECK_FIELD(PSGetFileListSuite4, GetBrowserFileSpec, 16, 32);
PI_CHECK_FIELD(PSGetFileListSuite4, GetDefaultSystemScript, 20, 40);
PI_CHECK_FIELD(PSGetFileListSuite4, HasDoubleByteInString, 24, 48);
PI_CHECK_FIELD(PSGetFileListSuite4, GetWebTemplateFolderSpec, 28, 56);
PI_CHECK_FIELD(PSGetFileListSuite4, GetWebTemplateList, 32, 64);
