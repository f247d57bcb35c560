// The effect's one process-wide state: where the plug-in lives, the iris shapes found
// there, the marker-file options, the parameter indices and the values of the current
// render. Plain C++; the command layer fills it from the host's records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velune {

inline constexpr const char* kEffectMessagePrefix = "[Velune5.6] ";
inline constexpr int32_t kMaxShapes = 64;
inline constexpr std::size_t kMaxShapeName = 511;
inline constexpr const char* kDefaultShapeName = "08RZ67";
inline constexpr const char* kQualityChoices = "Auto (Speed)|Auto (Quality)|Low|Normal|High";

// Positions in the host's parameter array (0 is the input layer).
enum ParamIndex : int32_t {
  kParamInput = 0,
  kParamIrisShape = 1,
  kParamDistanceLayer = 2,
  kParamFocusHere = 3,
  kParamFocusDistance = 4,
  kParamBokehAmount = 5,
  kParamHardness = 6,
  kParamBrightness = 7,
  kParamPreviewGroup = 8,
  kParamPreviewOnly = 9,
  kParamPreviewPoint = 10,
  kParamPreviewSize = 11,
  kParamPreviewQuality = 12,
  kParamPreviewGroupEnd = 13,
  kParamSettingsGroup = 14,
  kParamQuality = 15,
  kParamDistancePrecision = 16,
  kParamSettingsGroupEnd = 17,
  kParamCount = 18,
};

struct EffectOptions {
  bool use_simd = true;      // "no_simd" absent
  bool alpha_bokeh = false;  // "alpha_boke" present
  bool use_micro = false;    // "use_micro" present
};

// Parameter values as a render uses them.
struct EffectValues {
  int32_t shape_index = 0;  // 1-based popup value
  double hardness = 1.0;
  double brightness = 1.0;
  double bokeh_amount = 20.0;
  double focus_distance = 0.0;
  int32_t focus_x = 0, focus_y = 0;
  int32_t distance_precision = 50;
  bool preview_only = false;
  int32_t preview_x = 0, preview_y = 0;
  int32_t preview_size = 100;
  int32_t quality = 1;
  int32_t preview_quality = 1;
  bool distance_layer_set = false;
};

struct ShapeList {
  std::vector<std::string> names;  // in listing order, at most kMaxShapes
  int16_t count = 0;
  int16_t default_position = 0;  // 1-based; 0 when the list is empty
  std::string popup_text;        // names joined by '|'
};

struct EffectState {
  std::string plugin_folder;
  std::string shape_root;
  ShapeList shapes;
  std::string default_shape = kDefaultShapeName;
  EffectOptions options;
  int32_t param_index[kParamCount] = {};
  int32_t param_count = kParamCount;
  EffectValues values;

  // The distance map's row pitch and the downsample ratio of the last render that stored one.
  int32_t map_pitch = 0;
  double last_render_ratio = 0.0;
  bool have_render_ratio = false;

  // Working buffers a render holds; the frame setdown looks for leftovers.
  int32_t held_buffers = 0;
};

// The process-wide state; the first call of the entry sees it freshly initialised.
EffectState& effect_state();

// The folder of a plug-in file: the path cut at its last separator ('\' or '/').
std::string plugin_folder_of(const std::string& plugin_path);

// Marker files beside the plug-in; only their existence counts.
EffectOptions read_option_files(const std::string& plugin_folder);

// Lists the shape root's sub-folders (up to kMaxShapes) and builds the popup text. When no
// folder carries the default name, the first shape becomes the default.
ShapeList scan_shapes(const std::string& shape_root, const std::string& default_name);

// Global setup without the host: paths from the plug-in's file, options, indices, shapes.
void global_setup(EffectState& state, const std::string& plugin_path);

// 16.16 fixed point as the effect reads it.
inline double fixed_to_double(int32_t v) { return static_cast<double>(v) / 65536.0; }
inline int32_t fixed_integer_part(int32_t v) { return v >> 16; }

}  // namespace velune
