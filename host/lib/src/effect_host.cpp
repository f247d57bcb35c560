#include "plughost/effect_host.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>

#ifdef _WIN32
#include <stdlib.h>
#else
#include <climits>
#include <cstdlib>
#endif

#include "plughost/adm_host.h"
#include "plughost/module.h"
#include "plughost/sp_basic.h"

namespace plughost {

namespace {
EffectSession* g_session = nullptr;

bool ParseNumber(const std::string& s, double& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  out = std::strtod(s.c_str(), &end);
  return end && !*end && std::isfinite(out);
}

std::string FormatFixed(PF_Fixed v) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", v / 65536.0);
  return b;
}

std::vector<std::string> SplitChoices(const std::string& s) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= s.size()) {
    const size_t bar = s.find('|', start);
    out.push_back(s.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return out;
}

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::string AbsolutePath(const std::string& path) {
#ifdef _WIN32
  char full[_MAX_PATH] = {};
  if (_fullpath(full, path.c_str(), sizeof full)) {
    std::string p = full;
    std::replace(p.begin(), p.end(), '/', '\\');
    return p;
  }
  return path;
#else
  char full[PATH_MAX];
  return realpath(path.c_str(), full) ? std::string(full) : path;
#endif
}
}  // namespace

// ---------------------------------------------------------------------------------------
// Worlds

void EffectWorld::Make(int32_t width, int32_t height) {
  pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
  world = PF_EffectWorld{};
  world.world_flags = PF_WorldFlag_WRITEABLE;
  world.data = reinterpret_cast<PF_Pixel*>(pixels.data());
  world.rowbytes = width * 4;
  world.width = width;
  world.height = height;
#if PF_LAYOUT_X64
  world.extent_hint = PF_Rect{0, 0, width, height};
  world.pix_aspect_ratio = PF_RationalScale{1, 1};
#else
  world.extent_hint = PF_Rect{0, 0, static_cast<int16_t>(height), static_cast<int16_t>(width)};
#endif
}

EffectWorld EffectWorld::FromImage(const Image& image) {
  EffectWorld w;
  w.Make(image.width, image.height);
  for (size_t i = 0, n = static_cast<size_t>(image.width) * image.height; i < n; ++i) {
    const uint8_t* s = &image.rgba[i * 4];
    uint8_t* d = &w.pixels[i * 4];
    d[0] = s[3];
    d[1] = s[0];
    d[2] = s[1];
    d[3] = s[2];
  }
  return w;
}

Image EffectWorld::ToImage() const {
  Image img;
  img.width = world.width;
  img.height = world.height;
  img.rgba.resize(pixels.size());
  for (size_t i = 0; i < pixels.size(); i += 4) {
    img.rgba[i] = pixels[i + 1];
    img.rgba[i + 1] = pixels[i + 2];
    img.rgba[i + 2] = pixels[i + 3];
    img.rgba[i + 3] = pixels[i];
  }
  return img;
}

// ---------------------------------------------------------------------------------------
// Callbacks

struct EffectCallbacks {
  static EffectSession& S() { return *g_session; }

