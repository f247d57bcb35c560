#include "plughost/format_host.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "hostapi/PIAbout.h"
#include "hostapi/PIFormat.h"
#include "hostapi/SPBasic.h"
#include "plughost/host_memory.h"
#include "plughost/properties.h"
#include "plughost/sp_basic.h"
#include "pssupport/memory.h"

namespace plughost {
namespace {

using Entry = void(PI_CALL*)(int16_t, void*, intptr_t*, int16_t*);

class FormatSession;
FormatSession* g_format = nullptr;

// The host's open file, handed to the plug-in as the data fork.
class OpenFile {
 public:
  explicit OpenFile(const std::string& path) {
#ifdef _WIN32
    h_ = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
    if (h_ == INVALID_HANDLE_VALUE) throw std::runtime_error(path + ": cannot open");
#else
    fd_ = ::open(path.c_str(), O_RDONLY);
    if (fd_ < 0) throw std::runtime_error(path + ": cannot open");
#endif
  }
  ~OpenFile() {
#ifdef _WIN32
    CloseHandle(h_);
#else
    ::close(fd_);
#endif
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  intptr_t Fork() const {
#ifdef _WIN32
    return reinterpret_cast<intptr_t>(h_);
#else
    return fd_;
#endif
  }
  // Hosts hand every selector the file at its start.
  void Rewind() const {
#ifdef _WIN32
    LARGE_INTEGER zero{};
    SetFilePointerEx(h_, zero, nullptr, FILE_BEGIN);
#else
    ::lseek(fd_, 0, SEEK_SET);
#endif
  }

 private:
#ifdef _WIN32
  HANDLE h_ = INVALID_HANDLE_VALUE;
#else
  int fd_ = -1;
#endif
};

class FormatSession {
 public:
  FormatSession(const PluginModule& module, const OpenFile& file, const FormatOptions& opt, Progress& progress)
      : module_(module),
        opt_(opt),
        progress_(progress),
        properties_(opt.hostVersion, DocumentFacts{}, memory_),
        scripting_(memory_, opt.scripting) {
    memory_.SetLimit(opt.memoryLimit);
    SetUpRecord(file);
    g_format = this;
    BindMemorySuites(&memory_, [] { return g_format->AllocationRefused(); });
  }
  ~FormatSession() {
    BindMemorySuites(nullptr);
    g_format = nullptr;
  }

  FormatRecord& record() { return rec_; }
  HostMemory& memory() { return memory_; }
  SPBasicSuite* basic() { return suites_.Basic(); }
  FormatOutcome& out() { return out_; }
  ScriptingHost& scripting() { return scripting_; }

  // The plug-in asks for memory: the host may be told to refuse one request.
  bool AllocationRefused() { return ++out_.allocations == opt_.failAllocationAt; }

  // Takes the image's size and kind once read start has declared them.
  int16_t DeclareImage() {
    if (rec_.imageMode != plugInModeRGBColor || rec_.planes != 3 || (rec_.depth != 8 && rec_.depth != 16))
      return formatBadParameters;
    const bool big = rec_.PluginUsing32BitCoordinates != 0;
    const int32_t w = big ? rec_.imageSize32.h : rec_.imageSize.h;
    const int32_t h = big ? rec_.imageSize32.v : rec_.imageSize.v;
    if (w <= 0 || h <= 0) return formatBadParameters;
    RgbImage& img = out_.image;
    img.width = w;
    img.height = h;
    img.depth = rec_.depth;
    const int64_t bytes = int64_t{w} * h * 3 * (img.depth == 16 ? 2 : 1);
    if (bytes > opt_.memoryLimit) return memFullErr;
    img.pixels.assign(static_cast<size_t>(bytes), 0);
    out_.resolution = rec_.imageHRes >> 16;
    return 0;
  }

