// Scripting: the descriptor parameters a filter or format gets in its record, the read and
// write descriptor callback tables, and the terminology records of the PiPL.
#pragma once

#include "hostapi/PITypes.h"

typedef uint32_t DescriptorEventID;
typedef uint32_t DescriptorClassID;
typedef uint32_t DescriptorKeyID;
typedef uint32_t DescriptorTypeID;
typedef uint32_t DescriptorUnitID;
typedef uint32_t DescriptorEnumID;
typedef uint32_t DescriptorEnumTypeID;
typedef uint32_t DescriptorFormID;

typedef Handle PIDescriptorHandle;
typedef struct PIReadDescriptorObject* PIReadDescriptor;
typedef struct PIWriteDescriptorObject* PIWriteDescriptor;
typedef struct PIActionDescriptorObject* PIActionDescriptor;
typedef int32_t PIDialogPlayOptions;
typedef int32_t PIDialogRecordOptions;

// Key lists handed to openReadDescriptorProc end with a zero key; the host zeroes every key
// it has returned, so what is left non-zero at close was missing.
inline constexpr DescriptorKeyID kPIKeyListEnd = 0;

// ---------------------------------------------------------------------------------------
// Versions and dialog options

inline constexpr int16_t kCurrentDescriptorParametersVersion = 0;
inline constexpr int16_t kCurrentReadDescriptorProcsVersion = 0;
inline constexpr int16_t kCurrentWriteDescriptorProcsVersion = 0;
inline constexpr int16_t kCurrentReadDescriptorProcsCount = 18;
inline constexpr int16_t kCurrentWriteDescriptorProcsCount = 16;

// playInfo: whether the plug-in shows its dialog when played back.
inline constexpr int16_t plugInDialogDontDisplay = 0;  // only if parameters are missing
inline constexpr int16_t plugInDialogDisplay = 1;
inline constexpr int16_t plugInDialogSilent = 2;

// recordInfo: how the recorded step treats the dialog.
inline constexpr int16_t plugInDialogOptional = 0;
inline constexpr int16_t plugInDialogRequired = 1;
inline constexpr int16_t plugInDialogNone = 2;

// Flags getKeyProc reports with each key.
inline constexpr int32_t actionSimpleParameter = 0x00000000;
inline constexpr int32_t actionEnumeratedParameter = 0x00002000;
inline constexpr int32_t actionListParameter = 0x00004000;
inline constexpr int32_t actionOptionalParameter = 0x00008000;
inline constexpr int32_t actionStringIDParameter = 0x20000000;
inline constexpr int32_t actionScopedParameter = 0x40000000;
inline constexpr int32_t actionObjectParameter = static_cast<int32_t>(0x80000000u);

// ---------------------------------------------------------------------------------------
// Type, unit, form and common key codes

inline constexpr DescriptorTypeID typeBoolean = PIFourCC("bool");
inline constexpr DescriptorTypeID typeInteger = PIFourCC("long");
inline constexpr DescriptorTypeID typeSInt32 = typeInteger;
inline constexpr DescriptorTypeID typeLongInteger = typeInteger;
inline constexpr DescriptorTypeID typeSInt16 = PIFourCC("shor");
inline constexpr DescriptorTypeID typeUInt32 = PIFourCC("magn");
inline constexpr DescriptorTypeID typeSInt64 = PIFourCC("comp");
inline constexpr DescriptorTypeID typeFloat = PIFourCC("doub");
inline constexpr DescriptorTypeID typeIEEE64BitFloatingPoint = typeFloat;
inline constexpr DescriptorTypeID typeIEEE32BitFloatingPoint = PIFourCC("sing");
inline constexpr DescriptorTypeID typeEnumerated = PIFourCC("enum");
inline constexpr DescriptorTypeID typeChar = PIFourCC("TEXT");
inline constexpr DescriptorTypeID typeText = typeChar;
inline constexpr DescriptorTypeID typeUnitFloat = PIFourCC("UntF");
inline constexpr DescriptorTypeID typeType = PIFourCC("type");
inline constexpr DescriptorTypeID typeClass = typeType;
inline constexpr DescriptorTypeID typeObject = PIFourCC("Objc");
inline constexpr DescriptorTypeID typeObjectSpecifier = PIFourCC("obj ");
inline constexpr DescriptorTypeID typeObjectReference = typeObjectSpecifier;
inline constexpr DescriptorTypeID typeGlobalObject = PIFourCC("GlbO");
inline constexpr DescriptorTypeID typeGlobalClass = PIFourCC("GlbC");
inline constexpr DescriptorTypeID typeAlias = PIFourCC("alis");
inline constexpr DescriptorTypeID typePath = PIFourCC("Pth ");
inline constexpr DescriptorTypeID typePlatformFilePath = typePath;
inline constexpr DescriptorTypeID typeNull = PIFourCC("null");
inline constexpr DescriptorTypeID noReply = typeNull;
inline constexpr DescriptorTypeID typeImageReference = PIFourCC("#ImR");

