// The host's way into VeluneFx: the exported entry and its command table over the After
// Effects records. The work is in effect/ (state, render) and the engine; this layer copies
// parameters in and results out, and lends the render the host's handles and progress.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "effect/about.h"
#include "effect/effect_state.h"
#include "effect/render.h"
#include "effect/velune_entry.h"
#include "hostapi/AE_Effect.h"

namespace {

using velune::EffectState;

constexpr uint32_t kVersion = PF_VERSION(5, 6, 0, PF_Stage_DEVELOP, 0);
static_assert(kVersion == 0x2B0000);

// Cleared by the first call of the entry.
bool g_first_call = true;

void set_message(PF_OutData* out, const std::string& text) {
  std::snprintf(out->return_msg, sizeof out->return_msg, "%s", text.c_str());
}

PF_Err fail(PF_OutData* out, PF_Err err, const std::string& text) {
  set_message(out, text);
  out->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
  return err;
}

double ratio_of(const PF_RationalScale& r) { return r.den == 0 ? 1.0 : static_cast<double>(r.num) / r.den; }

std::string plugin_path(PF_InData* in) {
  char path[AEFX_MAX_PATH + 1] = {};
  if (in->utils == nullptr || in->utils->get_platform_data == nullptr ||
      in->utils->get_platform_data(in->effect_ref, PF_PlatData_EXE_FILE_PATH, path) != PF_Err_NONE) {
    return {};
  }
  path[AEFX_MAX_PATH] = 0;
  return path;
}

void global_setup(PF_InData* in) { velune::global_setup(velune::effect_state(), plugin_path(in)); }

PF_Err add(PF_InData* in, PF_ParamDef& def) { return in->inter.add_param(in->effect_ref, -1, &def); }

void name_param(PF_ParamDef& def, PF_ParamType type, const char* name, int32_t id) {
  std::memset(&def, 0, sizeof def);
  def.param_type = type;
  def.uu.id = id;
  std::snprintf(def.name, sizeof def.name, "%s", name);
}

PF_Err add_fixed(PF_InData* in, const char* name, int32_t id, PF_Fixed vmin, PF_Fixed vmax, PF_Fixed smin,
                 PF_Fixed smax, PF_Fixed dflt) {
  PF_ParamDef def;
  name_param(def, PF_Param_FIX_SLIDER, name, id);
  def.u.fd.value = def.u.fd.dephault = dflt;
  def.u.fd.valid_min = vmin;
  def.u.fd.valid_max = vmax;
  def.u.fd.slider_min = smin;
  def.u.fd.slider_max = smax;
  def.u.fd.precision = 1;
  return add(in, def);
}

PF_Err add_slider(PF_InData* in, const char* name, int32_t id, int32_t lo, int32_t hi, int32_t dflt, PF_ParamFlags flags) {
  PF_ParamDef def;
  name_param(def, PF_Param_SLIDER, name, id);
  def.u.sd.value = def.u.sd.dephault = dflt;
  def.u.sd.valid_min = def.u.sd.slider_min = lo;
  def.u.sd.valid_max = def.u.sd.slider_max = hi;
  def.flags = flags;
  return add(in, def);
}

PF_Err add_popup(PF_InData* in, const char* name, int32_t id, const char* choices, int16_t count, int16_t dflt,
                 PF_ParamFlags flags) {
  PF_ParamDef def;
  name_param(def, PF_Param_POPUP, name, id);
  def.u.pd.num_choices = count;
  def.u.pd.dephault = dflt;
  def.u.pd.value = dflt;
  def.u.pd.u.namesptr = choices;
  def.flags = flags;
  return add(in, def);
}

PF_Err add_point(PF_InData* in, const char* name, int32_t id, PF_ParamFlags flags) {
  PF_ParamDef def;
  name_param(def, PF_Param_POINT, name, id);
  def.u.td.restrict_bounds = 1;
  def.flags = flags;
  return add(in, def);
}

PF_Err add_group(PF_InData* in, PF_ParamType type, const char* name, int32_t id) {
  PF_ParamDef def;
  name_param(def, type, name, id);
  return add(in, def);
}

PF_Err params_setup(PF_InData* in, PF_OutData* out) {
  EffectState& s = velune::effect_state();
  s.shapes = velune::scan_shapes(s.shape_root, s.default_shape);
  constexpr PF_ParamFlags kFixed = PF_ParamFlag_CANNOT_TIME_VARY;
  PF_Err err = add_popup(in, "Iris Shape", 3, s.shapes.popup_text.c_str(), s.shapes.count, s.shapes.default_position, 0);
  if (!err) {
    PF_ParamDef def;
    name_param(def, PF_Param_LAYER, "Distance Layer", 4);
    def.u.ld.dephault = PF_LayerDefault_NONE;
    err = add(in, def);
  }
  if (!err) err = add_point(in, "Focus Here", 8, PF_ParamFlag_SUPERVISE);
  if (!err) err = add_fixed(in, "On-Focus Distance", 9, 0, 255 << 16, 0, 255 << 16, 0);
  if (!err) err = add_fixed(in, "Bokeh Amount", 7, 0, 300 << 16, 0, 300 << 16, 20 << 16);
  if (!err) err = add_fixed(in, "Hardness", 5, 0x6664, 2 << 16, 0x6664, 2 << 16, 1 << 16);
  if (!err) err = add_fixed(in, "Brightness", 6, 0x6664, 10 << 16, 0x6664, 6 << 16, 1 << 16);
  if (!err) err = add_group(in, PF_Param_GROUP_START, "Preview", 14);
  if (!err) {
    PF_ParamDef def;
    name_param(def, PF_Param_CHECKBOX, "Preview Only", 1);
    def.u.bd.u.nameptr = "Preview small area";
    def.flags = kFixed;
    def.ui_flags = PF_PUI_ECW_SEPARATOR;
    err = add(in, def);
  }
  if (!err) err = add_point(in, "Preview Point", 2, kFixed);
  if (!err) err = add_slider(in, "Preview Size", 13, 20, 300, 100, kFixed);
  if (!err) err = add_popup(in, "Preview Quality", 12, velune::kQualityChoices, 5, 1, kFixed);
  if (!err) err = add_group(in, PF_Param_GROUP_END, "", 14);
  if (!err) err = add_group(in, PF_Param_GROUP_START, "Settings", 15);
  if (!err) err = add_popup(in, "Quality", 11, velune::kQualityChoices, 5, 1, kFixed);
  if (!err) err = add_slider(in, "Distance Precision", 10, 1, 128, 10, kFixed);
  if (!err) err = add_group(in, PF_Param_GROUP_END, "", 14);
  if (err) return err;
  out->num_params = velune::kParamCount;
  return PF_Err_NONE;
}

PF_Err sequence_setup(PF_InData* in, PF_OutData* out) {
  PF_Handle h = in->sequence_data;
  if (h == nullptr) {
    const auto bytes = static_cast<A_HandleSize>(std::max(in->width, 0)) * static_cast<A_HandleSize>(std::max(in->height, 0));
    h = in->utils->host_new_handle(bytes == 0 ? 1 : bytes);
    if (h == nullptr) return PF_Err_OUT_OF_MEMORY;
  }
  if (in->utils->host_lock_handle(h) == nullptr) {
    if (in->sequence_data == nullptr) in->utils->host_dispose_handle(h);
    return PF_Err_OUT_OF_MEMORY;
  }
  out->sequence_data = h;
  return PF_Err_NONE;
}

PF_Err sequence_setdown(PF_InData* in, PF_OutData* out) {
  if (in->sequence_data != nullptr) {
    in->utils->host_unlock_handle(in->sequence_data);
    in->utils->host_dispose_handle(in->sequence_data);
  }
  out->sequence_data = nullptr;
  return PF_Err_NONE;
}

// The host side of a render: handles, progress, PF_COPY and the sequence data.
class HostRender final : public velune::RenderHost {
 public:
  HostRender(PF_InData* in, PF_OutData* out, PF_EffectWorld* input, PF_EffectWorld* output)
      : in_(in), out_(out), input_(input), output_(output) {}