  static PF_Err PI_CALL CheckoutParam(PF_ProgPtr, PF_ParamIndex index, int32_t, int32_t, uint32_t, PF_ParamDef* param) {
    if (!g_session || !param) return PF_Err_BAD_CALLBACK_PARAM;
    auto& s = S();
    if (index < 0 || index >= static_cast<int32_t>(s.params_.size())) return PF_Err_INVALID_INDEX;
    *param = s.params_[static_cast<size_t>(index)].def;
    if (index == 0 || param->param_type == PF_Param_LAYER) {
      PF_EffectWorld* world = index == 0 ? s.input_ : nullptr;
      auto it = s.layers_.find(index);
      if (it != s.layers_.end()) world = it->second;
      const int32_t dephault = param->u.ld.dephault;
      param->u.ld = world ? *world : PF_EffectWorld{};
      param->u.ld.dephault = dephault;
    }
    ++s.checkouts_;
    return PF_Err_NONE;
  }
  static PF_Err PI_CALL CheckinParam(PF_ProgPtr, PF_ParamDef*) {
    if (!g_session) return PF_Err_BAD_CALLBACK_PARAM;
    --S().checkouts_;
    return PF_Err_NONE;
  }
  static PF_Err PI_CALL AddParam(PF_ProgPtr, PF_ParamIndex index, PF_ParamDef* def) {
    if (!g_session || !def || index != -1) return PF_Err_BAD_CALLBACK_PARAM;
    auto& s = S();
    EffectParam p;
    p.def = *def;
    p.def.name[sizeof p.def.name - 1] = 0;
    // The host keeps its own copy of texts the effect points at.
    if (def->param_type == PF_Param_POPUP && def->u.pd.u.namesptr) p.choices = def->u.pd.u.namesptr;
    if (def->param_type == PF_Param_CHECKBOX && def->u.bd.u.nameptr) p.choices = def->u.bd.u.nameptr;
    s.params_.push_back(std::move(p));
    EffectParam& kept = s.params_.back();
    if (kept.def.param_type == PF_Param_POPUP) kept.def.u.pd.u.namesptr = nullptr;
    if (kept.def.param_type == PF_Param_CHECKBOX) kept.def.u.bd.u.nameptr = nullptr;
    return PF_Err_NONE;
  }
  static PF_Err PI_CALL Abort(PF_ProgPtr) { return g_session && S().cancelled_ ? PF_Interrupt_CANCEL : PF_Err_NONE; }
  static PF_Err PI_CALL ProgressCb(PF_ProgPtr, int32_t current, int32_t total) {
    if (!g_session) return PF_Err_NONE;
    auto& s = S();
    s.progress_.Update(current, total);
    if (s.cancelAt_ >= 0 && total > 0 && static_cast<int64_t>(current) * 100 >= static_cast<int64_t>(s.cancelAt_) * total)
      s.cancelled_ = true;
    return s.cancelled_ ? PF_Interrupt_CANCEL : PF_Err_NONE;
  }

