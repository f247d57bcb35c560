#include "effect_command.h"
#include "parse_whole.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostapi/ADMSuites.h"
#include "hostapi/AE_Effect.h"
#include "plughost/adm_host.h"
#include "plughost/effect_host.h"
#include "plughost/image.h"
#include "plughost/module.h"
#include "plughost/pipl.h"
#include "plughost/progress.h"
#include "plughost/results.h"
#include "plughost/ui_script.h"

namespace plughost {
namespace {

int Fail(int status, const std::string& why) {
  std::fprintf(stderr, "plughost: %s\n", why.c_str());
  return status;
}

// "A,B[,C,D]" as whole numbers.
bool ParseList(const std::string& s, size_t count, long lo, long hi, std::vector<long>& out) {
  out.clear();
  size_t start = 0;
  for (size_t i = 0; i < count; ++i) {
    const size_t comma = s.find(',', start);
    const bool last = i + 1 == count;
    if (last != (comma == std::string::npos)) return false;
    long v = 0;
    if (!ParseWhole(s.substr(start, last ? std::string::npos : comma - start), lo, hi, v)) return false;
    out.push_back(v);
    start = comma + 1;
  }
  return true;
}

// A file name with a printf-style frame number ("%04d", "%d"), filled in for one frame.
bool HasFramePattern(const std::string& p) {
  const size_t pc = p.find('%');
  if (pc == std::string::npos) return false;
  size_t i = pc + 1;
  while (i < p.size() && std::isdigit(static_cast<unsigned char>(p[i]))) ++i;
  return i < p.size() && p[i] == 'd';
}
std::string FramePath(const std::string& p, long frame) {
  if (!HasFramePattern(p)) return p;
  const size_t pc = p.find('%');
  size_t i = pc + 1;
  int width = 0;
  while (std::isdigit(static_cast<unsigned char>(p[i]))) width = width * 10 + (p[i++] - '0');
  char num[32];
  std::snprintf(num, sizeof num, "%0*ld", std::min(width, 16), frame);
  return p.substr(0, pc) + num + p.substr(i + 1);
}

// The effect takes 8-bit worlds only; a deeper file is refused instead of being cut down.
Image ReadImage8(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw std::runtime_error(path + ": cannot open");
  unsigned char head[26] = {};
  const size_t got = std::fread(head, 1, sizeof head, f);
  std::fclose(f);
  if (got == sizeof head && std::memcmp(head + 12, "IHDR", 4) == 0 && head[24] > 8)
    throw std::runtime_error(path + ": a " + std::to_string(head[24]) + "-bit PNG; the effect takes 8-bit images");
  return ReadPng(path);
}

struct LoadedEffect {
  std::unique_ptr<PluginModule> module;
  PF_FilterProc entry = nullptr;
  std::string name;
};

// Loads an After Effects effect; nullopt with the reason printed when it is not one.
std::optional<LoadedEffect> LoadEffect(const std::string& path) {
#ifndef _WIN32
  if (IsWindowsModule(path)) {
    std::fprintf(stderr, "plughost: %s is a Windows plug-in; run it with the Windows plughost (under Wine here)\n",
                 path.c_str());
    return std::nullopt;
  }
#endif
  LoadedEffect e;
  try {
    e.module = PluginModule::Load(path);
  } catch (const std::exception& ex) {
    std::fprintf(stderr, "plughost: %s\n", ex.what());
    return std::nullopt;
  }
  auto bytes = e.module->Resource("PIPL", 16000);
  if (!bytes) {
    std::fprintf(stderr, "plughost: %s has no PiPL resource\n", path.c_str());
    return std::nullopt;
  }
  Pipl pipl = ParsePipl(bytes->data(), bytes->size());
  if (!pipl.Kind() || *pipl.Kind() != FourCC("eFKT")) {
    std::fprintf(stderr, "plughost: %s is not an After Effects effect\n", path.c_str());
    return std::nullopt;
  }
  const auto entryName = pipl.EntryPoint(kHostArch);
  if (!entryName) {
    std::fprintf(stderr, "plughost: the PiPL names no entry point for this architecture\n");
    return std::nullopt;
  }
  e.entry = reinterpret_cast<PF_FilterProc>(e.module->Symbol(entryName->c_str()));
  if (!e.entry) {
    std::fprintf(stderr, "plughost: %s does not export %s\n", path.c_str(), entryName->c_str());
    return std::nullopt;
  }
  e.name = pipl.Name().value_or(path);
  return e;
}

// Reports a failed command; returns its exit status.
int Report(EffectSession& s, const std::string& name, PF_Cmd cmd, PF_Err err) {
  const std::string msg = s.ReturnMessage();
  // Messages the effect asked to have shown were printed when the command returned.
  if (!msg.empty() && !(s.Out().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE))
    std::fprintf(stderr, "plughost: %s\n", msg.c_str());
  std::fprintf(stderr, "plughost: %s: %s (during %s)\n", name.c_str(), EffectErrorText(err).c_str(),
               EffectSession::CommandName(cmd));
  return ExitStatusForEffect(err, !msg.empty());
}

void CheckLeftovers(const EffectSession& s, const std::string& name) {
  if (s.LiveHandles())
    std::fprintf(stderr, "plughost: warning: %s left %zu handles allocated\n", name.c_str(), s.LiveHandles());
  if (s.Checkouts())
    std::fprintf(stderr, "plughost: warning: %s left %d parameters checked out\n", name.c_str(), s.Checkouts());
  if (s.SuitesOutstanding())
    std::fprintf(stderr, "plughost: warning: %s left %d suites acquired\n", name.c_str(), s.SuitesOutstanding());
}

const char* TypeName(PF_ParamType t) {
  switch (t) {
    case PF_Param_LAYER: return "layer";
    case PF_Param_SLIDER: return "slider";
    case PF_Param_FIX_SLIDER: return "fixed slider";
    case PF_Param_CHECKBOX: return "checkbox";
    case PF_Param_POINT: return "point";
    case PF_Param_POPUP: return "popup";
    case PF_Param_GROUP_START: return "group start";
    case PF_Param_GROUP_END: return "group end";
    default: return "other";
  }
}

std::string Fixed(PF_Fixed v) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", v / 65536.0);
  return b;
}

std::string Describe(const EffectParam& p) {
  const PF_ParamDef& d = p.def;
  std::string line = std::string("\"") + d.name + "\": " + TypeName(d.param_type);
  switch (d.param_type) {
    case PF_Param_SLIDER:
      line += ", " + std::to_string(d.u.sd.valid_min) + " to " + std::to_string(d.u.sd.valid_max) + ", default " +
              std::to_string(d.u.sd.dephault);
      break;
    case PF_Param_FIX_SLIDER:
      line += ", " + Fixed(d.u.fd.valid_min) + " to " + Fixed(d.u.fd.valid_max);
      if (d.u.fd.slider_min != d.u.fd.valid_min || d.u.fd.slider_max != d.u.fd.valid_max)
        line += " (slider " + Fixed(d.u.fd.slider_min) + " to " + Fixed(d.u.fd.slider_max) + ")";
      line += ", default " + Fixed(d.u.fd.dephault);
      break;
    case PF_Param_POPUP:
      line += ", " + std::to_string(d.u.pd.num_choices) + " choices \"" + p.choices + "\", default " +
              std::to_string(d.u.pd.dephault);
      break;
    case PF_Param_CHECKBOX:
      line += " \"" + p.choices + "\", default " + (d.u.bd.dephault ? "on" : "off");
      break;
    case PF_Param_POINT:
      line += ", default " + Fixed(d.u.td.x_dephault) + "," + Fixed(d.u.td.y_dephault);
      break;
    case PF_Param_LAYER:
      line += d.u.ld.dephault == PF_LayerDefault_MYSELF ? ", default this layer" : ", default none";
      break;
    default:
      break;
  }
  if (d.flags & PF_ParamFlag_SUPERVISE) line += ", supervised";
  if (d.flags & PF_ParamFlag_CANNOT_TIME_VARY) line += ", cannot time-vary";
  if (d.ui_flags & PF_PUI_ECW_SEPARATOR) line += ", separator";
  return line;
}

const char kEffectUsage[] =
    "usage: plughost effect PLUGIN IN.png -o OUT.png [options]\n"
    "  --param NAME=VALUE     set a parameter by its name: sliders a number, popups their text,\n"
    "                         points x,y, checkboxes on/off\n"
    "  --layer NAME=FILE.png  the picture a layer parameter shows\n"
    "  --pick X,Y             move \"Focus Here\" there before rendering\n"
    "  --downsample N/D       render at the ratio N/D\n"
    "  --extent L,T,R,B       the part of the frame the host asks for\n"
    "  --frames FIRST:LAST    render a sequence; IN, OUT and layer files carry %04d\n"
    "  --cancel-at PERCENT    the user cancels once progress reaches PERCENT\n"
    "  --fail-handle N        the Nth host handle cannot be allocated\n"
    "  --memory MB            memory the host offers for handles (default 4096)\n"
    "  --progress bar|log|quiet\n"
    "  --interactive          a person answers the effect's dialogs (see plughost --help)\n";

}  // namespace

