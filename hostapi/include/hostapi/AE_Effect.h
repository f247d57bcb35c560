// After Effects effect interface: commands, errors, flags, the in-data and out-data records,
// parameters, worlds and the host's interaction and utility callbacks.
//
// Two binary layouts exist. 32-bit hosts (AE 6.5 to CS4) were built with 2-byte packing and
// QuickDraw-shaped 16-bit rectangles and points, an extra in-data slot and two extra utility
// slots; 64-bit hosts (CS5 and later) use natural packing, 32-bit rectangles and points and
// 64-bit handle sizes. Native Linux builds follow the x64 layout.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hostapi/PITypes.h"
#include "hostapi/SPBasic.h"

#if UINTPTR_MAX > 0xFFFFFFFFu
#define PF_LAYOUT_X64 1
#else
#define PF_LAYOUT_X64 0
#pragma pack(push, 2)
#endif

typedef int32_t PF_Err;
typedef int32_t PF_Cmd;
typedef int32_t PF_Fixed;  // 16.16
typedef uint32_t PF_UFixed;
typedef char PF_Boolean;
typedef void** PF_Handle;
typedef struct PF_ProgressInfo* PF_ProgPtr;
typedef int32_t PF_ParamValue;
typedef int32_t PF_ParamIndex;
typedef int32_t PF_ParamType;
typedef int32_t PF_ParamFlags;
typedef int32_t PF_ParamUIFlags;
typedef int32_t PF_ChangeFlags;
typedef int32_t PF_OutFlags;
typedef int32_t PF_OutFlags2;
typedef int32_t PF_InFlags;
typedef int32_t PF_WorldFlags;
typedef int32_t PF_PlatDataID;
typedef int32_t PF_Quality;
typedef int32_t PF_ModeFlags;
typedef int32_t PF_Field;
typedef int16_t PF_ValueDisplayFlags;
#if PF_LAYOUT_X64
typedef uint64_t A_HandleSize;
#else
typedef int32_t A_HandleSize;
#endif

// ---------------------------------------------------------------------------------------
// Commands (the order is frozen by the SDK)

enum : PF_Cmd {
  PF_Cmd_ABOUT = 0,
  PF_Cmd_GLOBAL_SETUP = 1,
  PF_Cmd_UNUSED_0 = 2,
  PF_Cmd_GLOBAL_SETDOWN = 3,
  PF_Cmd_PARAMS_SETUP = 4,
  PF_Cmd_SEQUENCE_SETUP = 5,
  PF_Cmd_SEQUENCE_RESETUP = 6,
  PF_Cmd_SEQUENCE_FLATTEN = 7,
  PF_Cmd_SEQUENCE_SETDOWN = 8,
  PF_Cmd_DO_DIALOG = 9,
  PF_Cmd_FRAME_SETUP = 10,
  PF_Cmd_RENDER = 11,
  PF_Cmd_FRAME_SETDOWN = 12,
  PF_Cmd_USER_CHANGED_PARAM = 13,
  PF_Cmd_UPDATE_PARAMS_UI = 14,
  PF_Cmd_EVENT = 15,
  PF_Cmd_GET_EXTERNAL_DEPENDENCIES = 16,
  PF_Cmd_COMPLETELY_GENERAL = 17,
  PF_Cmd_QUERY_DYNAMIC_FLAGS = 18,
  PF_Cmd_AUDIO_RENDER = 19,
  PF_Cmd_AUDIO_SETUP = 20,
  PF_Cmd_AUDIO_SETDOWN = 21,
  PF_Cmd_ARBITRARY_CALLBACK = 22,
  PF_Cmd_NUM_CMDS = 23,  // as the 32-bit hosts count them
};

enum : PF_Err {
  PF_Err_NONE = 0,
  PF_Err_OUT_OF_MEMORY = 4,
  PF_FIRST_ERR = 512,
  PF_Err_INTERNAL_STRUCT_DAMAGED = 512,
  PF_Err_INVALID_INDEX = 513,
  PF_Err_UNRECOGNIZED_PARAM_TYPE = 514,
  PF_Err_INVALID_CALLBACK = 515,
  PF_Err_BAD_CALLBACK_PARAM = 516,
  PF_Interrupt_CANCEL = 517,
  PF_Err_CANNOT_PARSE_KEYFRAME_TEXT = 518,
};