inline constexpr DescriptorUnitID unitNone = PIFourCC("#Nne");
inline constexpr DescriptorUnitID unitPixels = PIFourCC("#Pxl");
inline constexpr DescriptorUnitID unitPercent = PIFourCC("#Prc");
inline constexpr DescriptorUnitID unitDistance = PIFourCC("#Rlt");
inline constexpr DescriptorUnitID unitAngle = PIFourCC("#Ang");
inline constexpr DescriptorUnitID unitDensity = PIFourCC("#Rsl");

inline constexpr DescriptorFormID formName = PIFourCC("name");
inline constexpr DescriptorFormID formAbsolutePosition = PIFourCC("indx");
inline constexpr DescriptorFormID formPropertyID = PIFourCC("prop");
inline constexpr DescriptorFormID formRelativePosition = PIFourCC("rele");

inline constexpr DescriptorEventID eventFilter = PIFourCC("Fltr");
inline constexpr DescriptorClassID classFormat = PIFourCC("Fmt ");
inline constexpr DescriptorKeyID keyAmount = PIFourCC("Amnt");
inline constexpr DescriptorKeyID keyInherits = PIFourCC("c@#^");

// ---------------------------------------------------------------------------------------
// Records

// A reference to one object by class and key form (name, index, property or enumeration).
struct PIDescriptorSimpleReference {
  DescriptorTypeID desiredClass;
  DescriptorKeyID keyForm;
  struct KeyData {
    Str255 name;
    int32_t index;
    DescriptorTypeID type;
    DescriptorEnumID value;
  } keyData;
};
PI_CHECK_SIZE(PIDescriptorSimpleReference, 276, 276);
PI_CHECK_FIELD(PIDescriptorSimpleReference, desiredClass, 0, 0);
PI_CHECK_FIELD(PIDescriptorSimpleReference, keyForm, 4, 4);
PI_CHECK_FIELD(PIDescriptorSimpleReference, keyData, 8, 8);
static_assert(offsetof(PIDescriptorSimpleReference, keyData) +
                  offsetof(PIDescriptorSimpleReference::KeyData, index) == 264);
static_assert(offsetof(PIDescriptorSimpleReference, keyData) +
                  offsetof(PIDescriptorSimpleReference::KeyData, type) == 268);
static_assert(offsetof(PIDescriptorSimpleReference, keyData) +
                  offsetof(PIDescriptorSimpleReference::KeyData, value) == 272);

typedef PIReadDescriptor(PI_CALL* OpenReadDescriptorProc)(PIDescriptorHandle descriptor,
                                                          DescriptorKeyID* keyList);
typedef OSErr(PI_CALL* CloseReadDescriptorProc)(PIReadDescriptor descriptor);
typedef Boolean(PI_CALL* GetKeyProc)(PIReadDescriptor descriptor, DescriptorKeyID* key,
                                     DescriptorTypeID* type, int32_t* flags);
typedef OSErr(PI_CALL* GetIntegerProc)(PIReadDescriptor descriptor, int32_t* value);
typedef OSErr(PI_CALL* GetFloatProc)(PIReadDescriptor descriptor, double* value);
typedef OSErr(PI_CALL* GetUnitFloatProc)(PIReadDescriptor descriptor, DescriptorUnitID* unit,
                                         double* value);
typedef OSErr(PI_CALL* GetBooleanProc)(PIReadDescriptor descriptor, Boolean* value);
typedef OSErr(PI_CALL* GetTextProc)(PIReadDescriptor descriptor, Handle* text);
typedef OSErr(PI_CALL* GetAliasProc)(PIReadDescriptor descriptor, Handle* alias);
typedef OSErr(PI_CALL* GetEnumeratedProc)(PIReadDescriptor descriptor, DescriptorEnumID* value);
typedef OSErr(PI_CALL* GetClassProc)(PIReadDescriptor descriptor, DescriptorTypeID* type);
typedef OSErr(PI_CALL* GetSimpleReferenceProc)(PIReadDescriptor descriptor,
                                               PIDescriptorSimpleReference* reference);
