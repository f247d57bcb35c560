// plughost open: the format host's command. One file is read in this process; several are
// read one after the other, or by up to N worker processes (plug-ins start no threads, so a
// host that wants parallel reads runs several processes, each a plughost reading one file).
#include "open_command.h"
#include "parse_whole.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "plughost/format_host.h"
#include "plughost/module.h"
#include "plughost/pipl.h"
#include "plughost/progress.h"
#include "plughost/properties.h"
#include "plughost/raster_out.h"
#include "plughost/results.h"
#include "plughost/scripting_cli.h"
#include "plughost/ui_script.h"

namespace plughost {

const char kOpenUsage[] =
    "  plughost open PLUGIN FILE... -o OUT [options]\n"
    "\n"
    "open options (OUT is a file for one FILE, a folder for several):\n"
    "  --format tiff|png       output format (default: from OUT's extension, else tiff)\n"
    "  --preview               open for the file browser's preview (openForPreview)\n"
    "  --rotate 0-3            quarter turns clockwise asked of the plug-in\n"
    "  --no-16bit              the host does not take 16-bit RGB\n"
    "  --no-icc                the host takes no colour profile\n"
    "  -j N                    read several files with up to N worker processes\n"
    "  --answer A              answer the next dialog (as for filter)\n"
    "  --ui FILE               a scripted dialog session (as for filter)\n"
    "  --interactive           a person answers the dialogs (as for filter; not with -j)\n"
    "  --cancel-after ROWS     the user cancels once ROWS rows have been delivered\n"
    "  --advance-error N       the Nth advanceState call fails (out of memory)\n"
    "  --fail-alloc N          the Nth handle or buffer the plug-in asks for is refused\n"
    "  --count-alloc           tell how many handles and buffers the plug-in asked for\n"
    "  --no-buffer-suite, --no-handle-suite, --no-advance-state   withhold them\n"
    "  --memory MB, --host-version X.Y.Z, --progress bar|log|quiet   as for filter\n"
    "  --descriptor FILE, --record FILE, --show-dialog, --no-scripting   as for filter\n";

namespace {

int UsageError(const std::string& why) {
  std::fprintf(stderr, "plughost: %s\n", why.c_str());
  std::fprintf(stderr, "usage:\n%s", kOpenUsage);
  return kExitUsage;
}

bool IsDirectory(const std::string& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == S_IFDIR;
}

std::string BaseName(const std::string& p) {
  const size_t slash = p.find_last_of("/\\");
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string Stem(const std::string& p) {
  std::string b = BaseName(p);
  const size_t dot = b.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? b : b.substr(0, dot);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return s;
}

struct OpenJob {
  std::string plugin;
  std::vector<std::string> files;
  std::string out;
  std::string format;  // "tiff", "png" or empty
  int workers = 1;
  FormatOptions options;
  UiCommandLine ui;
  Progress::Mode progress = Progress::Mode::Auto;
  std::vector<std::string> passOn;  // the options again, for workers
  bool countAllocations = false;
  ScriptingCommandLine scripting;
};

// Reads one file into `outPath`. Returns plughost's exit status.
int OpenOne(const OpenJob& job, const std::string& file, const std::string& outPath, const std::string& format) {
  {
    std::FILE* probe = std::fopen(file.c_str(), "rb");
    if (!probe) {
      std::fprintf(stderr, "plughost: %s: cannot open (%s)\n", file.c_str(), std::strerror(errno));
      return kExitInput;
    }
    std::fclose(probe);
  }
  std::unique_ptr<PluginModule> module;
  try {
    module = PluginModule::Load(job.plugin);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "plughost: %s\n", e.what());
    return kExitLoad;
  }
  auto piplBytes = module->Resource("PIPL", 16000);
  if (!piplBytes) {
    std::fprintf(stderr, "plughost: %s has no PiPL resource\n", job.plugin.c_str());
    return kExitLoad;
  }
  Pipl pipl;
  try {
    pipl = ParsePipl(piplBytes->data(), piplBytes->size());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "plughost: %s: %s\n", job.plugin.c_str(), e.what());
    return kExitLoad;
  }
  if (!pipl.Kind() || *pipl.Kind() != FourCC("8BIF")) {
    std::fprintf(stderr, "plughost: %s is not a file-format plug-in\n", job.plugin.c_str());
    return kExitLoad;
  }
  auto entry = pipl.EntryPoint(kHostArch);
  if (!entry) {
    std::fprintf(stderr, "plughost: the PiPL names no entry point for this architecture\n");
    return kExitLoad;
  }
  const std::string name = pipl.Name().value_or(job.plugin);