  // Copies what the plug-in's buffer holds for theRect into the image.
  int16_t Take() {
    RgbImage& img = out_.image;
    if (!rec_.data || img.pixels.empty()) return 0;
    const bool big = rec_.PluginUsing32BitCoordinates != 0;
    const VRect r = big ? rec_.theRect32
                        : VRect{rec_.theRect.top, rec_.theRect.left, rec_.theRect.bottom, rec_.theRect.right};
    if (r.bottom <= r.top || r.right <= r.left) return 0;
    if (r.top < 0 || r.left < 0 || r.bottom > img.height || r.right > img.width) return formatBadParameters;
    const int sample = img.depth == 16 ? 2 : 1;
    if (rec_.loPlane < 0 || rec_.hiPlane > 2 || rec_.hiPlane < rec_.loPlane || rec_.planeBytes != sample ||
        rec_.colBytes < (rec_.hiPlane - rec_.loPlane + 1) * sample)
      return formatBadParameters;
    const auto* src = static_cast<const uint8_t*>(rec_.data);
    for (int32_t y = r.top; y < r.bottom; ++y) {
      const uint8_t* row = src + static_cast<ptrdiff_t>(y - r.top) * rec_.rowBytes;
      uint8_t* dst = img.pixels.data() + static_cast<size_t>(y) * img.RowBytes();
      if (rec_.loPlane == 0 && rec_.hiPlane == 2 && rec_.colBytes == 3 * sample) {
        // Interleaved RGB as the image keeps it: the row in one copy.
        std::memcpy(dst + static_cast<size_t>(r.left) * 3 * static_cast<size_t>(sample), row,
                    static_cast<size_t>(r.right - r.left) * 3 * static_cast<size_t>(sample));
        continue;
      }
      for (int32_t x = r.left; x < r.right; ++x) {
        const uint8_t* px = row + static_cast<ptrdiff_t>(x - r.left) * rec_.colBytes;
        for (int p = rec_.loPlane; p <= rec_.hiPlane; ++p)
          std::memcpy(dst + (static_cast<size_t>(x) * 3 + static_cast<size_t>(p)) * sample,
                      px + (p - rec_.loPlane) * sample, static_cast<size_t>(sample));
      }
    }
    out_.rowsDelivered = std::max(out_.rowsDelivered, r.bottom);
    return 0;
  }

  int16_t AdvanceStateCall() {
    if (++advanceCalls_ == opt_.advanceErrorAt) return memFullErr;
    return Take();
  }
  bool AbortRequested() const { return opt_.cancelAfterRows >= 0 && out_.rowsDelivered >= opt_.cancelAfterRows; }
  void ReportProgress(int32_t done, int32_t total) { progress_.Update(done, total); }

  OSErr SetProperty(PIType sig, PIType key, int32_t index, intptr_t simple, Handle complex) {
    if (sig == kPhotoshopSignature && key == propEXIFData) {
      if (!complex || !memory_.IsHandle(complex)) return nilHandleErr;
      const int32_t n = memory_.HandleSize(complex);
      out_.exif.assign(*complex, *complex + n);
      return noErr;
    }
    return properties_.Set(sig, key, index, simple, complex);
  }
  OSErr GetProperty(PIType sig, PIType key, int32_t index, intptr_t* simple, Handle* complex) {
    return properties_.Get(sig, key, index, simple, complex);
  }
  const std::string& PluginPath() const { return module_.Path(); }