typedef OSErr(PI_CALL* GetObjectProc)(PIReadDescriptor descriptor, DescriptorTypeID* type,
                                      PIDescriptorHandle* object);
typedef OSErr(PI_CALL* GetCountProc)(PIReadDescriptor descriptor, uint32_t* count);
typedef OSErr(PI_CALL* GetStringProc)(PIReadDescriptor descriptor, Str255* text);
typedef OSErr(PI_CALL* GetPinnedIntegerProc)(PIReadDescriptor descriptor, int32_t low,
                                             int32_t high, int32_t* value);
typedef OSErr(PI_CALL* GetPinnedFloatProc)(PIReadDescriptor descriptor, const double* low,
                                           const double* high, double* value);
typedef OSErr(PI_CALL* GetPinnedUnitFloatProc)(PIReadDescriptor descriptor, const double* low,
                                               const double* high, DescriptorUnitID* unit,
                                               double* value);

// Callbacks for reading the descriptor the host plays back. Check the count before using a
// member: hosts may offer fewer.
struct ReadDescriptorProcs {
  int16_t readDescriptorProcsVersion;
  int16_t numReadDescriptorProcs;
  OpenReadDescriptorProc openReadDescriptorProc;
  CloseReadDescriptorProc closeReadDescriptorProc;
  GetKeyProc getKeyProc;
  GetIntegerProc getIntegerProc;
  GetFloatProc getFloatProc;
  GetUnitFloatProc getUnitFloatProc;
  GetBooleanProc getBooleanProc;
  GetTextProc getTextProc;
  GetAliasProc getAliasProc;
  GetEnumeratedProc getEnumeratedProc;
  GetClassProc getClassProc;
  GetSimpleReferenceProc getSimpleReferenceProc;
  GetObjectProc getObjectProc;
  GetCountProc getCountProc;
  GetStringProc getStringProc;
  GetPinnedIntegerProc getPinnedIntegerProc;
  GetPinnedFloatProc getPinnedFloatProc;
  GetPinnedUnitFloatProc getPinnedUnitFloatProc;
};
PI_CHECK_SIZE(ReadDescriptorProcs, 76, 152);
PI_CHECK_FIELD(ReadDescriptorProcs, readDescriptorProcsVersion, 0, 0);
PI_CHECK_FIELD(ReadDescriptorProcs, numReadDescriptorProcs, 2, 2);
PI_CHECK_FIELD(ReadDescriptorProcs, openReadDescriptorProc, 4, 8);
PI_CHECK_FIELD(ReadDescriptorProcs, closeReadDescriptorProc, 8, 16);
PI_CHECK_FIELD(ReadDescriptorProcs, getKeyProc, 12, 24);
PI_CHECK_FIELD(ReadDescriptorProcs, getIntegerProc, 16, 32);
PI_CHECK_FIELD(ReadDescriptorProcs, getFloatProc, 20, 40);
PI_CHECK_FIELD(ReadDescriptorProcs, getUnitFloatProc, 24, 48);
PI_CHECK_FIELD(ReadDescriptorProcs, getBooleanProc, 28, 56);
PI_CHECK_FIELD(ReadDescriptorProcs, getTextProc, 32, 64);
PI_CHECK_FIELD(ReadDescriptorProcs, getAliasProc, 36, 72);
PI_CHECK_FIELD(ReadDescriptorProcs, getEnumeratedProc, 40, 80);
PI_CHECK_FIELD(ReadDescriptorProcs, getClassProc, 44, 88);
PI_CHECK_FIELD(ReadDescriptorProcs, getSimpleReferenceProc, 48, 96);
PI_CHECK_FIELD(ReadDescriptorProcs, getObjectProc, 52, 104);
PI_CHECK_FIELD(ReadDescriptorProcs, getCountProc, 56, 112);
PI_CHECK_FIELD(ReadDescriptorProcs, getStringProc, 60, 120);
PI_CHECK_FIELD(ReadDescriptorProcs, getPinnedIntegerProc, 64, 128);
PI_CHECK_FIELD(ReadDescriptorProcs, getPinnedFloatProc, 68, 136);
PI_CHECK_FIELD(ReadDescriptorProcs, getPinnedUnitFloatProc, 72, 144);
static_assert((sizeof(ReadDescriptorProcs) - offsetof(ReadDescriptorProcs, openReadDescriptorProc)) /
                  sizeof(void*) == kCurrentReadDescriptorProcsCount);

