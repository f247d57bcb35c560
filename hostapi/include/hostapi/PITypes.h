// Primitive types, geometry records and build macros shared by every host interface header.
//
// The Adobe hosts were built for Windows, where `long` is 32 bits; native Linux x64 must
// reproduce the Windows x64 layout byte for byte, so everything here is fixed width or a
// real pointer.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "four-character codes and resource bytes assume a little-endian machine");

// ---------------------------------------------------------------------------------------
// Build macros

// Callbacks and the entry point are cdecl on 32-bit Windows. Spelling it out keeps a
// compiler default such as -mrtd from turning them into stdcall.
#if defined(_WIN32) && defined(__i386__)
#define PI_CALL __cdecl
#else
#define PI_CALL
#endif

// Linkage for the exported entry point the PiPL names. Plug-ins build with hidden
// visibility on ELF, so the entry has to ask for default visibility itself.
#if defined(_WIN32)
#define PI_EXPORT extern "C" __declspec(dllexport)
#else
#define PI_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// Layout guards: every record states its size and offsets for both pointer widths.
#if UINTPTR_MAX > 0xFFFFFFFFu
#define PI_LAYOUT_PICK(x86, x64) (x64)
#else
#define PI_LAYOUT_PICK(x86, x64) (x86)
#endif
#define PI_CHECK_SIZE(T, x86, x64) \
  static_assert(sizeof(T) == PI_LAYOUT_PICK(x86, x64), "size of " #T)
#define PI_CHECK_FIELD(T, f, x86, x64) \
  static_assert(offsetof(T, f) == PI_LAYOUT_PICK(x86, x64), "offset of " #T "::" #f)

static_assert(sizeof(void*) == PI_LAYOUT_PICK(4, 8), "only 32- and 64-bit targets");

// ---------------------------------------------------------------------------------------
// Scalars

typedef uint8_t Boolean;  // 0 or 1, one byte
typedef char* Ptr;
typedef char** Handle;    // points at a master pointer whose target is the data
typedef int16_t OSErr;
typedef uint32_t OSType;
typedef uint32_t ResType;
typedef uint32_t DescType;
typedef uint32_t PIType;
typedef int32_t Fixed;    // 16.16
typedef int32_t Fract;    // 2.30
typedef uint8_t Str255[256];  // length byte, then up to 255 characters
typedef uint8_t FilterColor[4];
typedef uint8_t LookUpTable[256];
typedef int16_t PlaneMap[16];

static_assert(sizeof(Boolean) == 1 && sizeof(Str255) == 256 && sizeof(PlaneMap) == 32);
static_assert(sizeof(double) == 8, "descriptor reals are IEEE doubles");

// Four-character code as the SDK's multi-character constants give it: first character in
// the most significant byte. Stored little-endian, so '8BIM' sits in memory as "MIB8".
constexpr uint32_t PIFourCC(const char (&code)[5]) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(code[0])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 8) |
         static_cast<uint32_t>(static_cast<uint8_t>(code[3]));
}

inline constexpr Fixed kFixedOne = 0x10000;

constexpr Fixed PIIntToFixed(int16_t value) { return value * kFixedOne; }

// ---------------------------------------------------------------------------------------
// Geometry and colour

// 16-bit point, vertical coordinate first.
struct Point {
  int16_t v;
  int16_t h;
};
PI_CHECK_SIZE(Point, 4, 4);
PI_CHECK_FIELD(Point, v, 0, 0);
PI_CHECK_FIELD(Point, h, 2, 2);

// 16-bit rectangle; bottom and right are exclusive.
struct Rect {
  int16_t top;
  int16_t left;
  int16_t bottom;
  int16_t right;
};
PI_CHECK_SIZE(Rect, 8, 8);
PI_CHECK_FIELD(Rect, top, 0, 0);
PI_CHECK_FIELD(Rect, left, 2, 2);
PI_CHECK_FIELD(Rect, bottom, 4, 4);
PI_CHECK_FIELD(Rect, right, 6, 6);