  static PF_Err PI_CALL Copy(PF_ProgPtr, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* sr, PF_Rect* dr) {
    if (!src || !dst || !src->data || !dst->data) return PF_Err_BAD_CALLBACK_PARAM;
    int32_t sl = 0, st = 0, w = std::min(src->width, dst->width), h = std::min(src->height, dst->height);
    int32_t dl = 0, dt = 0;
    if (sr) {
      sl = sr->left, st = sr->top;
      w = sr->right - sr->left, h = sr->bottom - sr->top;
    }
    if (dr) dl = dr->left, dt = dr->top;
    for (int32_t y = 0; y < h; ++y) {
      const int32_t sy = st + y, dy = dt + y;
      if (sy < 0 || dy < 0 || sy >= src->height || dy >= dst->height) continue;
      for (int32_t x = 0; x < w; ++x) {
        const int32_t sx = sl + x, dx = dl + x;
        if (sx < 0 || dx < 0 || sx >= src->width || dx >= dst->width) continue;
        std::memcpy(reinterpret_cast<char*>(dst->data) + dy * dst->rowbytes + dx * 4,
                    reinterpret_cast<const char*>(src->data) + sy * src->rowbytes + sx * 4, 4);
      }
    }
    return PF_Err_NONE;
  }
  static PF_Err PI_CALL Fill(PF_ProgPtr, const PF_Pixel* colour, const PF_Rect* r, PF_EffectWorld* world) {
    if (!world || !world->data) return PF_Err_BAD_CALLBACK_PARAM;
    const PF_Pixel c = colour ? *colour : PF_Pixel{0, 0, 0, 0};
    const int32_t l = r ? std::max<int32_t>(0, r->left) : 0, t = r ? std::max<int32_t>(0, r->top) : 0;
    const int32_t rr = r ? std::min<int32_t>(world->width, r->right) : world->width;
    const int32_t b = r ? std::min<int32_t>(world->height, r->bottom) : world->height;
    for (int32_t y = t; y < b; ++y)
      for (int32_t x = l; x < rr; ++x)
        std::memcpy(reinterpret_cast<char*>(world->data) + y * world->rowbytes + x * 4, &c, 4);
    return PF_Err_NONE;
  }
  static PF_Handle PI_CALL NewHandle(A_HandleSize size) { return g_session ? S().NewHandle(size) : nullptr; }
  static void* PI_CALL LockHandle(PF_Handle h) { return h && g_session && S().handles_.count(h) ? *h : nullptr; }
  static void PI_CALL UnlockHandle(PF_Handle) {}
  static void PI_CALL DisposeHandle(PF_Handle h) {
    if (g_session) S().DisposeHandle(h);
  }
  static A_HandleSize PI_CALL HandleSize(PF_Handle h) {
    if (!g_session) return 0;
    auto it = S().handles_.find(h);
    return it == S().handles_.end() ? 0 : static_cast<A_HandleSize>(it->second.size);
  }
  static PF_Err PI_CALL ResizeHandle(A_HandleSize size, PF_Handle* hp) {
    if (!g_session || !hp) return PF_Err_BAD_CALLBACK_PARAM;
    auto& s = S();
    auto it = s.handles_.find(*hp);
    if (it == s.handles_.end()) return PF_Err_BAD_CALLBACK_PARAM;
    const auto want = static_cast<uint64_t>(size);
    const int64_t grow = static_cast<int64_t>(want) - static_cast<int64_t>(it->second.size);
    if (s.liveBytes_ + grow > s.memoryLimit_ || want > SIZE_MAX / 2) return PF_Err_OUT_OF_MEMORY;
    char* data = static_cast<char*>(std::realloc(it->second.data, want ? static_cast<size_t>(want) : 1));
    if (!data) return PF_Err_OUT_OF_MEMORY;
    if (want > it->second.size)
      std::memset(data + it->second.size, 0, static_cast<size_t>(want - it->second.size));
    it->second.data = data;
    it->second.size = want;
    *reinterpret_cast<char**>(*hp) = data;
    s.liveBytes_ += grow;
    s.peakBytes_ = std::max(s.peakBytes_, s.liveBytes_);
    return PF_Err_NONE;
  }
  static PF_Err PI_CALL PlatformData(PF_ProgPtr, PF_PlatDataID which, void* data) {
    if (!g_session || !data) return PF_Err_BAD_CALLBACK_PARAM;
    if (which != PF_PlatData_EXE_FILE_PATH && which != PF_PlatData_RES_FILE_PATH) return PF_Err_BAD_CALLBACK_PARAM;
    const std::string& p = S().pluginPath_;
    if (p.size() >= static_cast<size_t>(AEFX_MAX_PATH)) return PF_Err_BAD_CALLBACK_PARAM;
    std::memcpy(data, p.c_str(), p.size() + 1);
    return PF_Err_NONE;
  }
  static PF_Err PI_CALL PixelData8(PF_EffectWorld* w, void*, PF_Pixel8** out) {
    if (!w || !out) return PF_Err_BAD_CALLBACK_PARAM;
    const bool deep = (w->world_flags & PF_WorldFlag_DEEP) != 0;
    *out = deep ? nullptr : w->data;
    return deep ? PF_Err_BAD_CALLBACK_PARAM : PF_Err_NONE;
  }
  static PF_Err PI_CALL PixelData16(PF_EffectWorld* w, void*, PF_Pixel16** out) {
    if (!w || !out) return PF_Err_BAD_CALLBACK_PARAM;
    const bool deep = (w->world_flags & PF_WorldFlag_DEEP) != 0;
    *out = deep ? reinterpret_cast<PF_Pixel16*>(w->data) : nullptr;
    return deep ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM;
  }
  static char* PI_CALL Strcpy(char* d, const char* s) { return std::strcpy(d, s); }
  static double PI_CALL Ceil(double v) { return std::ceil(v); }
  static double PI_CALL Fabs(double v) { return std::fabs(v); }
  static double PI_CALL Floor(double v) { return std::floor(v); }
  static double PI_CALL Sqrt(double v) { return std::sqrt(v); }
};

// ---------------------------------------------------------------------------------------

EffectSession* EffectSession::Current() { return g_session; }