  UiScript script(job.ui.actions);
  job.ui.Configure(script);
  module->AttachHeadless(script.HeadlessHost());
#ifdef _WIN32
  UiScript::Win32Hook hook(script);
#endif
  Progress progress(job.progress);
  FormatOutcome out;
  try {
    out = RunFormatRead(*module, *entry, file, job.options, progress);
  } catch (const std::exception& e) {
    module->AttachHeadless(nullptr);
    std::fprintf(stderr, "plughost: %s\n", e.what());
    return kExitLoad;
  }
  module->AttachHeadless(nullptr);
  if (job.countAllocations)
    std::fprintf(stderr, "plughost: %s asked for %d handles and buffers\n", name.c_str(), out.allocations);
  if (out.leftoverBuffers || out.leftoverHandles)
    std::fprintf(stderr, "plughost: warning: %s left %zu buffers and %zu handles allocated\n", name.c_str(),
                 out.leftoverBuffers, out.leftoverHandles);
  if (out.refused) {
    std::fprintf(stderr, "plughost: %s: %s is not a file this plug-in reads (%s)\n", name.c_str(), file.c_str(),
                 ResultMessage(out.result).c_str());
    return kExitInput;
  }
  if (out.result != 0) {
    std::fprintf(stderr, "plughost: %s: %s: %s (during %s)\n", name.c_str(), file.c_str(),
                 ResultMessage(out.result).c_str(), out.selector.c_str());
    std::fprintf(stderr, "plughost: no output written\n");
    return ExitStatusFor(out.result);
  }
  // The recording first: a step that cannot be recorded leaves no image behind either.
  if (int status = job.scripting.SaveRecording(out.recorded, name)) {
    std::fprintf(stderr, "plughost: no output written\n");
    return status;
  }
  RasterExtras extras{out.icc, out.exif, out.resolution};
  try {
    if (format == "png") WriteRgbPng(outPath, out.image, extras);
    else WriteRgbTiff(outPath, out.image, extras);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "plughost: %s\n", e.what());
    return 9;
  }
  std::printf("plughost: %s: wrote %s (%dx%d, %d bits%s%s)\n", name.c_str(), outPath.c_str(), out.image.width,
              out.image.height, out.image.depth, out.icc.empty() ? "" : ", profile", out.exif.empty() ? "" : ", EXIF");
  std::fflush(stdout);
  return 0;
}

#ifdef _WIN32
std::string Quote(const std::string& a) {
  if (!a.empty() && a.find_first_of(" \t\"") == std::string::npos) return a;
  std::string q = "\"";
  size_t slashes = 0;
  for (char c : a) {
    if (c == '\\') {
      ++slashes;
      continue;
    }
    q.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
    slashes = 0;
    q += c;
  }
  q.append(slashes * 2, '\\');
  return q + "\"";
}
#endif

// Starts `self open ...` for one file; returns a process id, or -1.
intptr_t StartWorker(const char* self, const std::vector<std::string>& args) {
#ifdef _WIN32
  char exe[MAX_PATH];
  if (!GetModuleFileNameA(nullptr, exe, sizeof exe)) return -1;
  (void)self;
  std::vector<std::string> quoted;
  quoted.push_back(Quote(exe));
  for (const auto& a : args) quoted.push_back(Quote(a));
  std::vector<const char*> argv;
  for (const auto& a : quoted) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  return _spawnv(_P_NOWAIT, exe, argv.data());
#else
  std::vector<std::string> all{self};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    execv("/proc/self/exe", argv.data());
    execvp(self, argv.data());
    _exit(127);
  }
  return pid;
#endif
}

// Waits for one of the running workers; returns its id and exit status.
std::pair<intptr_t, int> WaitWorker(const std::vector<intptr_t>& running) {
#ifdef _WIN32
  std::vector<HANDLE> handles;
  for (intptr_t h : running) handles.push_back(reinterpret_cast<HANDLE>(h));
  const DWORD w = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
  const size_t i = w - WAIT_OBJECT_0 < handles.size() ? w - WAIT_OBJECT_0 : 0;
  DWORD code = 9;
  GetExitCodeProcess(handles[i], &code);
  CloseHandle(handles[i]);
  return {running[i], static_cast<int>(code)};
#else
  (void)running;
  int status = 0;
  pid_t pid;
  do pid = waitpid(-1, &status, 0);
  while (pid < 0 && errno == EINTR);
  if (pid < 0) return {-1, 9};
  return {pid, WIFEXITED(status) ? WEXITSTATUS(status) : 9};
#endif
}