enum : PF_OutFlags {
  PF_OutFlag_NONE = 0,
  PF_OutFlag_KEEP_RESOURCE_OPEN = 1 << 0,
  PF_OutFlag_WIDE_TIME_INPUT = 1 << 1,
  PF_OutFlag_NON_PARAM_VARY = 1 << 2,
  PF_OutFlag_SEQUENCE_DATA_NEEDS_FLATTENING = 1 << 4,
  PF_OutFlag_I_DO_DIALOG = 1 << 5,
  PF_OutFlag_USE_OUTPUT_EXTENT = 1 << 6,
  PF_OutFlag_SEND_DO_DIALOG = 1 << 7,
  PF_OutFlag_DISPLAY_ERROR_MESSAGE = 1 << 8,
  PF_OutFlag_I_EXPAND_BUFFER = 1 << 9,
  PF_OutFlag_PIX_INDEPENDENT = 1 << 10,
  PF_OutFlag_I_WRITE_INPUT_BUFFER = 1 << 11,
  PF_OutFlag_I_SHRINK_BUFFER = 1 << 12,
  PF_OutFlag_WORKS_IN_PLACE = 1 << 13,
  PF_OutFlag_CUSTOM_UI = 1 << 15,
  PF_OutFlag_REFRESH_UI = 1 << 17,
  PF_OutFlag_NOP_RENDER = 1 << 18,
  PF_OutFlag_I_USE_SHUTTER_ANGLE = 1 << 19,
  PF_OutFlag_I_USE_AUDIO = 1 << 20,
  PF_OutFlag_I_AM_OBSOLETE = 1 << 21,
  PF_OutFlag_FORCE_RERENDER = 1 << 22,
  PF_OutFlag_PiPL_OVERRIDES_OUTDATA_OUTFLAGS = 1 << 23,
  PF_OutFlag_I_HAVE_EXTERNAL_DEPENDENCIES = 1 << 24,
  PF_OutFlag_DEEP_COLOR_AWARE = 1 << 25,
  PF_OutFlag_SEND_UPDATE_PARAMS_UI = 1 << 26,
};

enum : PF_ParamType {
  PF_Param_RESERVED = -1,
  PF_Param_LAYER = 0,
  PF_Param_SLIDER = 1,
  PF_Param_FIX_SLIDER = 2,
  PF_Param_ANGLE = 3,
  PF_Param_CHECKBOX = 4,
  PF_Param_COLOR = 5,
  PF_Param_POINT = 6,
  PF_Param_POPUP = 7,
  PF_Param_CUSTOM = 8,
  PF_Param_NO_DATA = 9,
  PF_Param_FLOAT_SLIDER = 10,
  PF_Param_ARBITRARY_DATA = 11,
  PF_Param_PATH = 12,
  PF_Param_GROUP_START = 13,
  PF_Param_GROUP_END = 14,
  PF_Param_BUTTON = 15,
};

enum : PF_ParamFlags {
  PF_ParamFlag_NONE = 0,
  PF_ParamFlag_CANNOT_TIME_VARY = 1 << 1,
  PF_ParamFlag_CANNOT_INTERP = 1 << 2,
  PF_ParamFlag_COLLAPSE_TWIRLY = 1 << 5,
  PF_ParamFlag_START_COLLAPSED = 1 << 5,
  PF_ParamFlag_SUPERVISE = 1 << 6,
};

enum : PF_ParamUIFlags {
  PF_PUI_NONE = 0,
  PF_PUI_TOPIC = 1 << 0,
  PF_PUI_CONTROL = 1 << 1,
  PF_PUI_STD_CONTROL_ONLY = 1 << 2,
  PF_PUI_NO_ECW_UI = 1 << 3,
  PF_PUI_ECW_SEPARATOR = 1 << 4,
  PF_PUI_DISABLED = 1 << 5,
  PF_PUI_DONT_ERASE_TOPIC = 1 << 6,
  PF_PUI_DONT_ERASE_CONTROL = 1 << 7,
  PF_PUI_RADIO_BUTTON = 1 << 8,
};