  // A block starts after a header that remembers its handle.
  static constexpr std::size_t kHeader = 16;
  void* allocate(std::size_t bytes) override {
    PF_Handle h = in_->utils->host_new_handle(static_cast<A_HandleSize>(bytes + kHeader));
    if (h == nullptr) return nullptr;
    auto* block = static_cast<unsigned char*>(in_->utils->host_lock_handle(h));
    if (block == nullptr) {
      in_->utils->host_dispose_handle(h);
      return nullptr;
    }
    std::memcpy(block, &h, sizeof h);
    return block + kHeader;
  }
  void release(void* data) override {
    PF_Handle h = nullptr;
    std::memcpy(&h, static_cast<unsigned char*>(data) - kHeader, sizeof h);
    in_->utils->host_unlock_handle(h);
    in_->utils->host_dispose_handle(h);
  }
  bool progress(int32_t done, int32_t total) override {
    return in_->inter.progress != nullptr && in_->inter.progress(in_->effect_ref, done, total) != PF_Err_NONE;
  }
  bool copy_input_to_output() override {
    return in_->utils->copy(in_->effect_ref, input_, output_, nullptr, nullptr) == PF_Err_NONE;
  }
  void store_distance_map(const uint8_t* map, int32_t width, int32_t height) override {
    PF_Handle h = in_->sequence_data;
    if (h == nullptr) return;
    const auto need = static_cast<A_HandleSize>(width) * static_cast<A_HandleSize>(height);
    if (in_->utils->host_get_handle_size(h) < need) {
      in_->utils->host_unlock_handle(h);
      const bool grown = in_->utils->host_resize_handle(need, &h) == PF_Err_NONE;
      in_->utils->host_lock_handle(h);
      out_->sequence_data = h;
      if (!grown) return;  // the focus pick then reads what fits
    }
    std::memcpy(*h, map, static_cast<std::size_t>(need));
  }

