#pragma once
// The host's side of scripting: the descriptor parameters a filter or format record carries
// (play and record options, the played-back descriptor) and the read and write descriptor
// suites over it. One host serves one plug-in session; any record type uses it:
//
//   ScriptingHost scripting(memory, options);
//   record.descriptorParameters = scripting.Parameters();
//   ... run the selectors ...
//   std::optional<Descriptor> recorded = scripting.TakeRecorded();
//
// Descriptor handles are host handles (from `memory`) holding EncodeDescriptor's bytes, so a
// plug-in may dispose of them through the handle suite or keep them as hosts allow.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "hostapi/PIActions.h"
#include "plughost/descriptor.h"
#include "plughost/host_memory.h"

namespace plughost {

struct ScriptingOptions {
  bool withhold = false;               // no descriptor parameters at all
  bool showDialog = false;             // a played-back step still asks for its dialog
  std::optional<Descriptor> playback;  // the descriptor the plug-in is played back with
};

class ScriptingHost {
 public:
  // Only one host answers the suites at a time (the callbacks carry no context).
  ScriptingHost(HostMemory& memory, ScriptingOptions options);
  ~ScriptingHost();
  ScriptingHost(const ScriptingHost&) = delete;
  ScriptingHost& operator=(const ScriptingHost&) = delete;

  // What the record's descriptorParameters gets; nullptr when withheld or when the host had
  // no memory for the played-back descriptor (PlaybackFailed then says so).
  PIDescriptorParameters* Parameters();
  bool PlaybackFailed() const { return playbackFailed_; }

  // After the plug-in's last call: the descriptor it handed back in the record, if any.
  std::optional<Descriptor> TakeRecorded();

  // Read and write descriptors the plug-in opened and did not close.
  size_t OpenDescriptors() const { return readers_.size() + writers_.size(); }

  // The suites' work, reached through the C callbacks of the tables.
  struct Reader;
  struct Writer;
  PIReadDescriptor OpenRead(PIDescriptorHandle handle, DescriptorKeyID* keys);
  OSErr CloseRead(PIReadDescriptor r);
  Boolean GetKey(PIReadDescriptor r, DescriptorKeyID* key, DescriptorTypeID* type, int32_t* flags);
  // The value under the key getKey returned last, when it is of `type`; else the error,
  // which close reports again.
  OSErr Current(PIReadDescriptor r, uint32_t type, const DescriptorValue** value);
  OSErr NewTextHandle(PIReadDescriptor r, const std::string& text, Handle* out);
  PIWriteDescriptor OpenWrite();
  OSErr CloseWrite(PIWriteDescriptor w, PIDescriptorHandle* out);
  OSErr PutValue(PIWriteDescriptor w, DescriptorKeyID key, DescriptorValue value);
  OSErr PutFailure(PIWriteDescriptor w, OSErr err);
  bool HandleText(Handle h, std::string& text) const;

 private:
  Reader* FindReader(PIReadDescriptor r) const;
  Writer* FindWriter(PIWriteDescriptor w) const;
  std::optional<Descriptor> Decode(Handle h) const;

  HostMemory& memory_;
  ScriptingOptions options_;
  PIDescriptorParameters params_{};
  ReadDescriptorProcs readProcs_{};
  WriteDescriptorProcs writeProcs_{};
  bool prepared_ = false;
  bool playbackFailed_ = false;
  Handle playbackHandle_ = nullptr;
  uint64_t playbackSerial_ = 0;
  // Handles closeWriteDescriptorProc gave out, by allocation, so that a plug-in's own handle
  // at a reused address is never taken for one of them.
  std::map<Handle, uint64_t> made_;
  std::map<Reader*, std::unique_ptr<Reader>> readers_;
  std::map<Writer*, std::unique_ptr<Writer>> writers_;
};

}  // namespace plughost
