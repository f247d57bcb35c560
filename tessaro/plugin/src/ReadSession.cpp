#include "ReadSession.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <new>
#include <string>
#include <vector>

#include "ConversionDialog.h"
#include "OutputStage.h"
#include "tessaro/WhiteBalance.h"

namespace tessaro::plugin {
namespace {

// The dialog's information window shows how long the last conversion took.
double& LastConversionMs() {
  static double ms = -1;
  return ms;
}

// EXIF orientations in the order a quarter turn takes them.
int TurnedOrientation(int orientation, int quarterTurns) {
  static const int kCycle[4] = {1, 6, 3, 8};
  int at = 0;
  for (int i = 0; i < 4; ++i)
    if (kCycle[i] == orientation) at = i;
  return kCycle[(at + quarterTurns) & 3];
}

std::string LocalTimeText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[20];
  std::strftime(text, sizeof text, "%Y:%m:%d %H:%M:%S", &local);
  return text;
}

std::string Replace(std::string text, const std::string& what, const std::string& with) {
  const std::size_t at = text.find(what);
  if (at != std::string::npos) text.replace(at, what.size(), with);
  return text;
}

}  // namespace

ConversionSettings& Settings() {
  static ConversionSettings settings;
  return settings;
}

LogFile& Log() {
  static LogFile log;
  return log;
}

SettingsFile& SettingsFileState() {
  static SettingsFile file;
  return file;
}

std::int16_t ReadSession::CheckHost(ReadHost& host) {
  const HostCheck c = host.Check();
  if (c == HostCheck::kOk) return kNoErr;
  if (c == HostCheck::kBufferSuiteTooNew)
    host.ShowWarning(host.String(16993));
  else
    host.ShowWarning(Replace(host.String(16992), "^1", c == HostCheck::kNoAdvanceState ? "3" : "2.5"));
  return kCancelled;
}

std::int16_t ReadSession::FilterFile(ReadHost& host) {
  Trace("DoFilterFile\n");
  std::unique_ptr<ByteSource> in = host.OpenFile();
  std::uint8_t head[4] = {};
  if (!in || !in->Seek(0) || !in->Read(head, 4) || head[0] != 0 || head[1] != 'M' || head[2] != 'R' || head[3] != 'M')
    return kCannotRead;
  return kNoErr;
}

std::int16_t ReadSession::OptionsStart(ReadHost& host) {
  Trace("DoOptionsStart\n");
  return CheckHost(host);
}

void ReadSession::DestroyFile() {
  if (!file_) return;
  Trace("RawFile Destroy\n");
  file_.reset();
}

void ReadSession::FreeBuffers(ReadHost& host) {
  for (int s = 0; s < kBufferSlots; ++s) host.Free(static_cast<BufferSlot>(s));
  luts_ = nullptr;
  linear_ = nullptr;
}

std::int16_t ReadSession::CleanUp(ReadHost& host, std::int16_t result) {
  Trace("CleanUp in DoReadStart ! ! !\n");
  FreeBuffers(host);
  DestroyFile();
  return result;
}

bool ReadSession::AllocateInBuffers(ReadHost& host) {
  void* block = host.Allocate(kLutBuffer, sizeof(ChannelLuts));
  if (!block) return false;
  luts_ = new (block) ChannelLuts();
  void* linear = host.Allocate(kToneBuffer, sizeof(LinearisingTable));
  if (!linear) return false;
  linear_ = new (linear) LinearisingTable();
  return true;
}

bool ReadSession::UsesThumbnail() {
  const GeneralSettings& g = SettingsFileState().general;
  if (!g.useInternalThumbnails) return false;
  const ModelCode m = file_->GetModelCode();
  if (g.dontUseInternalThumbnailsForD5andD7 && (m == 1 || m == 2)) return false;
  const Thumbnail* t = file_->GetThumbnail();
  return t && t->width > 0 && t->height > 0;
}