typedef PIWriteDescriptor(PI_CALL* OpenWriteDescriptorProc)();
typedef OSErr(PI_CALL* CloseWriteDescriptorProc)(PIWriteDescriptor descriptor,
                                                 PIDescriptorHandle* newDescriptor);
typedef OSErr(PI_CALL* PutIntegerProc)(PIWriteDescriptor descriptor, DescriptorKeyID key,
                                       int32_t value);
typedef OSErr(PI_CALL* PutFloatProc)(PIWriteDescriptor descriptor, DescriptorKeyID key,
                                     const double* value);
typedef OSErr(PI_CALL* PutUnitFloatProc)(PIWriteDescriptor descriptor, DescriptorKeyID key,
                                         DescriptorUnitID unit, const double* value);
typedef OSErr(PI_CALL* PutBooleanProc)(PIWriteDescriptor descriptor, DescriptorKeyID key,
                                       Boolean value);
typedef OSErr(PI_CALL* PutTextProc)(PIWriteDescriptor descriptor, DescriptorKeyID key,
                                    Handle text);
typedef OSErr(PI_CALL* PutAliasProc)(PIWriteDescriptor descriptor, DescriptorKeyID key,
                                     Handle alias);
typedef OSErr(PI_CALL* PutEnumeratedProc)(PIWriteDescriptor descriptor, DescriptorKeyID key,
                                          DescriptorTypeID type, DescriptorEnumID value);
typedef OSErr(PI_CALL* PutClassProc)(PIWriteDescriptor descriptor, DescriptorKeyID key,
                                     DescriptorTypeID type);
typedef OSErr(PI_CALL* PutSimpleReferenceProc)(PIWriteDescriptor descriptor,
                                               DescriptorKeyID key,
                                               const PIDescriptorSimpleReference* reference);
typedef OSErr(PI_CALL* PutObjectProc)(PIWriteDescriptor descriptor, DescriptorKeyID key,
                                      DescriptorTypeID type, PIDescriptorHandle object);
typedef OSErr(PI_CALL* PutCountProc)(PIWriteDescriptor descriptor, DescriptorKeyID key,
                                     uint32_t count);
typedef OSErr(PI_CALL* PutStringProc)(PIWriteDescriptor descriptor, DescriptorKeyID key,
                                      const uint8_t* pascalText);
typedef OSErr(PI_CALL* PutScopedClassProc)(PIWriteDescriptor descriptor, DescriptorKeyID key,
                                           DescriptorTypeID type);
typedef OSErr(PI_CALL* PutScopedObjectProc)(PIWriteDescriptor descriptor, DescriptorKeyID key,
                                            DescriptorTypeID type, PIDescriptorHandle object);

