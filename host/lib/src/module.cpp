#include "plughost/module.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "pe_image.h"

namespace plughost {

#ifdef _WIN32
std::unique_ptr<PluginModule> PluginModule::Load(const std::string& path) {
  HMODULE h = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!h) throw std::runtime_error(path + ": cannot load (Windows error " + std::to_string(GetLastError()) + ")");
  return std::unique_ptr<PluginModule>(new PluginModule(h, path));
}
PluginModule::~PluginModule() { FreeLibrary(static_cast<HMODULE>(handle_)); }
void* PluginModule::Symbol(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}
std::optional<std::vector<uint8_t>> PluginModule::Resource(const char* type, int32_t id) const {
  HMODULE h = static_cast<HMODULE>(handle_);
  HRSRC r = FindResourceA(h, MAKEINTRESOURCEA(id), type);
  if (!r) return std::nullopt;
  HGLOBAL g = LoadResource(h, r);
  const auto* p = static_cast<const uint8_t*>(LockResource(g));
  if (!p) return std::nullopt;
  return std::vector<uint8_t>(p, p + SizeofResource(h, r));
}
void PluginModule::AttachHeadless(const QmHeadlessHost*) const {}
#else
std::unique_ptr<PluginModule> PluginModule::Load(const std::string& path) {
  // A bare name would be searched on the library path; plug-ins are always named by path.
  std::string p = path.find('/') == std::string::npos ? "./" + path : path;
  void* h = dlopen(p.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) throw std::runtime_error(std::string("cannot load: ") + dlerror());
  return std::unique_ptr<PluginModule>(new PluginModule(h, path));
}
PluginModule::~PluginModule() { dlclose(handle_); }
void* PluginModule::Symbol(const char* name) const { return dlsym(handle_, name); }
std::optional<std::vector<uint8_t>> PluginModule::Resource(const char* type, int32_t id) const {
  using Fn = int32_t (*)(const char*, int32_t, const void**, uint32_t*);
  auto fn = reinterpret_cast<Fn>(Symbol("QmModuleResource"));
  const void* data = nullptr;
  uint32_t size = 0;
  if (!fn || !fn(type, id, &data, &size)) return std::nullopt;
  const auto* p = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(p, p + size);
}
void PluginModule::AttachHeadless(const QmHeadlessHost* host) const {
  using Fn = void (*)(const QmHeadlessHost*);
  if (auto fn = reinterpret_cast<Fn>(Symbol("QmHeadlessAttach"))) fn(host);
}
#endif

PluginFileInfo ReadPluginFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(path + ": cannot open");
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  PluginFileInfo info;
  if (bytes.size() >= 2 && bytes[0] == 'M' && bytes[1] == 'Z') {
    std::string why;
    auto pe = qm::host::pe::PeImage::Parse(std::span<const uint8_t>(bytes), &why);
    if (!pe) throw std::runtime_error(path + ": not a valid PE file (" + why + ")");
    const bool x64 = pe->machine() == qm::host::pe::Machine::Amd64;
    info.arch = x64 ? Arch::X64 : Arch::X86;
    info.format = std::string(x64 ? "PE32+ x86-64" : "PE32 i386") + (pe->is_dll() ? " DLL" : " executable");
    for (const auto& e : pe->exports().names) info.exports.push_back(e.name);
    auto res = pe->find_resource(qm::host::pe::ResourceKey::named("PIPL"), qm::host::pe::ResourceKey::id(16000));
    if (!res) throw std::runtime_error(path + ": no PiPL resource 16000");
    info.piplBytes.assign(res->begin(), res->end());
    info.pipl = ParsePipl(info.piplBytes.data(), info.piplBytes.size());
    if (auto id = info.pipl.TerminologyId())
      if (auto aete = pe->find_resource(qm::host::pe::ResourceKey::named("AETE"),
                                        qm::host::pe::ResourceKey::id(static_cast<uint16_t>(*id))))
        info.aeteBytes.assign(aete->begin(), aete->end());
  } else {
#ifdef _WIN32
    throw std::runtime_error(path + ": not a Windows plug-in");
#else
    auto module = PluginModule::Load(path);
    auto res = module->Resource("PIPL", 16000);
    if (!res) throw std::runtime_error(path + ": no PiPL resource 16000");
    info.format = "native shared library";
    info.arch = kHostArch;
    info.piplBytes = std::move(*res);
    info.pipl = ParsePipl(info.piplBytes.data(), info.piplBytes.size());
    if (auto id = info.pipl.TerminologyId())
      if (auto aete = module->Resource("AETE", *id)) info.aeteBytes = std::move(*aete);
#endif
  }
  return info;
}

bool IsWindowsModule(const std::string& path) {
  char mz[2] = {};
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  const bool is = std::fread(mz, 1, 2, f) == 2 && mz[0] == 'M' && mz[1] == 'Z';
  std::fclose(f);
  return is;
}

}  // namespace plughost