 private:
  void SetUpRecord(const OpenFile& file) {
    std::memset(&rec_, 0, sizeof rec_);
    rec_.serialNumber = 0;
    rec_.abortProc = []() -> Boolean { return static_cast<Boolean>(g_format && g_format->AbortRequested()); };
    rec_.progressProc = [](int32_t done, int32_t total) {
      if (g_format) g_format->ReportProgress(done, total);
    };
    rec_.dataFork = file.Fork();
    rec_.hostSig = kHostSignature;
    rec_.hostModes = static_cast<int16_t>((1 << plugInModeRGBColor) | (opt_.offer16Bit ? 1 << plugInModeRGB48 : 0));
    rec_.platformData = &platform_;
    rec_.maxData = static_cast<int32_t>(std::min<int64_t>(opt_.memoryLimit, INT32_MAX));
    rec_.canUseICCProfiles = opt_.offerIcc ? 1 : 0;
    rec_.openForPreview = opt_.preview;
    rec_.browserRotation = opt_.rotation & 3;
    rec_.HostSupports32BitCoordinates = 1;
    rec_.fileType = PIFourCC("MRW ");
    rec_.descriptorParameters = scripting_.Parameters();
    rec_.displayPixels = [](const PSPixelMap*, const VRect*, int32_t, int32_t, void*) -> OSErr { return 0; };
    rec_.processEvent = [](void*) {};
    if (!opt_.withholdAdvanceState)
      rec_.advanceState = []() -> OSErr { return g_format ? g_format->AdvanceStateCall() : OSErr{-30100}; };
    if (!opt_.withholdBufferProcs) {
      FillBufferProcs(buffers_);
      rec_.bufferProcs = &buffers_;
    }
    rec_.hostNewHdl = MemorySuitesNewHandle();
    rec_.hostDisposeHdl = MemorySuitesDisposeHandle();
    if (!opt_.withholdHandleProcs) {
      FillHandleProcs(handles_);
      rec_.handleProcs = &handles_;
    }
    propertyProcs_.propertyProcsVersion = kCurrentPropertyProcsVersion;
    propertyProcs_.numPropertyProcs = kCurrentPropertyProcsCount;
    propertyProcs_.getPropertyProc = [](PIType sig, PIType key, int32_t index, intptr_t* simple,
                                        Handle* complex) -> OSErr {
      return g_format->GetProperty(sig, key, index, simple, complex);
    };
    propertyProcs_.setPropertyProc = [](PIType sig, PIType key, int32_t index, intptr_t simple,
                                        Handle complex) -> OSErr {
      return g_format->SetProperty(sig, key, index, simple, complex);
    };
    rec_.propertyProcs = &propertyProcs_;

    // The plug-in's own file, and its module for loading its resources.
    plugins_.GetPluginFileSpecification = [](SPPluginRef, SPPlatformFileSpecification* where) -> SPErr {
      if (!where || !g_format) return kSPBadParameterError;
      const std::string& p = g_format->PluginPath();
      if (p.size() >= sizeof where->path) return kSPBadParameterError;
      std::memset(where->path, 0, sizeof where->path);
      std::memcpy(where->path, p.data(), p.size());
      return 0;
    };
    access_.GetPluginResourceAccess = [](SPPluginRef, SPPlatformAccessRef* ref) -> SPErr {
      if (!ref) return kSPBadParameterError;
      *ref = nullptr;
      return kSPBadParameterError;  // the plug-in falls back on its own module
    };
    suites_.Add(kSPPluginsSuite, kSPPluginsSuiteVersion4, &plugins_);
    suites_.Add(kSPAccessSuite, kSPAccessSuiteVersion, &access_);
    rec_.sSPBasic = suites_.Basic();
    rec_.plugInRef = &pluginRef_;
  }

  static constexpr OSType kHostSignature = 0x514D5048;  // 'QMPH'
  static constexpr SPErr kSPBadParameterError = 0x50617221;  // 'Par!'