enum : PF_ChangeFlags {
  PF_ChangeFlag_NONE = 0,
  PF_ChangeFlag_CHANGED_VALUE = 1 << 0,
  PF_ChangeFlag_SET_TO_VARY = 1 << 2,
  PF_ChangeFlag_SET_TO_CONSTANT = 1 << 3,
};

enum : PF_PlatDataID {
  PF_PlatData_MAIN_WND = 0,
  PF_PlatData_EXE_FILE_PATH = 1,  // the plug-in's own file, ANSI, AEFX_MAX_PATH bytes
  PF_PlatData_RES_FILE_PATH = 2,
  PF_PlatData_RES_REFNUM = 3,
  PF_PlatData_RES_DLLINSTANCE = 4,
  PF_PlatData_SP_PLUG_REF = 5,
};
inline constexpr int32_t AEFX_MAX_PATH = 260;

enum : PF_WorldFlags {
  PF_WorldFlag_DEEP = 1 << 0,
  PF_WorldFlag_WRITEABLE = 1 << 1,
};

enum : int32_t {
  PF_LayerDefault_MYSELF = -1,
  PF_LayerDefault_NONE = 0,
};

enum : int32_t {
  PF_Stage_DEVELOP = 0,
  PF_Stage_ALPHA = 1,
  PF_Stage_BETA = 2,
  PF_Stage_RELEASE = 3,
};

// my_version and the PiPL's effect version: version (3 bits), subversion, bugfix, stage, build.
constexpr uint32_t PF_VERSION(uint32_t vers, uint32_t subvers, uint32_t bugvers, uint32_t stage, uint32_t build) {
  return ((vers & 7u) << 19) | ((subvers & 15u) << 15) | ((bugvers & 15u) << 11) | ((stage & 3u) << 9) |
         (build & 0x1FFu);
}

inline constexpr int32_t PF_MAX_EFFECT_NAME_LEN = 31;
inline constexpr int32_t PF_MAX_EFFECT_PARAM_NAME_LEN = 31;
inline constexpr int32_t PF_MAX_PARAM_DESCRIPTION_LEN = 31;
inline constexpr int32_t PF_MAX_PARAM_VALUE_LEN = 31;
inline constexpr int32_t PF_MAX_EFFECT_MSG_LEN = 255;
inline constexpr int32_t PF_MAX_CHAN8 = 255;
inline constexpr int32_t PF_MAX_CHAN16 = 32768;

// ---------------------------------------------------------------------------------------
// Small records

struct PF_Pixel {  // 8-bit, alpha first
  uint8_t alpha, red, green, blue;
};
typedef PF_Pixel PF_Pixel8;
struct PF_Pixel16 {  // channels 0 to 32768
  uint16_t alpha, red, green, blue;
};
PI_CHECK_SIZE(PF_Pixel, 4, 4);
PI_CHECK_SIZE(PF_Pixel16, 8, 8);

struct PF_RationalScale {
  int32_t num;
  uint32_t den;
};
PI_CHECK_SIZE(PF_RationalScale, 8, 8);

struct PF_SpecVersion {
  int16_t major, minor;
};

#if PF_LAYOUT_X64
struct PF_Rect {
  int32_t left, top, right, bottom;
};
struct PF_Point {
  int32_t h, v;
};
#else
struct PF_Rect {  // QuickDraw order
  int16_t top, left, bottom, right;
};
struct PF_Point {
  int16_t v, h;
};
#endif
typedef PF_Rect PF_LRect;
PI_CHECK_SIZE(PF_Rect, 8, 16);
PI_CHECK_SIZE(PF_Point, 4, 8);
PI_CHECK_FIELD(PF_Rect, left, 2, 0);
PI_CHECK_FIELD(PF_Rect, top, 0, 4);
PI_CHECK_FIELD(PF_Rect, bottom, 4, 12);

