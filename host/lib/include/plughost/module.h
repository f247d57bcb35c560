#pragma once
// A loaded plug-in module: a DLL on Windows, a shared library natively.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/headless.h"
#include "plughost/pipl.h"

namespace plughost {

// The architecture this host runs plug-ins for.
#if UINTPTR_MAX > 0xFFFFFFFFu
constexpr Arch kHostArch = Arch::X64;
#else
constexpr Arch kHostArch = Arch::X86;
#endif

// True when the file begins as a Windows executable does ("MZ"): such a plug-in is for the
// Windows plughost, and the native one says so instead of failing to load it.
bool IsWindowsModule(const std::string& path);

class PluginModule {
 public:
  // Throws std::runtime_error with the system's reason when the file cannot be loaded.
  static std::unique_ptr<PluginModule> Load(const std::string& path);
  ~PluginModule();
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  void* Symbol(const char* name) const;
  std::optional<std::vector<uint8_t>> Resource(const char* type, int32_t id) const;
  // Native modules take the host's answers to their dialogs; Windows modules show real ones.
  void AttachHeadless(const QmHeadlessHost* host) const;
  const std::string& Path() const { return path_; }

 private:
  PluginModule(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
  void* handle_;
  std::string path_;
};

// What `plughost info` tells about a plug-in file without running it. PE files are read
// directly (so x86 DLLs can be checked on any machine); native modules are loaded.
struct PluginFileInfo {
  std::string format;                // e.g. "PE32 i386 DLL", "native shared library"
  std::optional<Arch> arch;
  std::vector<std::string> exports;  // empty when unknown (native)
  std::vector<uint8_t> piplBytes;
  Pipl pipl;
  std::vector<uint8_t> aeteBytes;    // the terminology the PiPL names; empty when none
};
PluginFileInfo ReadPluginFile(const std::string& path);

}  // namespace plughost