EffectSession::EffectSession(PluginModule& module, PF_FilterProc entry, Progress& progress, UiScript& script)
    : module_(module), entry_(entry), progress_(progress), script_(script), broker_(std::make_unique<SuiteBroker>()) {
  g_session = this;
  adm_ = std::make_unique<AdmHost>(*broker_, script_);
  pluginPath_ = AbsolutePath(module_.Path());
  in_.inter.checkout_param = &EffectCallbacks::CheckoutParam;
  in_.inter.checkin_param = &EffectCallbacks::CheckinParam;
  in_.inter.add_param = &EffectCallbacks::AddParam;
  in_.inter.abort = &EffectCallbacks::Abort;
  in_.inter.progress = &EffectCallbacks::ProgressCb;
  utils_.copy = &EffectCallbacks::Copy;
  utils_.fill = &EffectCallbacks::Fill;
  utils_.host_new_handle = &EffectCallbacks::NewHandle;
  utils_.host_lock_handle = &EffectCallbacks::LockHandle;
  utils_.host_unlock_handle = &EffectCallbacks::UnlockHandle;
  utils_.host_dispose_handle = &EffectCallbacks::DisposeHandle;
  utils_.host_get_handle_size = &EffectCallbacks::HandleSize;
  utils_.host_resize_handle = &EffectCallbacks::ResizeHandle;
  utils_.get_platform_data = &EffectCallbacks::PlatformData;
  utils_.get_pixel_data8 = &EffectCallbacks::PixelData8;
  utils_.get_pixel_data16 = &EffectCallbacks::PixelData16;
  utils_.ansi.strcpy = &EffectCallbacks::Strcpy;
  utils_.ansi.ceil = &EffectCallbacks::Ceil;
  utils_.ansi.fabs = &EffectCallbacks::Fabs;
  utils_.ansi.floor = &EffectCallbacks::Floor;
  utils_.ansi.sqrt = &EffectCallbacks::Sqrt;
  in_.utils = &utils_;
  in_.effect_ref = reinterpret_cast<PF_ProgPtr>(this);
  in_.quality = 1;  // PF_Quality_HI
  in_.version = PF_SpecVersion{12, 5};
  in_.appl_id = static_cast<int32_t>(PIFourCC("FXTC"));
  in_.time_step = 1;
  in_.local_time_step = 1;
  in_.time_scale = 24;
  in_.total_time = 1;
  in_.downsample_x = in_.downsample_y = in_.pixel_aspect_ratio = PF_RationalScale{1, 1};
  in_.pica_basicP = broker_->Basic();
  // The host's array starts with the input layer.
  EffectParam input;
  input.def.param_type = PF_Param_LAYER;
  std::snprintf(input.def.name, sizeof input.def.name, "%s", "Input");
  params_.push_back(input);
}

EffectSession::~EffectSession() {
  for (auto& [h, b] : handles_) {
    std::free(b.data);
    delete[] reinterpret_cast<char**>(h);
  }
  handles_.clear();
  adm_.reset();
  if (g_session == this) g_session = nullptr;
}

void EffectSession::WithholdSuite(const std::string& name, int32_t version) { broker_->Remove(name, version); }

int EffectSession::SuitesOutstanding() const { return broker_->Outstanding(); }

void** EffectSession::NewHandle(uint64_t size) {
  ++handleCalls_;
  if (failHandleAt_ > 0 && handleCalls_ == failHandleAt_) return nullptr;
  if (size > SIZE_MAX / 2 || liveBytes_ + static_cast<int64_t>(size) > memoryLimit_) return nullptr;
  char* data = static_cast<char*>(std::calloc(size ? static_cast<size_t>(size) : 1, 1));
  if (!data) return nullptr;
  auto** master = new char*[1];
  master[0] = data;
  void** h = reinterpret_cast<void**>(master);
  handles_[h] = Block{data, size};
  liveBytes_ += static_cast<int64_t>(size);
  peakBytes_ = std::max(peakBytes_, liveBytes_);
  return h;
}