int EffectCommand(int argc, char** argv) {
  auto usage = [](const std::string& why) {
    std::fprintf(stderr, "plughost: %s\n", why.c_str());
    std::fputs(kEffectUsage, stderr);
    return kExitUsage;
  };
  if (argc < 2) return usage("effect needs PLUGIN and IN.png");
  const std::string pluginPath = argv[0], inPattern = argv[1];
  std::string outPattern;
  std::vector<std::pair<std::string, std::string>> values, layers;
  std::optional<std::pair<long, long>> pick;
  long dsNum = 1, dsDen = 1, first = 0, last = 0, cancelAt = -1, failHandle = 0, memoryMb = 4096;
  bool frames = false;
  std::optional<std::vector<long>> extent;
  Progress::Mode progressMode = Progress::Mode::Auto;
  UiCommandLine ui;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    std::string why;
    if (ui.Take(argc, argv, i, why, 0) == UiCommandLine::Arg::Taken) continue;
    if (i + 1 >= argc) return usage(a == "-o" || a.rfind("--", 0) == 0 ? a + " needs a value" : "unknown option " + a);
    const std::string v = argv[++i];
    auto split = [&](std::pair<std::string, std::string>& kv) {
      const size_t eq = v.find('=');
      if (eq == std::string::npos || eq == 0) return false;
      kv = {v.substr(0, eq), v.substr(eq + 1)};
      return true;
    };
    std::pair<std::string, std::string> kv;
    std::vector<long> nums;
    if (a == "-o") {
      outPattern = v;
    } else if (a == "--param") {
      if (!split(kv)) return usage("--param takes NAME=VALUE");
      values.push_back(kv);
    } else if (a == "--layer") {
      if (!split(kv) || kv.second.empty()) return usage("--layer takes NAME=FILE.png");
      layers.push_back(kv);
    } else if (a == "--pick") {
      if (!ParseList(v, 2, 0, 30000, nums)) return usage("--pick takes X,Y (pixels)");
      pick = std::make_pair(nums[0], nums[1]);
    } else if (a == "--downsample") {
      const size_t slash = v.find('/');
      if (slash == std::string::npos || !ParseWhole(v.substr(0, slash), 1, 1 << 16, dsNum) ||
          !ParseWhole(v.substr(slash + 1), 1, 1 << 16, dsDen))
        return usage("--downsample takes N/D, both from 1");
    } else if (a == "--extent") {
      if (!ParseList(v, 4, 0, 30000, nums) || nums[2] <= nums[0] || nums[3] <= nums[1])
        return usage("--extent takes L,T,R,B with L < R and T < B");
      extent = nums;
    } else if (a == "--frames") {
      const size_t colon = v.find(':');
      if (colon == std::string::npos || !ParseWhole(v.substr(0, colon), 0, 999999, first) ||
          !ParseWhole(v.substr(colon + 1), 0, 999999, last) || last < first)
        return usage("--frames takes FIRST:LAST with FIRST <= LAST");
      frames = true;
    } else if (a == "--cancel-at") {
      if (!ParseWhole(v, 0, 100, cancelAt)) return usage("--cancel-at takes a percentage, 0 to 100");
    } else if (a == "--fail-handle") {
      if (!ParseWhole(v, 1, 1L << 30, failHandle)) return usage("--fail-handle takes a call number from 1");
    } else if (a == "--memory") {
      if (!ParseWhole(v, 1, 1 << 20, memoryMb)) return usage("--memory takes megabytes");
    } else if (a == "--progress") {
      if (v != "bar" && v != "log" && v != "quiet") return usage("--progress takes bar, log or quiet");
      progressMode = v == "bar" ? Progress::Mode::Bar : v == "log" ? Progress::Mode::Log : Progress::Mode::Quiet;
    } else {
      return usage("unknown option " + a);
    }
  }
  if (outPattern.empty()) return usage("effect needs -o OUT.png");
  if (frames && last > first && !HasFramePattern(outPattern))
    return usage("several frames need a frame number in OUT, such as out%04d.png");

  // Everything the user named must exist before the effect runs.
  Image firstFrame;
  try {
    firstFrame = ReadImage8(FramePath(inPattern, first));
  } catch (const std::exception& e) {
    return Fail(8, e.what());
  }

  auto effect = LoadEffect(pluginPath);
  if (!effect) return kExitLoad;
  UiScript script;
  ui.Configure(script);
  effect->module->AttachHeadless(script.HeadlessHost());
  Progress progress(progressMode);
  int status = 0;
  {
    EffectSession s(*effect->module, effect->entry, progress, script);
    s.SetMemoryLimit(static_cast<int64_t>(memoryMb) << 20);
    s.SetSize(firstFrame.width, firstFrame.height);
    s.SetDownsample(static_cast<int32_t>(dsNum), static_cast<uint32_t>(dsDen));
    auto run = [&](PF_Cmd cmd, PF_EffectWorld* in = nullptr, PF_EffectWorld* out = nullptr, void* extra = nullptr) {
      const PF_Err err = s.Send(cmd, in, out, extra);
      if (err != PF_Err_NONE && status == 0) status = Report(s, effect->name, cmd, err);
      return err == PF_Err_NONE;
    };
    bool globalUp = run(PF_Cmd_GLOBAL_SETUP);
    bool ok = globalUp && run(PF_Cmd_PARAMS_SETUP);
    if (ok && s.Out().num_params != static_cast<int32_t>(s.Params().size())) {
      status = Fail(9, effect->name + " declared " + std::to_string(s.Params().size()) + " parameters but says " +
                           std::to_string(s.Out().num_params));
      ok = false;
    }
    // Parameter values and layers from the command line.
    std::vector<std::pair<int32_t, std::string>> layerFiles;
    for (size_t i = 0; ok && i < values.size(); ++i) {
      const int32_t index = s.Find(values[i].first);
      std::string why;
      if (index < 0) status = Fail(6, effect->name + " has no parameter \"" + values[i].first + "\""), ok = false;
      else if (!s.SetValue(index, values[i].second, why)) status = Fail(6, why), ok = false;
    }
    for (size_t i = 0; ok && i < layers.size(); ++i) {
      const int32_t index = s.Find(layers[i].first);
      if (index < 0 || s.Params()[static_cast<size_t>(index)].def.param_type != PF_Param_LAYER) {
        status = Fail(6, effect->name + " has no layer parameter \"" + layers[i].first + "\"");
        ok = false;
      } else {
        layerFiles.emplace_back(index, layers[i].second);
      }
    }
    PF_Rect ext{};
    if (ok && extent) {
      const auto& e = *extent;
      if (e[2] > firstFrame.width || e[3] > firstFrame.height) {
        status = Fail(6, "--extent reaches outside the " + std::to_string(firstFrame.width) + "x" +
                             std::to_string(firstFrame.height) + " frame");
        ok = false;
      }
#if PF_LAYOUT_X64
      ext = PF_Rect{static_cast<int32_t>(e[0]), static_cast<int32_t>(e[1]), static_cast<int32_t>(e[2]),
                    static_cast<int32_t>(e[3])};
#else
      ext = PF_Rect{static_cast<int16_t>(e[1]), static_cast<int16_t>(e[0]), static_cast<int16_t>(e[3]),
                    static_cast<int16_t>(e[2])};
#endif
      s.SetExtent(ext);
    }
    bool sequenceUp = ok && run(PF_Cmd_SEQUENCE_SETUP);
    ok = sequenceUp;
    if (ok && pick) {
      const int32_t index = s.Find("Focus Here");
      if (index < 0) {
        status = Fail(6, effect->name + " has no \"Focus Here\" point to pick with");
        ok = false;
      } else {
        PF_ParamDef& d = s.Params()[static_cast<size_t>(index)].def;
        d.u.td.x_value = static_cast<PF_Fixed>(pick->first * 65536);
        d.u.td.y_value = static_cast<PF_Fixed>(pick->second * 65536);
        PF_UserChangedParamExtra extra{index};
        ok = run(PF_Cmd_USER_CHANGED_PARAM, nullptr, nullptr, &extra);
        const int32_t focus = s.Find("On-Focus Distance");
        if (ok && focus >= 0)
          std::fprintf(stderr, "plughost: %s: Focus Here moved to %ld,%ld; On-Focus Distance is now %s\n",
                       effect->name.c_str(), pick->first, pick->second,
                       Fixed(s.Params()[static_cast<size_t>(focus)].def.u.fd.value).c_str());
      }
    }
    s.SetCancelAt(static_cast<int32_t>(cancelAt));
    if (failHandle) s.FailHandleAt(failHandle);
    for (long frame = first; ok && frame <= last; ++frame) {
      EffectWorld input, output;
      std::vector<EffectWorld> layerWorlds(layerFiles.size());
      try {
        const Image in = frame == first ? firstFrame : ReadImage8(FramePath(inPattern, frame));
        if (in.width != firstFrame.width || in.height != firstFrame.height)
          throw std::runtime_error(FramePath(inPattern, frame) + ": a frame of another size than the first");
        input = EffectWorld::FromImage(in);
        for (size_t i = 0; i < layerFiles.size(); ++i) {
          layerWorlds[i] = EffectWorld::FromImage(ReadImage8(FramePath(layerFiles[i].second, frame)));
          s.SetLayer(layerFiles[i].first, &layerWorlds[i].world);
        }
      } catch (const std::exception& e) {
        status = Fail(8, e.what());
        break;
      }
      output.Make(input.world.width, input.world.height);
      output.world.extent_hint = extent ? ext : output.world.extent_hint;
      s.SetTime(static_cast<int32_t>(frame - first));
      const bool rendered = run(PF_Cmd_RENDER, &input.world, &output.world);
      const bool setdown = run(PF_Cmd_FRAME_SETDOWN);
      for (const auto& lf : layerFiles) s.SetLayer(lf.first, nullptr);
      if (!rendered || !setdown) break;
      const std::string outPath = FramePath(outPattern, frame);
      try {
        WritePng(outPath, output.ToImage());
      } catch (const std::exception& e) {
        status = Fail(8, e.what());
        break;
      }
      std::printf("plughost: %s: wrote %s\n", effect->name.c_str(), outPath.c_str());
    }
    s.SetCancelAt(-1);
    s.FailHandleAt(0);
    if (sequenceUp) run(PF_Cmd_SEQUENCE_SETDOWN);
    if (globalUp) run(PF_Cmd_GLOBAL_SETDOWN);
    CheckLeftovers(s, effect->name);
    if (status != 0) std::fprintf(stderr, "plughost: no further output written\n");
  }
  effect->module->AttachHeadless(nullptr);
  return status;
}

