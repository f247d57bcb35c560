// plughost: runs Photoshop filter plug-ins from the command line.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "plughost/aete.h"
#include "effect_command.h"
#include "plughost/filter_host.h"
#include "plughost/image.h"
#include "plughost/module.h"
#include "plughost/pipl.h"
#include "plughost/progress.h"
#include "plughost/properties.h"
#include "plughost/results.h"
#include "plughost/scripting_cli.h"
#include "plughost/ui_script.h"
#include "open_command.h"
#include "parse_whole.h"

using namespace plughost;

namespace {

const char kUsage[] =
    "usage:\n"
    "  plughost info PLUGIN\n"
    "  plughost filter PLUGIN IN.png [-o OUT.png] [options]\n"
    "                          (without -o the image is not written: for filters that leave it alone)\n"
    "  plughost open PLUGIN FILE... -o OUT [options]\n"
    "  plughost effect PLUGIN IN.png -o OUT.png [options]   (After Effects effects; effect --help)\n"
    "  plughost about PLUGIN [--answer A | --interactive] [--snapshot FILE.png] [--withhold-suite NAME]\n"
    "\n"
    "filter options:\n"
    "  --background            the image is a background layer (no transparency)\n"
    "  --selection MASK.png    filter inside a selection (grey mask, 0 = outside)\n"
    "  --filter-case N         override the filter case (1 to 7)\n"
    "  --about                 show the plug-in's about box first\n"
    "  --answer A              answer the next dialog: a button id, 'close' or 'default'\n"
    "                          (repeat for later dialogs; unanswered dialogs get 'default')\n"
    "  --ui FILE               play a dialog session from FILE, one action a line, taken in\n"
    "                          order by whichever dialog waits (after any --answer before it):\n"
    "                            press ID | set ID TEXT | pick ID N (entries from 0)\n"
    "                            read ID | list ID | place ID | tip ID   (reported on stderr)\n"
    "                            mouse ID down|move|up X Y [ctrl] [shift] | size W H\n"
    "                            move ID X Y (drag window ID to screen pixel X, Y: 0 the\n"
    "                            dialog, else one of its own windows by number)\n"
    "                            close | default | busy ACTION (while the plug-in works)\n"
    "                          lines starting with # are comments; then every dialog gets Enter\n"
    "  --save-as PATH          answer the system save-file dialog with PATH (else: cancel)\n"
    "  --cancel-after ROWS     the user cancels once ROWS rows have been delivered\n"
    "  --advance-error N       the Nth advanceState call fails (out of memory)\n"
    "  --no-buffer-suite       withhold the buffer suite\n"
    "  --no-handle-suite       withhold the handle suite\n"
    "  --no-advance-state      withhold advanceState (the host drives every row)\n"
    "  --foreground RRGGBB     foreground colour (default 000000)\n"
    "  --background-colour RRGGBB  background colour (default FFFFFF)\n"
    "  --memory MB             memory the host offers (default 1024)\n"
    "  --host-version X.Y.Z    the host version plug-ins are told (default 13.0.0)\n"
    "  --progress bar|log|quiet  how to show progress (default: bar on a terminal)\n"
    "  --write-partial         write the image even when the plug-in fails\n"
    "  --alpha NAME=FILE.png   add an alpha channel (grey image of the same size; repeatable)\n"
    "  --layer-mask FILE.png   add a layer mask; --inverted-layer-mask FILE.png an inverted one\n"
    "  --resolution DPI        the document's resolution (default 72)\n"
    "  --parameters FILE       the plug-in's parameters handle: loaded before the run when FILE\n"
    "                          exists, stored after it (what a host keeps to repeat a filter)\n"
    "  --repeat                repeat the last filter: no parameters selector before start\n"
    "  --alloc-error N         refuse the Nth handle or buffer the plug-in asks for\n";

int Usage(const char* why) {
  if (why) std::fprintf(stderr, "plughost: %s\n", why);
  std::fputs(kUsage, stderr);
  std::fputs(kInteractiveHelp, stderr);
  std::fputs(kOpenUsage, stderr);
  std::fputs(kScriptingHelp, stderr);
  return kExitUsage;
}

bool ParseColour(const char* s, uint8_t (&rgb)[3]) {
  if (std::strlen(s) != 6) return false;
  char* end = nullptr;
  unsigned long v = std::strtoul(s, &end, 16);
  if (*end) return false;
  rgb[0] = static_cast<uint8_t>(v >> 16);
  rgb[1] = static_cast<uint8_t>(v >> 8);
  rgb[2] = static_cast<uint8_t>(v);
  return true;
}

int Info(const std::string& path) {
  PluginFileInfo info = ReadPluginFile(path);
  const Pipl& p = info.pipl;
  const Arch arch = info.arch.value_or(kHostArch);
  std::printf("file: %s\n", path.c_str());
  std::printf("format: %s\n", info.format.c_str());
  std::printf("kind: %s\n", p.Kind() ? FourCCText(*p.Kind()).c_str() : "(none)");
  std::printf("name: %s\n", p.Name().value_or("(none)").c_str());
  std::printf("category: %s\n", p.Category().value_or("(none)").c_str());
  const auto entry = p.EntryPoint(arch);
  std::printf("entry: %s\n", entry.value_or("(none)").c_str());
  if (!info.exports.empty()) {
    std::string list;
    bool found = false;
    for (const auto& e : info.exports) {
      list += (list.empty() ? "" : ", ") + e;
      found = found || (entry && e == *entry);
    }
    std::printf("exports: %s\n", list.c_str());
    if (entry && !found) std::printf("warning: the entry point is not exported\n");
  }
  std::printf("PiPL 16000: %zu properties, %zu bytes\n", p.properties.size(), info.piplBytes.size());
  for (const auto& prop : p.properties) std::printf("  %s\n", DescribeProperty(prop).c_str());
  if (!info.aeteBytes.empty()) {
    std::printf("terminology: %zu bytes\n", info.aeteBytes.size());
    try {
      for (const auto& line : DescribeAete(info.aeteBytes)) std::printf("  %s\n", line.c_str());
    } catch (const std::exception& e) {
      std::printf("  damaged: %s\n", e.what());
    }
  }
  if (p.Kind() && *p.Kind() == FourCC("eFKT")) PrintEffectInfo(path, info);
  return entry ? 0 : kExitLoad;
}

int Filter(int argc, char** argv) {
  if (argc < 2) return Usage("filter needs PLUGIN and IN.png");
  const std::string pluginPath = argv[0], inPath = argv[1];
  std::string outPath, parametersPath;
  std::vector<std::pair<FilterOptions::ExtraPlane, std::string>> extraPlaneFiles;
  FilterOptions opt;
  UiCommandLine ui;
  Progress::Mode progressMode = Progress::Mode::Auto;
  bool writePartial = false;
  ScriptingCommandLine scripting;
  std::string why;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](const char* what) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "plughost: %s needs %s\n", a.c_str(), what);
        return nullptr;
      }
      return argv[++i];
    };
    const char* v = nullptr;
    if (a == "-o") {
      if (!(v = value("a file name"))) return Usage(nullptr);
      outPath = v;
    } else if (a == "--background") {
      opt.background = true;
    } else if (a == "--about") {
      opt.showAbout = true;
    } else if (a == "--selection") {
      if (!(v = value("a mask file"))) return Usage(nullptr);
      try {
        opt.selection = ReadPng(v);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "plughost: %s\n", e.what());
        return kExitInput;
      }
    } else if (a == "--filter-case") {
      if (!(v = value("a number"))) return Usage(nullptr);
      int64_t fc = 0;
      if (!ParseWhole(v, 1, 7, fc)) return Usage("--filter-case takes 1 to 7");
      opt.filterCase = static_cast<int16_t>(fc);
    } else if (auto uiTook = ui.Take(argc, argv, i, why); uiTook != UiCommandLine::Arg::NotOurs) {
      if (uiTook == UiCommandLine::Arg::Bad) return Usage(why.c_str());
      if (uiTook == UiCommandLine::Arg::BadFile) {
        std::fprintf(stderr, "plughost: %s\n", why.c_str());
        return kExitUsage;
      }
    } else if (a == "--cancel-after") {
      if (!(v = value("a row count"))) return Usage(nullptr);
      int64_t n = 0;
      if (!ParseWhole(v, 0, INT32_MAX, n)) return Usage("--cancel-after takes a row count");
      opt.cancelAfterRows = static_cast<int32_t>(n);
    } else if (a == "--advance-error") {
      if (!(v = value("a call number"))) return Usage(nullptr);
      int64_t n = 0;
      if (!ParseWhole(v, 1, INT32_MAX, n)) return Usage("--advance-error takes a call number from 1");
      opt.advanceErrorAt = static_cast<int32_t>(n);
    } else if (a == "--no-buffer-suite") {
      opt.withholdBufferProcs = true;
    } else if (a == "--no-handle-suite") {
      opt.withholdHandleProcs = true;
    } else if (a == "--no-advance-state") {
      opt.withholdAdvanceState = true;
    } else if (a == "--foreground" || a == "--background-colour") {
      if (!(v = value("a colour RRGGBB"))) return Usage(nullptr);
      if (!ParseColour(v, a == "--foreground" ? opt.foreground : opt.background_colour))
        return Usage("colours are six hex digits, RRGGBB");
    } else if (a == "--memory") {
      if (!(v = value("megabytes"))) return Usage(nullptr);
      int64_t mb = 0;
      if (!ParseWhole(v, 0, 1 << 20, mb)) return Usage("--memory takes megabytes");
      opt.memoryLimit = mb << 20;
    } else if (a == "--host-version") {
      if (!(v = value("a version"))) return Usage(nullptr);
      if (!HostProperties::ParseVersion(v, opt.hostVersion)) return Usage("--host-version takes MAJOR[.MINOR[.FIX]]");
    } else if (a == "--progress") {
      if (!(v = value("bar, log or quiet"))) return Usage(nullptr);
      const std::string m = v;
      if (m != "bar" && m != "log" && m != "quiet") return Usage("--progress takes bar, log or quiet");
      progressMode = m == "bar" ? Progress::Mode::Bar : m == "log" ? Progress::Mode::Log : Progress::Mode::Quiet;
    } else if (a == "--write-partial") {
      writePartial = true;
    } else if (auto took = scripting.Take(argc, argv, i, why); took != ScriptingCommandLine::Arg::NotOurs) {
      if (took == ScriptingCommandLine::Arg::Bad) return Usage(why.c_str());
    } else if (a == "--alpha" || a == "--layer-mask" || a == "--inverted-layer-mask") {
      if (!(v = value(a == "--alpha" ? "NAME=FILE.png" : "a grey image"))) return Usage(nullptr);
      FilterOptions::ExtraPlane plane;
      std::string file = v;
      if (a == "--alpha") {
        const size_t eq = file.find('=');
        if (eq == std::string::npos || eq == 0) return Usage("--alpha takes NAME=FILE.png");
        plane.name = file.substr(0, eq);
        file = file.substr(eq + 1);
      }
      plane.kind = a == "--alpha"         ? FilterOptions::ExtraPlane::Kind::Alpha
                   : a == "--layer-mask" ? FilterOptions::ExtraPlane::Kind::LayerMask
                                         : FilterOptions::ExtraPlane::Kind::InvertedLayerMask;
      extraPlaneFiles.emplace_back(std::move(plane), file);
    } else if (a == "--resolution") {
      if (!(v = value("dots per inch"))) return Usage(nullptr);
      int64_t dpi = 0;
      if (!ParseWhole(v, 1, 32767, dpi)) return Usage("--resolution takes 1 to 32767 dots per inch");
      opt.resolution = static_cast<int32_t>(dpi);
    } else if (a == "--parameters") {
      if (!(v = value("a file name"))) return Usage(nullptr);
      parametersPath = v;
    } else if (a == "--repeat") {
      opt.repeat = true;
    } else if (a == "--alloc-error") {
      if (!(v = value("an allocation number"))) return Usage(nullptr);
      int64_t n = 0;
      if (!ParseWhole(v, 1, INT32_MAX, n)) return Usage("--alloc-error takes an allocation number from 1");
      opt.allocationErrorAt = static_cast<int32_t>(n);
    } else {
      return Usage(("unknown option " + a).c_str());
    }
  }
  if (const std::string refused = ui.Conflict(); !refused.empty()) {
    std::fprintf(stderr, "plughost: %s\n", refused.c_str());
    return kExitUsage;
  }
  if (int status = scripting.LoadPlayback()) return status;
  opt.scripting = scripting.options;
  opt.title = inPath.substr(inPath.find_last_of("/\\") + 1);

  Image image;
  try {
    image = ReadPng(inPath);
    for (auto& e : extraPlaneFiles) {
      e.first.image = ReadPng(e.second);
      opt.extraPlanes.push_back(std::move(e.first));
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "plughost: %s\n", e.what());
    return kExitInput;
  }
  for (const auto& e : opt.extraPlanes)
    if (e.image.width != image.width || e.image.height != image.height) {
      std::fprintf(stderr, "plughost: extra plane %s is %dx%d, the image %dx%d\n", e.name.empty() ? "(mask)" : e.name.c_str(),
                   e.image.width, e.image.height, image.width, image.height);
      return kExitUsage;
    }
  if (!parametersPath.empty()) {
    std::ifstream in(parametersPath, std::ios::binary);
    if (in) opt.parameters = std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  if (opt.background) {
    image.hasAlpha = false;
    for (size_t i = 3; i < image.rgba.size(); i += 4) image.rgba[i] = 255;
  }
#ifndef _WIN32
  if (IsWindowsModule(pluginPath)) {
    std::fprintf(stderr, "plughost: %s is a Windows plug-in; run it with the Windows plughost (under Wine here)\n",
                 pluginPath.c_str());
    return kExitLoad;
  }
#endif
  std::unique_ptr<PluginModule> module;
  try {
    module = PluginModule::Load(pluginPath);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "plughost: %s\n", e.what());
    return kExitLoad;
  }
  auto piplBytes = module->Resource("PIPL", 16000);
  if (!piplBytes) {
    std::fprintf(stderr, "plughost: %s has no PiPL resource\n", pluginPath.c_str());
    return kExitLoad;
  }
  Pipl pipl = ParsePipl(piplBytes->data(), piplBytes->size());
  if (!pipl.Kind() || *pipl.Kind() != FourCC("8BFM")) {
    std::fprintf(stderr, "plughost: %s is not a filter plug-in\n", pluginPath.c_str());
    return kExitLoad;
  }
  auto entry = pipl.EntryPoint(kHostArch);
  if (!entry) {
    std::fprintf(stderr, "plughost: the PiPL names no entry point for this architecture\n");
    return kExitLoad;
  }
  const std::string name = pipl.Name().value_or(pluginPath);

  UiScript script(ui.actions);
  ui.Configure(script);
  module->AttachHeadless(script.HeadlessHost());