void EffectSession::DisposeHandle(void** h) {
  auto it = handles_.find(h);
  if (it == handles_.end()) return;
  liveBytes_ -= static_cast<int64_t>(it->second.size);
  std::free(it->second.data);
  delete[] reinterpret_cast<char**>(h);
  handles_.erase(it);
}

void EffectSession::SetSize(int32_t width, int32_t height) {
  in_.width = width;
  in_.height = height;
}

void EffectSession::SetDownsample(int32_t num, uint32_t den) {
  in_.downsample_x = in_.downsample_y = PF_RationalScale{num, den};
}

void EffectSession::SetTime(int32_t frame) { in_.current_time = frame * in_.time_step; }

void EffectSession::SetLayer(int32_t index, PF_EffectWorld* world) {
  if (world) layers_[index] = world;
  else layers_.erase(index);
}

int32_t EffectSession::Find(const std::string& name) const {
  for (size_t i = 1; i < params_.size(); ++i) {
    const auto type = params_[i].def.param_type;
    if (type == PF_Param_GROUP_START || type == PF_Param_GROUP_END) continue;
    if (SameText(params_[i].def.name, name)) return static_cast<int32_t>(i);
  }
  return -1;
}

bool EffectSession::SetValue(int32_t index, const std::string& text, std::string& why) {
  PF_ParamDef& d = params_[static_cast<size_t>(index)].def;
  const std::string name = d.name;
  double v = 0;
  switch (d.param_type) {
    case PF_Param_SLIDER:
      if (!ParseNumber(text, v) || v != std::floor(v)) return why = name + " takes a whole number", false;
      if (v < d.u.sd.valid_min || v > d.u.sd.valid_max)
        return why = name + " takes " + std::to_string(d.u.sd.valid_min) + " to " + std::to_string(d.u.sd.valid_max), false;
      d.u.sd.value = static_cast<int32_t>(v);
      return true;
    case PF_Param_FIX_SLIDER: {
      if (!ParseNumber(text, v)) return why = name + " takes a number", false;
      const double fixed = std::round(v * 65536.0);
      if (fixed < d.u.fd.valid_min || fixed > d.u.fd.valid_max)
        return why = name + " takes " + FormatFixed(d.u.fd.valid_min) + " to " + FormatFixed(d.u.fd.valid_max), false;
      d.u.fd.value = static_cast<PF_Fixed>(fixed);
      return true;
    }
    case PF_Param_POPUP: {
      const auto choices = SplitChoices(params_[static_cast<size_t>(index)].choices);
      const int32_t count = std::min<int32_t>(d.u.pd.num_choices, static_cast<int32_t>(choices.size()));
      for (int32_t i = 0; i < count; ++i)
        if (SameText(choices[static_cast<size_t>(i)], text)) return d.u.pd.value = i + 1, true;
      std::string list;
      for (int32_t i = 0; i < count; ++i) list += (i ? ", " : "") + choices[static_cast<size_t>(i)];
      why = count ? name + " takes one of: " + list : name + " offers no choices";
      return false;
    }
    case PF_Param_CHECKBOX:
      if (SameText(text, "on") || text == "1" || SameText(text, "true")) return d.u.bd.value = 1, true;
      if (SameText(text, "off") || text == "0" || SameText(text, "false")) return d.u.bd.value = 0, true;
      return why = name + " takes on or off", false;
    case PF_Param_POINT: {
      const size_t comma = text.find(',');
      double x = 0, y = 0;
      if (comma == std::string::npos || !ParseNumber(text.substr(0, comma), x) || !ParseNumber(text.substr(comma + 1), y) ||
          std::fabs(x) > 30000 || std::fabs(y) > 30000)
        return why = name + " takes a point x,y", false;
      d.u.td.x_value = static_cast<PF_Fixed>(std::round(x * 65536.0));
      d.u.td.y_value = static_cast<PF_Fixed>(std::round(y * 65536.0));
      return true;
    }
    case PF_Param_LAYER:
      return why = name + " is a layer: give it with --layer \"" + name + "=FILE.png\"", false;
    default:
      return why = name + " cannot be set from the command line", false;
  }
}