std::int16_t ReadSession::ReadStart(ReadHost& host) {
  Trace("DoReadStart\n");
  // 1. A fresh start: the settings file, the built-in defaults, the "default" preset.
  DestroyFile();
  preview_ = host.OpenForPreview();
  const std::string pluginPath = host.PluginPath();
  SettingsFile& ini = SettingsFileState();
  ini.Load(SettingsPathFor(pluginPath));
  Log().Open(LogPathFor(pluginPath), ini.general.logging);
  ConversionSettings& s = Settings();
  s.Reset();
  if (const ConversionSettings* d = ini.FindPreset("default")) s.CopyFrom(*d);

  // 2. Scripting parameters, which also decide whether the dialog may be shown.
  bool mayShowDialog = true;
  if (!preview_) {
    bool hostAsks = false;
    const bool hadParameters = host.ReadScripting(s, ini.general.attachICCProfile, hostAsks);
    mayShowDialog = !hadParameters || hostAsks;
  }

  // 3, 4. What the host can do.
  if (std::int16_t err = CheckHost(host)) return err;
  canUseIcc_ = host.TakesIccProfile();
  host16Bit_ = host.Takes16BitRgb();

  // 5. The file.
  file_ = std::make_unique<RawFile>(host.OpenFile());
  if (!file_->Open()) {
    Trace("RawFile Open failed: %s\n", file_->Error().c_str());
    return CleanUp(host, kCannotRead);
  }

  // 6. EXIF, with the time of this conversion as its digitised time.
  if (!file_->TtwBlock().empty()) {
    if (!preview_) file_->SetDateTimeDigitised(LocalTimeText());
    if (std::int16_t err = host.HandOverExif(file_->TtwBlock())) return CleanUp(host, err);
  }

  // 7. The file browser's preview.
  if (preview_) return StartPreview(host);

  // 8. Tables.
  if (!AllocateInBuffers(host)) return CleanUp(host, kOutOfMemory);

  // 9. The conversion dialog.
  const int rotation = host.Rotation() & 3;
  const int cameraOrientation = file_->Orientation();
  if (ini.general.displayUI && mayShowDialog) {
    file_->SetOrientation(TurnedOrientation(cameraOrientation, rotation));
    if (ini.general.resetToDefaults) s.Reset();
    DialogContext context{*file_, s, ini, host16Bit_, cameraOrientation, rotation, LastConversionMs()};
    const int r = RunConversionDialog(context);
    if (r == kDialogStop) return CleanUp(host, kCancelled);
    if (r != 0) return CleanUp(host, kDialogFailed);
    ini.Save(SettingsPathFor(pluginPath));
    // The dialog's previews are not needed by the conversion: their memory goes back now.
    file_->DiscardPreviews();
  }

  // 10. The plane, upright as the host asked.
  if (Log().On()) Log().Append(s.LogText());
  file_->SetOrientation(cameraOrientation);
  if (std::int16_t err = PreparePlane(host)) return CleanUp(host, err);

  // 11. Profile, mode, depth and size.
  depth_ = s.Is48Bit() && host16Bit_ ? 16 : 8;
  if (canUseIcc_ && ini.general.attachICCProfile) {
    const std::vector<std::uint8_t> profile = ProfileFor(s, *file_);
    if (!profile.empty())
      if (std::int16_t err = host.HandOverIccProfile(profile)) return CleanUp(host, err);
  }
  window_ = ComputeReadWindow(s.Interpolation, s.ExtraSize, file_->PlaneWidth(), file_->PlaneHeight());
  if (window_.Empty()) {
    Trace("The plane is too small for the method\n");
    return CleanUp(host, kCannotRead);
  }
  ImageDeclaration image{depth_, window_.width, window_.height, ini.general.resolution};
  if (std::int16_t err = host.Declare(image)) return CleanUp(host, err);
  return kNoErr;
}

std::int16_t ReadSession::PreparePlane(ReadHost& host) {
  const int rotation = host.Rotation() & 3;
  if (!file_->HasPlane() && !file_->LoadPlane()) {
    Trace("RawFile LoadPlane failed: %s\n", file_->Error().c_str());
    return kCannotRead;
  }
  if (rotation) {
    static const Turn kTurns[4] = {Turn::Half, Turn::QuarterCcw, Turn::Half, Turn::QuarterCw};
    if (!file_->TurnPlane(kTurns[rotation])) return kOutOfMemory;
  }
  return kNoErr;
}

std::int16_t ReadSession::StartPreview(ReadHost& host) {
  std::int32_t w = 0, h = 0;
  if (UsesThumbnail()) {
    const Thumbnail* t = file_->GetThumbnail();
    w = static_cast<std::int32_t>(t->width);
    h = static_cast<std::int32_t>(t->height);
  } else {
    w = static_cast<std::int32_t>(file_->SensorWidth() / 8);
    h = static_cast<std::int32_t>(file_->SensorHeight() / 8);
    if (file_->Orientation() == 6 || file_->Orientation() == 8) std::swap(w, h);
  }
  if (w <= 0 || h <= 0) return CleanUp(host, kCannotRead);
  depth_ = 8;
  ImageDeclaration image{8, w, h, SettingsFileState().general.resolution};
  if (std::int16_t err = host.Declare(image)) return CleanUp(host, err);
  return kNoErr;
}