#ifdef _WIN32
  UiScript::Win32Hook hook(script);
#endif
  Progress progress(progressMode);
  FilterOutcome out = RunFilter(*module, *entry, image, opt, progress);
  module->AttachHeadless(nullptr);
  if (out.leftoverBuffers)
    std::fprintf(stderr, "plughost: warning: %s left %zu buffers allocated\n", name.c_str(), out.leftoverBuffers);
  if (out.leftoverHandles)
    std::fprintf(stderr, "plughost: warning: %s left %zu handles allocated\n", name.c_str(), out.leftoverHandles);
  if (!parametersPath.empty() && out.parameters) {
    std::ofstream keep(parametersPath, std::ios::binary | std::ios::trunc);
    keep.write(reinterpret_cast<const char*>(out.parameters->data()), static_cast<std::streamsize>(out.parameters->size()));
    if (!keep) std::fprintf(stderr, "plughost: warning: cannot store the parameters in %s\n", parametersPath.c_str());
  }
  if (out.result != 0) {
    std::fprintf(stderr, "plughost: %s: %s (during %s)\n", name.c_str(), ResultMessage(out.result).c_str(),
                 out.selector.c_str());
    if (writePartial && !outPath.empty()) WritePng(outPath, image);
    else if (!outPath.empty()) std::fprintf(stderr, "plughost: no output written\n");
    return ExitStatusFor(out.result);
  }
  // The recording first: a step that cannot be recorded leaves no image behind either.
  if (int status = scripting.SaveRecording(out.recorded, name)) {
    std::fprintf(stderr, "plughost: no output written\n");
    return status;
  }
  if (outPath.empty()) {
    std::printf("plughost: %s: done\n", name.c_str());
    return 0;
  }
  WritePng(outPath, image);
  std::printf("plughost: %s: wrote %s\n", name.c_str(), outPath.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  // The same bytes on every platform: no carriage returns added to what scripts read.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
  if (argc < 2) return Usage(nullptr);
  const std::string cmd = argv[1];
  try {
    if (cmd == "info" && argc == 3) return Info(argv[2]);
    if (cmd == "filter") return Filter(argc - 2, argv + 2);
    if (cmd == "open") return OpenCommand(argc - 2, argv + 2, argv[0]);
    if (cmd == "effect") return EffectCommand(argc - 2, argv + 2);
    if (cmd == "about") return AboutCommand(argc - 2, argv + 2);
    if (cmd == "--help" || cmd == "-h") {
      std::fputs(kUsage, stdout);
      std::fputs(kInteractiveHelp, stdout);
      std::fputs(kOpenUsage, stdout);
      std::fputs(kScriptingHelp, stdout);
      return 0;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "plughost: %s\n", e.what());
    return kExitLoad;
  }
  return Usage(("unknown command " + cmd).c_str());
}