struct PF_SoundFormatInfo {
  double rateF;
  int16_t num_channels;
  int16_t format;
  int16_t sample_size;
};
struct PF_SoundWorld {
  PF_SoundFormatInfo fi;
  int32_t num_samples;
  void* dataP;
};
PI_CHECK_SIZE(PF_SoundFormatInfo, 14, 16);
PI_CHECK_SIZE(PF_SoundWorld, 22, 32);

// ---------------------------------------------------------------------------------------
// Worlds

struct PF_LayerDef {
#if PF_LAYOUT_X64
  void* reserved0;
  void* reserved1;
#else
  int32_t reserved0;
  int32_t reserved1;
#endif
  PF_WorldFlags world_flags;
  PF_Pixel* data;
  int32_t rowbytes;
  int32_t width;
  int32_t height;
  PF_Rect extent_hint;
#if PF_LAYOUT_X64
  void* platform_ref;
  int32_t reserved_long1;
  void* reserved_long4;
  PF_RationalScale pix_aspect_ratio;
  void* reserved_long2;
  int32_t origin_x;
  int32_t origin_y;
  int32_t reserved_long3;
#else
  int32_t platform_ref;
  int32_t reserved[8];
#endif
  int32_t dephault;  // PF_LayerDefault_*, for parameter descriptions
};
typedef PF_LayerDef PF_EffectWorld;
PI_CHECK_SIZE(PF_LayerDef, 76, 120);
PI_CHECK_FIELD(PF_LayerDef, world_flags, 8, 16);
PI_CHECK_FIELD(PF_LayerDef, data, 12, 24);
PI_CHECK_FIELD(PF_LayerDef, rowbytes, 16, 32);
PI_CHECK_FIELD(PF_LayerDef, width, 20, 36);
PI_CHECK_FIELD(PF_LayerDef, height, 24, 40);
PI_CHECK_FIELD(PF_LayerDef, extent_hint, 28, 44);
PI_CHECK_FIELD(PF_LayerDef, platform_ref, 36, 64);
PI_CHECK_FIELD(PF_LayerDef, dephault, 72, 116);

// ---------------------------------------------------------------------------------------
// Parameters

struct PF_SliderDef {
  PF_ParamValue value;
  char value_str[32];
  char value_desc[32];
  int32_t valid_min, valid_max;
  int32_t slider_min, slider_max;
  int32_t dephault;
};
PI_CHECK_SIZE(PF_SliderDef, 88, 88);
PI_CHECK_FIELD(PF_SliderDef, valid_min, 68, 68);
PI_CHECK_FIELD(PF_SliderDef, dephault, 84, 84);

struct PF_FixedSliderDef {
  PF_Fixed value;
  char value_str[32];
  char value_desc[32];
  PF_Fixed valid_min, valid_max;
  PF_Fixed slider_min, slider_max;
  PF_Fixed dephault;
  int16_t precision;  // decimal places shown
  PF_ValueDisplayFlags display_flags;
};
PI_CHECK_SIZE(PF_FixedSliderDef, 92, 92);
PI_CHECK_FIELD(PF_FixedSliderDef, dephault, 84, 84);
PI_CHECK_FIELD(PF_FixedSliderDef, precision, 88, 88);

struct PF_CheckBoxDef {
  PF_ParamValue value;
  PF_Boolean dephault;
  char reserved;
  int16_t reserved1;
  union {
    const char* nameptr;  // the label beside the box
  } u;
};
PI_CHECK_SIZE(PF_CheckBoxDef, 12, 16);
PI_CHECK_FIELD(PF_CheckBoxDef, u, 8, 8);

struct PF_PointDef {
  PF_Fixed x_value, y_value;
  char reserved[3];
  PF_Boolean restrict_bounds;
  PF_Fixed x_dephault, y_dephault;  // percent of the layer
};
PI_CHECK_SIZE(PF_PointDef, 20, 20);
PI_CHECK_FIELD(PF_PointDef, restrict_bounds, 11, 11);
PI_CHECK_FIELD(PF_PointDef, x_dephault, 12, 12);

struct PF_PopupDef {
  PF_ParamValue value;  // 1-based
  int16_t num_choices;
  int16_t dephault;
  union {
    const char* namesptr;  // choices joined by '|'
  } u;
};
PI_CHECK_SIZE(PF_PopupDef, 12, 16);
PI_CHECK_FIELD(PF_PopupDef, dephault, 6, 6);
PI_CHECK_FIELD(PF_PopupDef, u, 8, 8);

