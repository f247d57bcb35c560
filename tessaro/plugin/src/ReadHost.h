#pragma once
// What a read needs of its host, without the host's records: the entry layer answers these
// from the FormatRecord, tests from a stand-in.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tessaro/ByteSource.h"
#include "tessaro/ConversionSettings.h"

namespace tessaro::plugin {

// Results to the host.
inline constexpr std::int16_t kNoErr = 0;
inline constexpr std::int16_t kOutOfMemory = -108;
inline constexpr std::int16_t kUnexpected = -109;
inline constexpr std::int16_t kCancelled = -128;
inline constexpr std::int16_t kCannotRead = -30501;
inline constexpr std::int16_t kDialogFailed = -30901;

// Why a host cannot run a read.
enum class HostCheck { kOk, kBufferSuiteTooOld, kBufferSuiteTooNew, kNoAdvanceState };

// The image a read declares at the end of read start.
struct ImageDeclaration {
  int depth = 8;  // 8 or 16
  std::int32_t width = 0, height = 0;
  std::int32_t resolution = 300;  // pixels per inch
};

// The rows handed over in one advanceState.
struct RowsOut {
  std::int32_t top = 0, bottom = 0, width = 0;
  int depth = 8;
  const void* data = nullptr;
  std::int32_t rowBytes = 0;
};

// Buffers a read takes from the host, one slot each.
enum BufferSlot { kLutBuffer = 0, kToneBuffer, kRowBuffer, kOutBuffer, kPreviewBuffer, kBufferSlots };

class ReadHost {
public:
  virtual ~ReadHost() = default;

  virtual bool OpenForPreview() const = 0;
  virtual int Rotation() const = 0;  // quarter turns clockwise, 0..3
  virtual bool Takes16BitRgb() const = 0;
  virtual bool TakesIccProfile() const = 0;
  virtual HostCheck Check() const = 0;
  // The host's open file.
  virtual std::unique_ptr<ByteSource> OpenFile() = 0;
  // The plug-in's own file, empty when the host cannot tell.
  virtual std::string PluginPath() = 0;

  // Hands metadata to the host; kOutOfMemory when the host's handle cannot be had.
  virtual std::int16_t HandOverExif(const std::vector<std::uint8_t>& block) = 0;
  virtual std::int16_t HandOverIccProfile(const std::vector<std::uint8_t>& profile) = 0;
  // Sets mode, depth, planes, size and resolution; kOutOfMemory when the empty resource handle
  // cannot be had.
  virtual std::int16_t Declare(const ImageDeclaration& image) = 0;

  // A buffer of the host's buffer suite (or system memory); null when refused.
  virtual void* Allocate(BufferSlot slot, std::size_t bytes) = 0;
  virtual void Free(BufferSlot slot) = 0;

  // One advanceState over these rows; its result.
  virtual std::int16_t Deliver(const RowsOut& rows) = 0;
  virtual void Progress(std::int32_t done, std::int32_t total) = 0;
  virtual bool AbortRequested() = 0;

  // The scripting parameters: reads them into s when the host passes some (true: there were
  // parameters) and says whether the host asks for the dialog.
  virtual bool ReadScripting(ConversionSettings& s, bool& attachIcc, bool& showDialog) = 0;
  virtual void WriteScripting(const ConversionSettings& s, bool attachIcc) = 0;

  virtual void ShowWarning(const std::string& text) = 0;
  virtual std::string String(int id) = 0;
};

}  // namespace tessaro::plugin