 private:
  PF_InData* in_;
  PF_OutData* out_;
  PF_EffectWorld* input_;
  PF_EffectWorld* output_;
};

bool view_of(PF_InData* in, PF_EffectWorld* world, velune::PixelView& view) {
  PF_Pixel8* pixels = nullptr;
  if (world == nullptr || (world->world_flags & PF_WorldFlag_DEEP) != 0 ||
      (in->utils->get_pixel_data8 != nullptr && (in->utils->get_pixel_data8(world, nullptr, &pixels) != PF_Err_NONE || pixels == nullptr))) {
    return false;
  }
  view = velune::PixelView{reinterpret_cast<uint8_t*>(world->data), world->width, world->height, world->rowbytes};
  return view.data != nullptr;
}

void copy_values(EffectState& s, PF_ParamDef* params[]) {
  velune::EffectValues& v = s.values;
  auto p = [&](int32_t which) { return params[s.param_index[which]]; };
  v.shape_index = p(velune::kParamIrisShape)->u.pd.value;
  v.hardness = velune::fixed_to_double(p(velune::kParamHardness)->u.fd.value);
  v.brightness = velune::fixed_to_double(p(velune::kParamBrightness)->u.fd.value);
  v.bokeh_amount = velune::fixed_to_double(p(velune::kParamBokehAmount)->u.fd.value);
  v.focus_distance = velune::fixed_to_double(p(velune::kParamFocusDistance)->u.fd.value);
  v.focus_x = velune::fixed_integer_part(p(velune::kParamFocusHere)->u.td.x_value);
  v.focus_y = velune::fixed_integer_part(p(velune::kParamFocusHere)->u.td.y_value);
  v.distance_precision = p(velune::kParamDistancePrecision)->u.sd.value;
  v.preview_only = p(velune::kParamPreviewOnly)->u.bd.value != 0;
  v.preview_x = velune::fixed_integer_part(p(velune::kParamPreviewPoint)->u.td.x_value);
  v.preview_y = velune::fixed_integer_part(p(velune::kParamPreviewPoint)->u.td.y_value);
  v.preview_size = p(velune::kParamPreviewSize)->u.sd.value;
  v.quality = p(velune::kParamQuality)->u.pd.value;
  v.preview_quality = p(velune::kParamPreviewQuality)->u.pd.value;
}

PF_Err render(PF_InData* in, PF_OutData* out, PF_ParamDef* params[], PF_EffectWorld* output) {
  EffectState& s = velune::effect_state();
  if (s.shape_root.empty()) global_setup(in);
  copy_values(s, params);
  velune::PixelView input, result;
  if (!view_of(in, &params[0]->u.ld, input) || !view_of(in, output, result)) {
    return fail(out, PF_Err_INVALID_INDEX, std::string(velune::kEffectMessagePrefix) + "Only 8-bit worlds are supported");
  }
  // The distance layer goes back to the host whatever the render does.
  PF_ParamDef layer;
  std::memset(&layer, 0, sizeof layer);
  bool checked_out = in->inter.checkout_param(in->effect_ref, s.param_index[velune::kParamDistanceLayer],
                                              in->current_time, in->time_step, in->time_scale, &layer) == PF_Err_NONE;
  velune::PixelView depth;
  s.values.distance_layer_set = checked_out && layer.u.ld.data != nullptr;
  bool depth_ok = !s.values.distance_layer_set || view_of(in, &layer.u.ld, depth);

  velune::RenderInput ri;
  ri.input = input;
  ri.output = result;
  ri.distance_layer = s.values.distance_layer_set ? &depth : nullptr;
  const PF_Rect& e = in->extent_hint;
  ri.extent_hint = velune::Extent{e.left, e.top, e.right, e.bottom};
  ri.ratio = ratio_of(in->downsample_x);
  HostRender host(in, out, &params[0]->u.ld, output);
  velune::RenderResult r;
  if (depth_ok) {
    r = velune::render_frame(s, ri, host);
  } else {
    r = velune::RenderResult{velune::RenderStatus::kFailed,
                             std::string(velune::kEffectMessagePrefix) + "Only 8-bit worlds are supported"};
  }
  if (checked_out) in->inter.checkin_param(in->effect_ref, &layer);
  switch (r.status) {
    case velune::RenderStatus::kOk:
      return PF_Err_NONE;
    case velune::RenderStatus::kCancelled:
      return PF_Interrupt_CANCEL;
    case velune::RenderStatus::kOutOfMemory:
      return fail(out, PF_Err_OUT_OF_MEMORY, r.message);
    case velune::RenderStatus::kFailed:
      break;
  }
  return fail(out, PF_Err_INVALID_INDEX, r.message);
}

PF_Err focus_pick(PF_InData* in, PF_OutData* out, PF_ParamDef* params[], void* extra) {
  EffectState& s = velune::effect_state();
  const auto* changed = static_cast<const PF_UserChangedParamExtra*>(extra);
  if (changed == nullptr || changed->param_index != s.param_index[velune::kParamFocusHere]) return PF_Err_NONE;
  const double ratio = ratio_of(in->downsample_x);
  PF_Fixed value = -65536;
  if (s.have_render_ratio && ratio == s.last_render_ratio) {
    int32_t byte = 0;
    PF_Handle h = in->sequence_data;
    if (h != nullptr && *h != nullptr && s.map_pitch > 0) {
      const PF_ParamDef* focus = params[s.param_index[velune::kParamFocusHere]];
      const auto x = static_cast<int64_t>(velune::fixed_integer_part(focus->u.td.x_value) * ratio);
      const auto y = static_cast<int64_t>(velune::fixed_integer_part(focus->u.td.y_value) * ratio);
      const auto size = static_cast<int64_t>(in->utils->host_get_handle_size(h));
      const int64_t at = y * s.map_pitch + x;
      // A point off the stored map reads nothing rather than past its end.
      if (x >= 0 && x < s.map_pitch && y >= 0 && at < size) byte = static_cast<uint8_t*>(*h)[at];
    }
    value = byte * 65536;
  }
  PF_ParamDef* target = params[s.param_index[velune::kParamFocusDistance]];
  target->u.fd.value = value;
  target->uu.change_flags = PF_ChangeFlag_CHANGED_VALUE;
  out->out_flags |= PF_OutFlag_REFRESH_UI;
  return PF_Err_NONE;
}

PF_Err frame_setdown(PF_OutData* out) {
  if (velune::effect_state().held_buffers != 0) {
    set_message(out, std::string(velune::kEffectMessagePrefix) + "Memory leak detected in VeluneFx");
    return PF_Err_INVALID_INDEX;
  }
  return PF_Err_NONE;
}

}  // namespace