union PF_ParamDefUnion {
  PF_LayerDef ld;
  PF_SliderDef sd;
  PF_FixedSliderDef fd;
  PF_CheckBoxDef bd;
  PF_PointDef td;
  PF_PopupDef pd;
};
PI_CHECK_SIZE(PF_ParamDefUnion, 92, 120);

struct PF_ParamDef {
  union {
    int32_t id;
    PF_ChangeFlags change_flags;
  } uu;
  PF_ParamUIFlags ui_flags;
  int16_t ui_width;
  int16_t ui_height;
  PF_ParamType param_type;
  char name[32];
  PF_ParamFlags flags;
  int32_t unused;
  PF_ParamDefUnion u;
};
typedef PF_ParamDef** PF_ParamList;
PI_CHECK_SIZE(PF_ParamDef, 148, 176);
PI_CHECK_FIELD(PF_ParamDef, ui_flags, 4, 4);
PI_CHECK_FIELD(PF_ParamDef, param_type, 12, 12);
PI_CHECK_FIELD(PF_ParamDef, name, 16, 16);
PI_CHECK_FIELD(PF_ParamDef, flags, 48, 48);
PI_CHECK_FIELD(PF_ParamDef, u, 56, 56);
static_assert(offsetof(PF_ParamDef, u.ld.data) == PI_LAYOUT_PICK(68, 80), "layer data in a parameter");
static_assert(offsetof(PF_ParamDef, u.fd.precision) == 144, "fixed slider precision");

// The extra argument of PF_Cmd_USER_CHANGED_PARAM.
struct PF_UserChangedParamExtra {
  PF_ParamIndex param_index;
};

// ---------------------------------------------------------------------------------------
// Callbacks

struct PF_InteractCallbacks {
  PF_Err(PI_CALL* checkout_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, int32_t what_time, int32_t time_step,
                                  uint32_t time_scale, PF_ParamDef* param);
  PF_Err(PI_CALL* checkin_param)(PF_ProgPtr effect_ref, PF_ParamDef* param);
  PF_Err(PI_CALL* add_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDef* def);
  PF_Err(PI_CALL* abort)(PF_ProgPtr effect_ref);
  PF_Err(PI_CALL* progress)(PF_ProgPtr effect_ref, int32_t current, int32_t total);
  void* register_ui;
  void* checkout_layer_audio;
  void* checkin_layer_audio;
  void* get_audio_data;
  intptr_t reserved_str[3];
  intptr_t reserved[10];
};
PI_CHECK_SIZE(PF_InteractCallbacks, 88, 176);
PI_CHECK_FIELD(PF_InteractCallbacks, add_param, 8, 16);
PI_CHECK_FIELD(PF_InteractCallbacks, progress, 16, 32);
PI_CHECK_FIELD(PF_InteractCallbacks, reserved, 48, 96);

typedef double(PI_CALL* PF_Math1)(double);
typedef double(PI_CALL* PF_Math2)(double, double);

struct PF_ANSICallbacks {
  PF_Math1 atan;
  PF_Math2 atan2;
  PF_Math1 ceil;
  PF_Math1 cos;
  PF_Math1 exp;
  PF_Math1 fabs;
  PF_Math1 floor;
  PF_Math2 fmod;
  PF_Math2 hypot;
  PF_Math1 log;
  PF_Math1 log10;
  PF_Math2 pow;
  PF_Math1 sin;
  PF_Math1 sqrt;
  PF_Math1 tan;
  int32_t(PI_CALL* sprintf)(char*, const char*, ...);
  char*(PI_CALL* strcpy)(char*, const char*);
  PF_Math1 asin;
  PF_Math1 acos;
  int32_t ansi_procs[1];
};
PI_CHECK_SIZE(PF_ANSICallbacks, 80, 160);
PI_CHECK_FIELD(PF_ANSICallbacks, ceil, 8, 16);
PI_CHECK_FIELD(PF_ANSICallbacks, fabs, 20, 40);
PI_CHECK_FIELD(PF_ANSICallbacks, strcpy, 64, 128);