std::int16_t ReadSession::ContinuePreview(ReadHost& host) {
  if (UsesThumbnail()) {
    const Thumbnail* t = file_->GetThumbnail();
    if (!t) return kCannotRead;
    RowsOut rows{0, static_cast<std::int32_t>(t->height), static_cast<std::int32_t>(t->width), 8, t->rgb.data(),
                 static_cast<std::int32_t>(t->width * 3)};
    return host.Deliver(rows);
  }
  // The reduced image from the raw data, through the built-in defaults' tables. It is made from
  // the raw rows as they are read: the whole plane is never needed.
  std::int16_t result = kNoErr;
  PreviewImage eighth;
  std::string log;
  if (!AllocateInBuffers(host)) {
    result = kOutOfMemory;
  } else if (!file_->ReadEighth(eighth, &log)) {
    result = kCannotRead;
  } else {
    BrowserPreview preview;
    const bool made = MakeBrowserPreview(*file_, eighth, *luts_, preview);
    if (Log().On()) Log().Append(log);
    if (!made) {
      result = kOutOfMemory;
    } else {
      RowsOut rows{0, preview.height, preview.width, 8, preview.rgb.data(), preview.width * 3};
      result = host.Deliver(rows);
    }
  }
  FreeBuffers(host);
  DestroyFile();
  return result;
}

std::int16_t ReadSession::ReadContinue(ReadHost& host) {
  Trace("DoReadContinue\n");
  if (!file_) return kCannotRead;
  if (preview_) return ContinuePreview(host);

  const auto started = std::chrono::steady_clock::now();
  const ConversionSettings& s = Settings();
  window_ = ComputeReadWindow(s.Interpolation, s.ExtraSize, file_->PlaneWidth(), file_->PlaneHeight());
  const std::int32_t width = window_.width;
  const std::int32_t rowBytes = (depth_ * 3 * width + 7) / 8;
  auto* out = static_cast<std::uint8_t*>(host.Allocate(kOutBuffer, static_cast<std::size_t>(rowBytes)));
  auto* rgb = static_cast<std::uint16_t*>(host.Allocate(kRowBuffer, static_cast<std::size_t>(width) * 3 * 2));
  if (!out || !rgb || !luts_ || !linear_) {
    FreeBuffers(host);
    return kOutOfMemory;
  }

  // Tables over the whole plane in place, then one row at a time.
  BuildChannelLuts(s, CameraWb::FromFile(*file_), false, *luts_);
  ApplyChannelLuts(file_->Plane(), file_->PlaneWidth(), file_->PlaneHeight(), file_->GetBayerOrder(), *luts_);
  file_->DiscardPreviews();  // the dialog's were made from the plane before its tables
  Demosaicer demosaic;
  std::string why;
  if (!demosaic.Start(file_->Plane(), file_->PlaneWidth(), file_->PlaneHeight(), file_->GetBayerOrder(),
                      s.Interpolation, s.ExtraSize, &why)) {
    Trace("Demosaic: %s\n", why.c_str());
    FreeBuffers(host);
    return kCannotRead;
  }
  OutputStage output;
  if (!output.Start(s, *file_, depth_, linear_, &why)) {
    Trace("%s", why.c_str());
    if (Log().On()) Log().Append(why);
    FreeBuffers(host);
    return kCannotRead;
  }
  std::int16_t result = kNoErr;
  for (std::int32_t i = 0; i < window_.height && result == kNoErr; ++i) {
    demosaic.NextRow(rgb);
    output.Row(rgb, width, out);
    result = host.Deliver(RowsOut{i, i + 1, width, depth_, out, rowBytes});
    host.Progress(i + 1, window_.height);
    if (result == kNoErr && host.AbortRequested()) result = kCancelled;
  }

  conversionMs_ = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
  LastConversionMs() = conversionMs_;
  if (Log().On()) {
    Log().Printf("Processing file took: %.f ms\n", conversionMs_);
    Log().Append(std::string(36, '-') + "\n");
  }
  FreeBuffers(host);
  return result;
}

std::int16_t ReadSession::ReadFinish(ReadHost& host) {
  Trace("DoReadFinish\n");
  FreeBuffers(host);
  if (!preview_ && file_) host.WriteScripting(Settings(), SettingsFileState().general.attachICCProfile);
  DestroyFile();
  return kNoErr;
}

}  // namespace tessaro::plugin