// 32-bit point for documents beyond 30000 pixels.
struct VPoint {
  int32_t v;
  int32_t h;
};
PI_CHECK_SIZE(VPoint, 8, 8);
PI_CHECK_FIELD(VPoint, v, 0, 0);
PI_CHECK_FIELD(VPoint, h, 4, 4);

// 32-bit rectangle.
struct VRect {
  int32_t top;
  int32_t left;
  int32_t bottom;
  int32_t right;
};
PI_CHECK_SIZE(VRect, 16, 16);
PI_CHECK_FIELD(VRect, top, 0, 0);
PI_CHECK_FIELD(VRect, left, 4, 4);
PI_CHECK_FIELD(VRect, bottom, 8, 8);
PI_CHECK_FIELD(VRect, right, 12, 12);

// 16-bit-per-channel colour, used for the foreground and background colours.
struct PSRGBColor {
  uint16_t red;
  uint16_t green;
  uint16_t blue;
};
PI_CHECK_SIZE(PSRGBColor, 6, 6);
PI_CHECK_FIELD(PSRGBColor, red, 0, 0);
PI_CHECK_FIELD(PSRGBColor, green, 2, 2);
PI_CHECK_FIELD(PSRGBColor, blue, 4, 4);

// ---------------------------------------------------------------------------------------
// Platform records

// What the host's platformData points at: the window to parent dialogs to (an HWND).
struct PlatformData {
  intptr_t hwnd;
};
PI_CHECK_SIZE(PlatformData, 4, 8);
PI_CHECK_FIELD(PlatformData, hwnd, 0, 0);

// The host's old-style file reference; only the name is of any use on Windows.
struct FSSpec {
  int16_t unused;
  int16_t padding;
  int32_t parID;
  Str255 name;
};
PI_CHECK_SIZE(FSSpec, 264, 264);
PI_CHECK_FIELD(FSSpec, parID, 4, 4);
PI_CHECK_FIELD(FSSpec, name, 8, 8);

// Versioned file reference carrying a NUL-terminated UTF-16 path.
struct XPlatFileSpec {
  int32_t mFileSpecVersion;
  uint16_t* mFileReference;
};
PI_CHECK_SIZE(XPlatFileSpec, 8, 16);
PI_CHECK_FIELD(XPlatFileSpec, mFileSpecVersion, 0, 0);
PI_CHECK_FIELD(XPlatFileSpec, mFileReference, 4, 8);

// ---------------------------------------------------------------------------------------
// Entry point

// PluginMain / ENTRYPOINT: selector, the selector's parameter record (an AboutRecord for
// selector 0), the plug-in's pointer-sized slot kept by the host, and the result code.
typedef void(PI_CALL* PIEntryProc)(int16_t selector, void* pluginParamBlock,
                                   intptr_t* pluginData, int16_t* result);

// Declares (or, followed by a body, defines) an entry point with the linkage, convention
// and signature the host expects: PI_ENTRY_POINT(PluginMain) { ... }
#define PI_ENTRY_POINT(name)                                            \
  PI_EXPORT void PI_CALL name(int16_t selector, void* pluginParamBlock, \
                              intptr_t* pluginData, int16_t* result)

// ---------------------------------------------------------------------------------------
// Operating-system style result codes the hosts use on Windows too

inline constexpr OSErr noErr = 0;
inline constexpr OSErr coercedParamErr = 2;
inline constexpr OSErr readErr = -19;
inline constexpr OSErr writErr = -20;
inline constexpr OSErr openErr = -23;
inline constexpr OSErr dskFulErr = -34;
inline constexpr OSErr ioErr = -36;
inline constexpr OSErr eofErr = -39;  // also "no more keys" from a descriptor
inline constexpr OSErr fnfErr = -43;
inline constexpr OSErr fLckdErr = -45;
inline constexpr OSErr vLckdErr = -46;
inline constexpr OSErr paramErr = -50;
inline constexpr OSErr memFullErr = -108;
inline constexpr OSErr nilHandleErr = -109;
inline constexpr OSErr memWZErr = -111;
inline constexpr OSErr userCanceledErr = -128;