struct PF_ColorCallbacks {
  void* RGBtoHLS;
  void* HLStoRGB;
  void* RGBtoYIQ;
  void* YIQtoRGB;
  void* Luminance;
  void* Hue;
  void* Lightness;
  void* Saturation;
};
PI_CHECK_SIZE(PF_ColorCallbacks, 32, 64);

// Unused sampling, iteration and transfer slots are kept as plain pointers; only their
// position matters.
struct PF_UtilCallbacks {
  void* begin_sampling;
  void* subpixel_sample;
  void* area_sample;
  void* get_batch_func;
  void* end_sampling;
  void* composite_rect;
  void* blend;
  void* convolve;
  PF_Err(PI_CALL* copy)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r,
                        PF_Rect* dst_r);
  PF_Err(PI_CALL* fill)(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* dst_rect, PF_EffectWorld* world);
  void* gaussian_kernel;
  void* iterate;
  void* premultiply;
  void* premultiply_color;
  void* new_world;
#if !PF_LAYOUT_X64
  void* get_platform_refs;
#endif
  void* dispose_world;
  void* iterate_origin;
  void* iterate_lut;
  void* transfer_rect;
  void* transform_world;
  PF_Handle(PI_CALL* host_new_handle)(A_HandleSize size);
  void*(PI_CALL* host_lock_handle)(PF_Handle pf_handle);
  void(PI_CALL* host_unlock_handle)(PF_Handle pf_handle);
  void(PI_CALL* host_dispose_handle)(PF_Handle pf_handle);
  void* get_callback_addr;
  void* app;
  PF_ANSICallbacks ansi;
  PF_ColorCallbacks colorCB;
  PF_Err(PI_CALL* get_platform_data)(PF_ProgPtr effect_ref, PF_PlatDataID which, void* data);
#if !PF_LAYOUT_X64
  void* get_cgraf_data;
#endif
  A_HandleSize(PI_CALL* host_get_handle_size)(PF_Handle pf_handle);
  void* iterate_origin_non_clip_src;
  void* iterate_generic;
  PF_Err(PI_CALL* host_resize_handle)(A_HandleSize new_sizeL, PF_Handle* handlePH);
  void* subpixel_sample16;
  void* area_sample16;
  void* fill16;
  void* premultiply_color16;
  void* iterate16;
  void* iterate_origin16;
  void* iterate_origin_non_clip_src16;
  PF_Err(PI_CALL* get_pixel_data8)(PF_EffectWorld* worldP, void* pixelsP0, PF_Pixel8** pixPP);
  PF_Err(PI_CALL* get_pixel_data16)(PF_EffectWorld* worldP, void* pixelsP0, PF_Pixel16** pixPP);
  int32_t reserved[1];
};
PI_CHECK_SIZE(PF_UtilCallbacks, 284, 552);
PI_CHECK_FIELD(PF_UtilCallbacks, copy, 32, 64);
PI_CHECK_FIELD(PF_UtilCallbacks, dispose_world, 64, 120);
PI_CHECK_FIELD(PF_UtilCallbacks, host_new_handle, 84, 160);
PI_CHECK_FIELD(PF_UtilCallbacks, host_dispose_handle, 96, 184);
PI_CHECK_FIELD(PF_UtilCallbacks, ansi, 108, 208);
PI_CHECK_FIELD(PF_UtilCallbacks, colorCB, 188, 368);
PI_CHECK_FIELD(PF_UtilCallbacks, get_platform_data, 220, 432);
PI_CHECK_FIELD(PF_UtilCallbacks, host_get_handle_size, 228, 440);
PI_CHECK_FIELD(PF_UtilCallbacks, host_resize_handle, 240, 464);
PI_CHECK_FIELD(PF_UtilCallbacks, get_pixel_data8, 272, 528);
PI_CHECK_FIELD(PF_UtilCallbacks, get_pixel_data16, 276, 536);

// ---------------------------------------------------------------------------------------
// In-data and out-data