int RunBatch(const OpenJob& job, const char* self, const std::vector<std::string>& outs,
             const std::vector<std::string>& formats) {
  std::vector<int> status(job.files.size(), 0);
  if (job.workers <= 1) {
    for (size_t i = 0; i < job.files.size(); ++i) status[i] = OpenOne(job, job.files[i], outs[i], formats[i]);
  } else {
    std::map<intptr_t, size_t> running;
    size_t next = 0;
    while (next < job.files.size() || !running.empty()) {
      while (next < job.files.size() && running.size() < static_cast<size_t>(job.workers)) {
        std::vector<std::string> args{"open", job.plugin, job.files[next], "-o", outs[next], "--format", formats[next]};
        args.insert(args.end(), job.passOn.begin(), job.passOn.end());
        const intptr_t id = StartWorker(self, args);
        if (id == -1) {
          std::fprintf(stderr, "plughost: cannot start a worker for %s\n", job.files[next].c_str());
          status[next] = 9;
        } else {
          running[id] = next;
        }
        ++next;
      }
      if (running.empty()) continue;
      std::vector<intptr_t> ids;
      for (const auto& [id, i] : running) ids.push_back(id);
      auto [id, code] = WaitWorker(ids);
      auto it = running.find(id);
      if (it == running.end()) {
        if (id == -1) break;
        continue;
      }
      status[it->second] = code;
      running.erase(it);
    }
  }
  int failed = 0, first = 0;
  for (int s : status)
    if (s != 0) {
      ++failed;
      if (!first) first = s;
    }
  if (job.files.size() > 1 && failed)
    std::fprintf(stderr, "plughost: %d of %zu files could not be opened\n", failed, job.files.size());
  return first;
}

}  // namespace