// Callbacks for recording the plug-in's settings as a new descriptor.
struct WriteDescriptorProcs {
  int16_t writeDescriptorProcsVersion;
  int16_t numWriteDescriptorProcs;
  OpenWriteDescriptorProc openWriteDescriptorProc;
  CloseWriteDescriptorProc closeWriteDescriptorProc;
  PutIntegerProc putIntegerProc;
  PutFloatProc putFloatProc;
  PutUnitFloatProc putUnitFloatProc;
  PutBooleanProc putBooleanProc;
  PutTextProc putTextProc;
  PutAliasProc putAliasProc;
  PutEnumeratedProc putEnumeratedProc;
  PutClassProc putClassProc;
  PutSimpleReferenceProc putSimpleReferenceProc;
  PutObjectProc putObjectProc;
  PutCountProc putCountProc;
  PutStringProc putStringProc;
  PutScopedClassProc putScopedClassProc;
  PutScopedObjectProc putScopedObjectProc;
};
PI_CHECK_SIZE(WriteDescriptorProcs, 68, 136);
PI_CHECK_FIELD(WriteDescriptorProcs, writeDescriptorProcsVersion, 0, 0);
PI_CHECK_FIELD(WriteDescriptorProcs, numWriteDescriptorProcs, 2, 2);
PI_CHECK_FIELD(WriteDescriptorProcs, openWriteDescriptorProc, 4, 8);
PI_CHECK_FIELD(WriteDescriptorProcs, closeWriteDescriptorProc, 8, 16);
PI_CHECK_FIELD(WriteDescriptorProcs, putIntegerProc, 12, 24);
PI_CHECK_FIELD(WriteDescriptorProcs, putFloatProc, 16, 32);
PI_CHECK_FIELD(WriteDescriptorProcs, putUnitFloatProc, 20, 40);
PI_CHECK_FIELD(WriteDescriptorProcs, putBooleanProc, 24, 48);
PI_CHECK_FIELD(WriteDescriptorProcs, putTextProc, 28, 56);
PI_CHECK_FIELD(WriteDescriptorProcs, putAliasProc, 32, 64);
PI_CHECK_FIELD(WriteDescriptorProcs, putEnumeratedProc, 36, 72);
PI_CHECK_FIELD(WriteDescriptorProcs, putClassProc, 40, 80);
PI_CHECK_FIELD(WriteDescriptorProcs, putSimpleReferenceProc, 44, 88);
PI_CHECK_FIELD(WriteDescriptorProcs, putObjectProc, 48, 96);
PI_CHECK_FIELD(WriteDescriptorProcs, putCountProc, 52, 104);
PI_CHECK_FIELD(WriteDescriptorProcs, putStringProc, 56, 112);
PI_CHECK_FIELD(WriteDescriptorProcs, putScopedClassProc, 60, 120);
PI_CHECK_FIELD(WriteDescriptorProcs, putScopedObjectProc, 64, 128);
static_assert((sizeof(WriteDescriptorProcs) - offsetof(WriteDescriptorProcs, openWriteDescriptorProc)) /
                  sizeof(void*) == kCurrentWriteDescriptorProcsCount);

// What descriptorParameters points at: the played-back descriptor, the dialog options and
// the two callback tables.
struct PIDescriptorParameters {
  int16_t descriptorParametersVersion;
  int16_t playInfo;
  int16_t recordInfo;
  PIDescriptorHandle descriptor;
  WriteDescriptorProcs* writeDescriptorProcs;
  ReadDescriptorProcs* readDescriptorProcs;
};
PI_CHECK_SIZE(PIDescriptorParameters, 20, 32);
PI_CHECK_FIELD(PIDescriptorParameters, descriptorParametersVersion, 0, 0);
PI_CHECK_FIELD(PIDescriptorParameters, playInfo, 2, 2);
PI_CHECK_FIELD(PIDescriptorParameters, recordInfo, 4, 4);
PI_CHECK_FIELD(PIDescriptorParameters, descriptor, 8, 8);
PI_CHECK_FIELD(PIDescriptorParameters, writeDescriptorProcs, 12, 16);
PI_CHECK_FIELD(PIDescriptorParameters, readDescriptorProcs, 16, 24);

#pragma pack(push, 1)

// Data of the PiPL 'hstm' property: which terminology (AETE) resource describes the plug-in.
struct PITerminology {
  int32_t version;
  OSType classID;
  OSType eventID;
  int16_t terminologyID;
  char scopeString[1];  // NUL-terminated, runs past the record
};

// Parameters of an automation plug-in's play call.
struct PIActionParameters {
  PIDialogPlayOptions playInfo;
  PIDialogRecordOptions recordInfo;
  PIActionDescriptor descriptor;
};

#pragma pack(pop)

inline constexpr int32_t PITerminologyMinSize = 15;

PI_CHECK_SIZE(PITerminology, 15, 15);
PI_CHECK_FIELD(PITerminology, version, 0, 0);
PI_CHECK_FIELD(PITerminology, classID, 4, 4);
PI_CHECK_FIELD(PITerminology, eventID, 8, 8);
PI_CHECK_FIELD(PITerminology, terminologyID, 12, 12);
PI_CHECK_FIELD(PITerminology, scopeString, 14, 14);
PI_CHECK_SIZE(PIActionParameters, 12, 16);
PI_CHECK_FIELD(PIActionParameters, playInfo, 0, 0);
PI_CHECK_FIELD(PIActionParameters, recordInfo, 4, 4);
PI_CHECK_FIELD(PIActionParameters, descriptor, 8, 8);