struct PF_InData {
  PF_InteractCallbacks inter;
  PF_UtilCallbacks* utils;
  PF_ProgPtr effect_ref;
  PF_Quality quality;
  PF_SpecVersion version;
  int32_t serial_num;
  int32_t appl_id;
  int32_t num_params;
  int32_t reserved;
  int32_t what_cpu;
  int32_t what_fpu;
#if !PF_LAYOUT_X64
  void* qd_globals;
#endif
  int32_t current_time;
  int32_t time_step;
  int32_t total_time;
  int32_t local_time_step;
  uint32_t time_scale;
  PF_Field field;
  PF_Fixed shutter_angle;
  int32_t width;
  int32_t height;
  PF_Rect extent_hint;
  int32_t output_origin_x;
  int32_t output_origin_y;
  PF_RationalScale downsample_x;
  PF_RationalScale downsample_y;
  PF_RationalScale pixel_aspect_ratio;
  PF_InFlags in_flags;
  PF_Handle global_data;
  PF_Handle sequence_data;
  PF_Handle frame_data;
  int32_t start_sampL;
  int32_t dur_sampL;
  int32_t total_sampL;
  PF_SoundWorld src_snd;
  SPBasicSuite* pica_basicP;
  int32_t pre_effect_source_origin_x;
  int32_t pre_effect_source_origin_y;
  PF_Fixed shutter_phase;
};
PI_CHECK_SIZE(PF_InData, 274, 408);
PI_CHECK_FIELD(PF_InData, utils, 88, 176);
PI_CHECK_FIELD(PF_InData, effect_ref, 92, 184);
PI_CHECK_FIELD(PF_InData, version, 100, 196);
PI_CHECK_FIELD(PF_InData, current_time, 132, 224);
PI_CHECK_FIELD(PF_InData, time_scale, 148, 240);
PI_CHECK_FIELD(PF_InData, width, 160, 252);
PI_CHECK_FIELD(PF_InData, extent_hint, 168, 260);
PI_CHECK_FIELD(PF_InData, downsample_x, 184, 284);
PI_CHECK_FIELD(PF_InData, global_data, 212, 312);
PI_CHECK_FIELD(PF_InData, sequence_data, 216, 320);
PI_CHECK_FIELD(PF_InData, src_snd, 236, 352);
PI_CHECK_FIELD(PF_InData, pica_basicP, 258, 384);
PI_CHECK_FIELD(PF_InData, shutter_phase, 270, 400);

struct PF_OutData {
  uint32_t my_version;
  char name[32];
  PF_Handle global_data;
  int32_t num_params;
  PF_Handle sequence_data;
  int32_t flat_sdata_size;
  PF_Handle frame_data;
  int32_t width;
  int32_t height;
  PF_Point origin;
  PF_OutFlags out_flags;
  char return_msg[256];
  int32_t start_sampL;
  int32_t dur_sampL;
  PF_SoundWorld dest_snd;
  PF_OutFlags2 out_flags2;
};
PI_CHECK_SIZE(PF_OutData, 362, 408);
PI_CHECK_FIELD(PF_OutData, global_data, 36, 40);
PI_CHECK_FIELD(PF_OutData, num_params, 40, 48);
PI_CHECK_FIELD(PF_OutData, sequence_data, 44, 56);
PI_CHECK_FIELD(PF_OutData, origin, 64, 88);
PI_CHECK_FIELD(PF_OutData, out_flags, 68, 96);
PI_CHECK_FIELD(PF_OutData, return_msg, 72, 100);
PI_CHECK_FIELD(PF_OutData, dest_snd, 336, 368);
PI_CHECK_FIELD(PF_OutData, out_flags2, 358, 400);

#if !PF_LAYOUT_X64
#pragma pack(pop)
#endif

// The effect's entry: a command, the records, the parameters, the output world and a
// command-specific extra (cdecl on 32-bit Windows).
typedef PF_Err(PI_CALL* PF_FilterProc)(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                                       PF_LayerDef* output, void* extra);

#define PF_ENTRY_POINT(name)                                                                       \
  PI_EXPORT PF_Err PI_CALL name(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], \
                                PF_LayerDef* output, void* extra)