int AboutCommand(int argc, char** argv) {
  if (argc < 1) return Fail(kExitUsage, "about needs PLUGIN");
  std::vector<std::string> answers;
  std::string snapshot;
  std::vector<std::string> withheld;
  UiCommandLine ui;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--interactive") {
      ui.interactive = true;
      continue;
    }
    if (i + 1 >= argc) return Fail(kExitUsage, a + " needs a value");
    const std::string v = argv[++i];
    if (a == "--answer") {
      answers.push_back(v);
      ui.scripted = a;
    } else if (a == "--snapshot") {
      snapshot = v;
    } else if (a == "--withhold-suite") {
      withheld.push_back(v);
    } else {
      return Fail(kExitUsage,
                  "unknown option " + a + " (about takes --answer, --interactive, --snapshot, --withhold-suite)");
    }
  }
  if (const std::string refused = ui.Conflict(); !refused.empty()) return Fail(kExitUsage, refused);
  auto effect = LoadEffect(argv[0]);
  if (!effect) return kExitLoad;
  UiScript script(answers);
  ui.Configure(script);
  effect->module->AttachHeadless(script.HeadlessHost());
#ifdef _WIN32
  UiScript::Win32Hook hook(script);
#endif
  Progress progress(Progress::Mode::Quiet);
  int status = 0;
  {
    EffectSession s(*effect->module, effect->entry, progress, script);
    static const std::pair<const char*, int32_t> kSuites[] = {
        {kADMBasicSuite, 2}, {kADMDialogSuite, 5}, {kADMItemSuite, 4}, {kADMImageSuite, 1},
        {kADMDrawerSuite, 3}, {kADMListSuite, 1}, {kADMEntrySuite, 2}};
    for (const auto& w : withheld) {
      bool known = false;
      for (const auto& [name, version] : kSuites)
        if (w == name) s.WithholdSuite(name, version), known = true;
      if (!known) return Fail(kExitUsage, "--withhold-suite takes an ADM suite name such as \"ADM Item Suite\"");
    }
    if (!snapshot.empty()) s.Adm().SetSnapshot(snapshot);
    const PF_Err err = s.Send(PF_Cmd_ABOUT);
    if (err != PF_Err_NONE) status = Report(s, effect->name, PF_Cmd_ABOUT, err);
    CheckLeftovers(s, effect->name);
  }
  effect->module->AttachHeadless(nullptr);
  return status;
}