PF_Err velune_main(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef* params[], PF_LayerDef* output, void* extra) {
  if (g_first_call) {
    g_first_call = false;
    velune::effect_state() = EffectState{};
  }
  if (in == nullptr || out == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  switch (cmd) {
    case PF_Cmd_ABOUT:
      if (velune::effect_state().plugin_folder.empty()) global_setup(in);
      return velune::show_about(in, out, velune::effect_state().plugin_folder);
    case PF_Cmd_GLOBAL_SETUP:
      global_setup(in);
      out->out_flags |= PF_OutFlag_KEEP_RESOURCE_OPEN | PF_OutFlag_USE_OUTPUT_EXTENT;
      out->my_version = kVersion;
      return PF_Err_NONE;
    case PF_Cmd_PARAMS_SETUP:
      return params_setup(in, out);
    case PF_Cmd_SEQUENCE_SETUP:
      return sequence_setup(in, out);
    case PF_Cmd_SEQUENCE_SETDOWN:
      return sequence_setdown(in, out);
    case PF_Cmd_RENDER:
      return params == nullptr || output == nullptr ? PF_Err_BAD_CALLBACK_PARAM : render(in, out, params, output);
    case PF_Cmd_FRAME_SETDOWN:
      return frame_setdown(out);
    case PF_Cmd_USER_CHANGED_PARAM:
      return params == nullptr ? PF_Err_BAD_CALLBACK_PARAM : focus_pick(in, out, params, extra);
    default:  // global setdown, dialog, parameter UI and everything unknown
      return PF_Err_NONE;
  }
}

// Hosts look the entry up as "main". It is declared under another name so the compiler does
// not treat it as a program's main (mingw would run its constructor list from it): Windows
// builds export it as "main" through res/velunefx.def, ELF builds give it that symbol name.
#if defined(_WIN32)
extern "C" PF_Err PI_CALL VeluneFxMain(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                                       PF_LayerDef* output, void* extra);
#else
PI_EXPORT PF_Err PI_CALL VeluneFxMain(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                                      PF_LayerDef* output, void* extra) __asm__("main");
#endif
extern "C" PF_Err PI_CALL VeluneFxMain(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                                       PF_LayerDef* output, void* extra) {
  return velune_main(cmd, in_data, out_data, params, output, extra);
}