int OpenCommand(int argc, char** argv, const char* self) {
  if (argc < 2) return UsageError("open needs PLUGIN and FILE");
  OpenJob job;
  job.plugin = argv[0];
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](const char* what) -> const char* {
      if (i + 1 >= argc) return nullptr;
      (void)what;
      return argv[++i];
    };
    auto need = [&](const char* what) { return UsageError(a + " needs " + what); };
    const char* v = nullptr;
    long n = 0;
    // Options a worker needs as well are passed on to it.
    std::string uiWhy;
    auto passOn = [&](bool withValue) {
      job.passOn.push_back(a);
      if (withValue) job.passOn.push_back(v);
    };
    if (a == "-o") {
      if (!(v = value("a file or folder"))) return need("a file or folder");
      job.out = v;
    } else if (a == "--format") {
      if (!(v = value("tiff or png"))) return need("tiff or png");
      job.format = Lower(v);
      if (job.format == "tif") job.format = "tiff";
      if (job.format != "tiff" && job.format != "png") return UsageError("--format takes tiff or png");
    } else if (a == "-j") {
      if (!(v = value("a number")) || !ParseWhole(v, 1, 64, n)) return UsageError("-j takes 1 to 64 workers");
      job.workers = static_cast<int>(n);
    } else if (a == "--preview") {
      job.options.preview = true;
      passOn(false);
    } else if (a == "--rotate") {
      if (!(v = value("0-3")) || !ParseWhole(v, 0, 3, n)) return UsageError("--rotate takes 0 to 3");
      job.options.rotation = static_cast<int32_t>(n);
      passOn(true);
    } else if (a == "--no-16bit") {
      job.options.offer16Bit = false;
      passOn(false);
    } else if (a == "--no-icc") {
      job.options.offerIcc = false;
      passOn(false);
    } else if (auto took = job.ui.Take(argc, argv, i, uiWhy, UiCommandLine::kAnswer | UiCommandLine::kScript);
               took != UiCommandLine::Arg::NotOurs) {
      if (took == UiCommandLine::Arg::Bad) return UsageError(uiWhy);
      if (took == UiCommandLine::Arg::BadFile) {
        std::fprintf(stderr, "plughost: %s\n", uiWhy.c_str());
        return kExitUsage;
      }
      // Workers answer as this process would.
      job.passOn.push_back(a);
      if (a != "--interactive") job.passOn.push_back(argv[i]);
    } else if (a == "--cancel-after") {
      if (!(v = value("rows")) || !ParseWhole(v, 0, INT32_MAX, n)) return UsageError("--cancel-after takes a row count");
      job.options.cancelAfterRows = static_cast<int32_t>(n);
      passOn(true);
    } else if (a == "--advance-error") {
      if (!(v = value("n")) || !ParseWhole(v, 1, INT32_MAX, n))
        return UsageError("--advance-error takes a call number from 1");
      job.options.advanceErrorAt = static_cast<int32_t>(n);
      passOn(true);
    } else if (a == "--fail-alloc") {
      if (!(v = value("n")) || !ParseWhole(v, 1, INT32_MAX, n))
        return UsageError("--fail-alloc takes a request number from 1");
      job.options.failAllocationAt = static_cast<int32_t>(n);
      passOn(true);
    } else if (a == "--count-alloc") {
      job.countAllocations = true;
      passOn(false);
    } else if (a == "--no-buffer-suite") {
      job.options.withholdBufferProcs = true;
      passOn(false);
    } else if (a == "--no-handle-suite") {
      job.options.withholdHandleProcs = true;
      passOn(false);
    } else if (a == "--no-advance-state") {
      job.options.withholdAdvanceState = true;
      passOn(false);
    } else if (a == "--memory") {
      if (!(v = value("megabytes")) || !ParseWhole(v, 0, 1 << 20, n)) return UsageError("--memory takes megabytes");
      job.options.memoryLimit = int64_t{n} << 20;
      passOn(true);
    } else if (a == "--host-version") {
      if (!(v = value("a version")) || !HostProperties::ParseVersion(v, job.options.hostVersion))
        return UsageError("--host-version takes MAJOR[.MINOR[.FIX]]");
      passOn(true);
    } else if (a == "--progress") {
      if (!(v = value("bar, log or quiet"))) return need("bar, log or quiet");
      const std::string m = v;
      if (m != "bar" && m != "log" && m != "quiet") return UsageError("--progress takes bar, log or quiet");
      job.progress = m == "bar" ? Progress::Mode::Bar : m == "log" ? Progress::Mode::Log : Progress::Mode::Quiet;
      passOn(true);
    } else if (std::string why; job.scripting.Take(argc, argv, i, why) != ScriptingCommandLine::Arg::NotOurs) {
      if (!why.empty()) return UsageError(why);
      // Workers play back the same descriptor; a recording is of one file only.
      if (a != "--record") {
        job.passOn.push_back(a);
        if (a == "--descriptor") job.passOn.push_back(argv[i]);
      }
    } else if (!a.empty() && a[0] == '-') {
      return UsageError("unknown option " + a);
    } else {
      job.files.push_back(a);
    }
  }
  if (job.files.empty()) return UsageError("open needs at least one FILE");
  if (const std::string refused = job.ui.Conflict(); !refused.empty()) {
    std::fprintf(stderr, "plughost: %s\n", refused.c_str());
    return kExitUsage;
  }
  // One person answers one dialog at a time.
  if (job.ui.interactive && job.workers > 1 && job.files.size() > 1) {
    std::fprintf(stderr, "plughost: --interactive reads the files one at a time; drop -j\n");
    return kExitUsage;
  }
  if (job.files.size() > 1 && !job.scripting.recordPath.empty())
    return UsageError("--record takes the settings of one file; open one file with it");
  if (int status = job.scripting.LoadPlayback()) return status;
  job.options.scripting = job.scripting.options;
  if (job.out.empty()) return UsageError("open needs -o OUT");

  // Where each file goes: OUT itself for one file (unless it is a folder), else OUT/<name>.<ext>.
  std::vector<std::string> outs, formats;
  const bool toFolder = job.files.size() > 1 || IsDirectory(job.out);
  if (toFolder && !IsDirectory(job.out))
    return UsageError("-o " + job.out + " must be an existing folder when several files are opened");
  std::map<std::string, size_t> taken;
  for (const std::string& f : job.files) {
    std::string fmt = job.format;
    std::string path;
    if (toFolder) {
      if (fmt.empty()) fmt = "tiff";
      std::string name = Stem(f) + (fmt == "png" ? ".png" : ".tif");
      if (taken[Lower(name)]++) return UsageError("two input files would both be written to " + name);
      path = job.out + "/" + name;
    } else {
      path = job.out;
      if (fmt.empty()) {
        const std::string ext = Lower(path.substr(path.find_last_of('.') == std::string::npos ? path.size()
                                                                                            : path.find_last_of('.')));
        fmt = ext == ".png" ? "png" : "tiff";
      }
    }
    outs.push_back(path);
    formats.push_back(fmt);
  }
  if (job.files.size() == 1) return OpenOne(job, job.files[0], outs[0], formats[0]);
  return RunBatch(job, self, outs, formats);
}

}  // namespace plughost