void PrintEffectInfo(const std::string& path, const PluginFileInfo& info) {
  const Pipl& p = info.pipl;
  auto u32 = [](const PiplProperty* prop) -> std::optional<uint32_t> {
    if (!prop || prop->data.size() < 4) return std::nullopt;
    const auto& d = prop->data;
    return uint32_t(d[0]) | uint32_t(d[1]) << 8 | uint32_t(d[2]) << 16 | uint32_t(d[3]) << 24;
  };
  auto pair16 = [&](uint32_t key) -> std::string {
    const auto v = u32(p.Find(key));
    return v ? std::to_string(*v & 0xFFFF) + "." + std::to_string(*v >> 16) : "(none)";
  };
  std::printf("effect API version: %s\n", pair16(FourCC("eSVR")).c_str());
  std::printf("PiPL version: %s\n", pair16(FourCC("ePVR")).c_str());
  if (const auto v = u32(p.Find(FourCC("eVER")))) {
    static const char* const kStages[] = {"develop", "alpha", "beta", "release"};
    std::printf("effect version: %u.%u.%u %s build %u (0x%06X)\n", (*v >> 19) & 7, (*v >> 15) & 15, (*v >> 11) & 15,
                kStages[(*v >> 9) & 3], *v & 0x1FF, *v);
  }
  if (const auto v = u32(p.Find(FourCC("eGLO")))) {
    std::string names;
    if (*v & PF_OutFlag_KEEP_RESOURCE_OPEN) names += " KEEP_RESOURCE_OPEN";
    if (*v & PF_OutFlag_USE_OUTPUT_EXTENT) names += " USE_OUTPUT_EXTENT";
    if (*v & PF_OutFlag_DEEP_COLOR_AWARE) names += " DEEP_COLOR_AWARE";
    std::printf("global out flags: 0x%X%s\n", *v, names.c_str());
  }
  if (info.arch && *info.arch != kHostArch) {
    std::printf("parameters: (run the %s plughost to list them)\n", *info.arch == Arch::X86 ? "win32" : "win64");
    return;
  }
#ifndef _WIN32
  if (IsWindowsModule(path)) {
    std::printf("parameters: (run the Windows plughost to list them)\n");
    return;
  }
#endif
  auto effect = LoadEffect(path);
  if (!effect) return;
  UiScript script;
  effect->module->AttachHeadless(script.HeadlessHost());
  Progress progress(Progress::Mode::Quiet);
  {
    EffectSession s(*effect->module, effect->entry, progress, script);
    if (s.Send(PF_Cmd_GLOBAL_SETUP) == PF_Err_NONE && s.Send(PF_Cmd_PARAMS_SETUP) == PF_Err_NONE) {
      const auto& params = s.Params();
      std::printf("parameters: %zu (num_params %d)\n", params.size(), s.Out().num_params);
      for (size_t i = 0; i < params.size(); ++i) std::printf("  %2zu %s\n", i, Describe(params[i]).c_str());
    } else {
      std::printf("parameters: (the effect's setup failed)\n");
    }
    s.Send(PF_Cmd_GLOBAL_SETDOWN);
  }
  effect->module->AttachHeadless(nullptr);
}

}  // namespace plughost