std::string EffectSession::ReturnMessage() const {
  std::string m(out_.return_msg, strnlen(out_.return_msg, sizeof out_.return_msg));
  return m;
}

PF_Err EffectSession::Send(PF_Cmd cmd, PF_EffectWorld* input, PF_EffectWorld* output, void* extra) {
  g_session = this;
  input_ = input;
  std::memset(out_.return_msg, 0, sizeof out_.return_msg);
  out_.out_flags = 0;
  in_.sequence_data = out_.sequence_data;
  in_.num_params = static_cast<int32_t>(params_.size());
  if (extentSet_) in_.extent_hint = extent_;
  else {
#if PF_LAYOUT_X64
    in_.extent_hint = PF_Rect{0, 0, in_.width, in_.height};
#else
    in_.extent_hint = PF_Rect{0, 0, static_cast<int16_t>(in_.height), static_cast<int16_t>(in_.width)};
#endif
  }
  // The input layer's entry holds the input world during a render.
  if (input) params_[0].def.u.ld = *input;
  std::vector<PF_ParamDef*> list;
  for (auto& p : params_) {
    // The effect reads popup texts through the pointers; they point at our copies.
    if (p.def.param_type == PF_Param_POPUP) p.def.u.pd.u.namesptr = p.choices.c_str();
    if (p.def.param_type == PF_Param_CHECKBOX) p.def.u.bd.u.nameptr = p.choices.c_str();
    list.push_back(&p.def);
  }
  list.push_back(nullptr);
  const PF_Err err = entry_(cmd, &in_, &out_, list.data(), output, extra);
  progress_.Finish();
  const std::string msg = ReturnMessage();
  if (!msg.empty() && (out_.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE))
    std::fprintf(stderr, "plughost: %s\n", msg.c_str());
  return err;
}


const char* EffectSession::CommandName(PF_Cmd cmd) {
  switch (cmd) {
    case PF_Cmd_ABOUT: return "about";
    case PF_Cmd_GLOBAL_SETUP: return "global setup";
    case PF_Cmd_GLOBAL_SETDOWN: return "global setdown";
    case PF_Cmd_PARAMS_SETUP: return "parameter setup";
    case PF_Cmd_SEQUENCE_SETUP: return "sequence setup";
    case PF_Cmd_SEQUENCE_SETDOWN: return "sequence setdown";
    case PF_Cmd_RENDER: return "render";
    case PF_Cmd_FRAME_SETDOWN: return "frame setdown";
    case PF_Cmd_USER_CHANGED_PARAM: return "user changed parameter";
    default: return "command";
  }
}

int ExitStatusForEffect(PF_Err err, bool haveMessage) {
  switch (err) {
    case PF_Err_NONE: return 0;
    case PF_Interrupt_CANCEL: return 4;
    case PF_Err_OUT_OF_MEMORY: return 5;
    case PF_Err_BAD_CALLBACK_PARAM:
    case PF_Err_INVALID_CALLBACK: return 7;
    default: return haveMessage ? 1 : 9;
  }
}

std::string EffectErrorText(PF_Err err) {
  switch (err) {
    case PF_Err_NONE: return "success";
    case PF_Err_OUT_OF_MEMORY: return "out of memory (PF_Err_OUT_OF_MEMORY)";
    case PF_Err_INTERNAL_STRUCT_DAMAGED: return "internal structure damaged (PF_Err_INTERNAL_STRUCT_DAMAGED)";
    case PF_Err_INVALID_INDEX: return "the effect failed (PF_Err_INVALID_INDEX)";
    case PF_Err_UNRECOGNIZED_PARAM_TYPE: return "unrecognised parameter type (PF_Err_UNRECOGNIZED_PARAM_TYPE)";
    case PF_Err_INVALID_CALLBACK: return "invalid callback (PF_Err_INVALID_CALLBACK)";
    case PF_Err_BAD_CALLBACK_PARAM: return "a callback or suite it needs is missing (PF_Err_BAD_CALLBACK_PARAM)";
    case PF_Interrupt_CANCEL: return "cancelled (PF_Interrupt_CANCEL)";
    default: return "error " + std::to_string(err);
  }
}

}  // namespace plughost