  const PluginModule& module_;
  const FormatOptions& opt_;
  Progress& progress_;
  FormatRecord rec_{};
  BufferProcs buffers_{};
  HandleProcs handles_{};
  PlatformData platform_{};
  HostMemory memory_;
  HostProperties properties_;
  PropertyProcs propertyProcs_{};
  SPPluginsSuite plugins_{};
  SPAccessSuite access_{};
  SuiteBroker suites_;
  ScriptingHost scripting_;
  int pluginRef_ = 0;
  int32_t advanceCalls_ = 0;
  FormatOutcome out_;
};

// Gives back a handle the plug-in left with the host: a host handle, or the plug-ins' own
// tagged block of system memory when it had no handle suite.
void Release(HostMemory& memory, Handle h) {
  if (!h) return;
  if (memory.IsHandle(h)) {
    memory.DisposeHandle(h);
    return;
  }
  qm::ps::PluginMemory(nullptr, nullptr).DisposeHandle(h);
}

std::vector<uint8_t> HandleBytes(HostMemory& memory, Handle h, int32_t size) {
  if (!h) return {};
  int32_t n = size;
  if (memory.IsHandle(h)) n = std::min(size > 0 ? size : memory.HandleSize(h), memory.HandleSize(h));
  if (n <= 0 || !*h) return {};
  return std::vector<uint8_t>(*h, *h + n);
}

}  // namespace

FormatOutcome RunFormatRead(const PluginModule& module, const std::string& entryName, const std::string& path,
                            const FormatOptions& options, Progress& progress) {
  auto entry = reinterpret_cast<Entry>(module.Symbol(entryName.c_str()));
  if (!entry) throw std::runtime_error("the plug-in exports no \"" + entryName + "\"");
  OpenFile file(path);
  FormatSession session(module, file, options, progress);
  FormatRecord& rec = session.record();
  FormatOutcome& out = session.out();
  intptr_t data = 0;
  if (session.scripting().PlaybackFailed()) {
    out.result = memFullErr;  // no room for the played-back descriptor: nothing runs
    out.selector = "host";
    return std::move(out);
  }
  auto call = [&](int16_t selector, const char* name) {
    int16_t result = 0;
    file.Rewind();
    entry(selector, &rec, &data, &result);
    if (result != 0 && out.selector.empty()) {
      out.result = result;
      out.selector = name;
    }
    return result;
  };

  [&] {
    // Hosts ask every reader whether the file is its kind before choosing one.
    // Any other error is the plug-in's failure, not a verdict on the file.
    if (const int16_t r = call(formatSelectorFilterFile, "filter file")) {
      out.refused = r == formatCannotRead;
      return;
    }
    if (call(formatSelectorReadPrepare, "read prepare") != 0) return;
    if (call(formatSelectorReadStart, "read start") != 0) return;
    if (int16_t err = session.DeclareImage()) {
      out.result = err;
      out.selector = "host";
    } else {
      // The plug-in asks for rectangles until it leaves data empty; each is taken after the call
      // unless advanceState took it already.
      for (int guard = 0; guard < (1 << 20); ++guard) {
        rec.data = nullptr;
        if (call(formatSelectorReadContinue, "read continue") != 0) break;
        if (!rec.data) break;
        if (int16_t takeErr = session.Take()) {
          out.result = takeErr;
          out.selector = "host";
          break;
        }
      }
    }
    // Finish follows a successful start, whatever continue did.
    call(formatSelectorReadFinish, "read finish");
  }();
  progress.Finish();

  if (out.result == 0) out.recorded = session.scripting().TakeRecorded();
  HostMemory& memory = session.memory();
  if (!out.refused && out.result == 0) out.icc = HandleBytes(memory, rec.iCCprofileData, rec.iCCprofileSize);
  Release(memory, rec.iCCprofileData);
  Release(memory, rec.imageRsrcData);
  Release(memory, reinterpret_cast<Handle>(data));
  rec.iCCprofileData = rec.imageRsrcData = nullptr;
  out.leftoverBuffers = memory.LiveBuffers();
  // The descriptor in the record is the host's to keep (played back or recorded).
  size_t kept = 0;
  if (rec.descriptorParameters && rec.descriptorParameters->descriptor &&
      memory.IsHandle(rec.descriptorParameters->descriptor))
    ++kept;
  out.leftoverHandles = memory.LiveHandles() - std::min(kept, memory.LiveHandles());
  if (out.result != 0) out.image = RgbImage{};
  return std::move(out);
}

}  // namespace plughost
