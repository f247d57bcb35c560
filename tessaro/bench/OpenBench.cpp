// Whole processes on an 8-megapixel packed file at the default settings, side by side in one
// run: `plughost open` through the plug-in against `mrwdump convert` of the same file to the
// same kind of file (the defaults' 24-bit TIFF, deflate at zlib's default level), and the
// browser preview (`plughost open --preview`, the one-eighth image from the raw data)
// against the full open. Prints the two ratios.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "MrwWriter.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr std::uint16_t kWidth = 3264, kHeight = 2448;  // 7.99 megapixels, a DiMAGE A2 frame

struct Setup {
  fs::path dir, mrw, plugin;
};

const Setup& Files() {
  static const Setup s = [] {
    Setup r;
    r.dir = fs::temp_directory_path() / ("tessaro_openbench_" + std::to_string(::getpid()));
    fs::create_directories(r.dir);
    tessaro::testing::MrwLayout l = tessaro::testing::SampleLayout();
    l.width = kWidth;
    l.height = kHeight;
    l.samples = tessaro::testing::TestSamples(kWidth, kHeight);
    r.mrw = r.dir / "frame.mrw";
    if (!tessaro::testing::WriteFile(r.mrw.string(), tessaro::testing::WriteMrw(l).bytes)) std::abort();
    // A copy of the plug-in with a settings file of its own: no dialog, no thumbnail for the
    // preview, every conversion setting at its built-in default.
    r.plugin = r.dir / fs::path(TESSARO_MODULE).filename();
    fs::copy_file(TESSARO_MODULE, r.plugin);
    std::ofstream(r.dir / "Tessaro.ini") << "[GeneralSettings]\nDisplayUI = 0\nUseInternalThumbnails = 0\n";
    return r;
  }();
  return s;
}

// Runs a child to its end; false unless it ends with status 0. Adds its CPU seconds to *cpu.
bool Run(const std::vector<std::string>& args, double* cpu) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) return false;
  int status = 0;
  struct rusage use {};
  wait4(pid, &status, 0, &use);
  *cpu += double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) + double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_MrwdumpConvert(benchmark::State& state) {
  const Setup& f = Files();
  double cpu = 0;
  for (auto _ : state)
    if (!Run({MRWDUMP, "convert", f.mrw.string(), "-o", (f.dir / "m.tif").string()}, &cpu))
      state.SkipWithError("mrwdump failed");
  state.counters["child_cpu_ms"] = 1000 * cpu / double(state.iterations());
}
BENCHMARK(BM_MrwdumpConvert)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_PlughostOpen(benchmark::State& state) {
  const Setup& f = Files();
  double cpu = 0;
  for (auto _ : state)
    if (!Run({PLUGHOST, "open", f.plugin.string(), f.mrw.string(), "-o", (f.dir / "p.tif").string(), "--progress",
              "quiet"}, &cpu))
      state.SkipWithError("plughost failed");
  state.counters["child_cpu_ms"] = 1000 * cpu / double(state.iterations());
}
BENCHMARK(BM_PlughostOpen)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_PlughostPreview(benchmark::State& state) {
  const Setup& f = Files();
  double cpu = 0;
  for (auto _ : state)
    if (!Run({PLUGHOST, "open", f.plugin.string(), f.mrw.string(), "-o", (f.dir / "v.tif").string(), "--preview",
              "--progress", "quiet"}, &cpu))
      state.SkipWithError("plughost --preview failed");
  state.counters["child_cpu_ms"] = 1000 * cpu / double(state.iterations());
}
BENCHMARK(BM_PlughostPreview)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration) {
        ms[r.run_name.function_name] = r.GetAdjustedRealTime();
        const auto c = r.counters.find("child_cpu_ms");
        if (c != r.counters.end()) cpu[r.run_name.function_name] = c->second.value;
      }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> ms, cpu;
};

}  // namespace

int main(int argc, char** argv) {
  Files();
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (auto* m : {&reporter.cpu, &reporter.ms}) {
    const char* by = m == &reporter.cpu ? "CPU" : "wall";
    auto& t = *m;
    if (t.count("BM_PlughostOpen") && t.count("BM_MrwdumpConvert") && t["BM_MrwdumpConvert"] > 0)
      std::printf("%s: plughost open / mrwdump convert: %.3f (goal <= 1.10)\n", by,
                  t["BM_PlughostOpen"] / t["BM_MrwdumpConvert"]);
    if (t.count("BM_PlughostPreview") && t.count("BM_PlughostOpen") && t["BM_PlughostOpen"] > 0)
      std::printf("%s: plughost open --preview / plughost open: %.3f (goal <= 0.05)\n", by,
                  t["BM_PlughostPreview"] / t["BM_PlughostOpen"]);
  }
  std::error_code ec;
  fs::remove_all(Files().dir, ec);
  benchmark::Shutdown();
  return 0;
}
