#include "plughost/scripting.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "hostapi/PIGeneral.h"

namespace plughost {

struct ScriptingHost::Reader {
  Descriptor descriptor;
  size_t next = 0;
  const DescriptorItem* current = nullptr;
  DescriptorKeyID* keys = nullptr;  // the plug-in's zero-terminated list
  size_t keyCount = 0;              // its length at open: struck keys become zeros too
  OSErr sticky = 0;                 // the first error, reported again at close
};

struct ScriptingHost::Writer {
  Descriptor descriptor;
  OSErr sticky = 0;
};

namespace {

ScriptingHost* g_scripting = nullptr;

// A key list is the plug-in's own array ending in a zero key; a list that runs on past this
// many entries has lost its terminator, and reading further would leave the array.
constexpr size_t kMaxKeyList = 4096;

ScriptingHost::Reader* AsReader(PIReadDescriptor r) { return reinterpret_cast<ScriptingHost::Reader*>(r); }
ScriptingHost::Writer* AsWriter(PIWriteDescriptor w) { return reinterpret_cast<ScriptingHost::Writer*>(w); }

// Reads the value under the current key when it has the type the getter needs.
template <typename F>
OSErr WithValue(PIReadDescriptor r, uint32_t type, F&& take) {
  if (!g_scripting) return paramErr;
  const DescriptorValue* v = nullptr;
  if (OSErr err = g_scripting->Current(r, type, &v)) return err;
  return take(*v);
}

// Clamps into [low, high]; a value moved tells the plug-in so, as hosts do.
template <typename T>
OSErr Pin(T v, const T* low, const T* high, T* out) {
  T pinned = v;
  if (low && pinned < *low) pinned = *low;
  if (high && pinned > *high) pinned = *high;
  *out = pinned;
  return pinned == v ? OSErr{0} : coercedParamErr;
}

void FillReadProcs(ReadDescriptorProcs& p) {
  p.readDescriptorProcsVersion = kCurrentReadDescriptorProcsVersion;
  p.numReadDescriptorProcs = kCurrentReadDescriptorProcsCount;
  p.openReadDescriptorProc = [](PIDescriptorHandle h, DescriptorKeyID* keys) -> PIReadDescriptor {
    return g_scripting ? g_scripting->OpenRead(h, keys) : nullptr;
  };
  p.closeReadDescriptorProc = [](PIReadDescriptor r) -> OSErr {
    return g_scripting ? g_scripting->CloseRead(r) : paramErr;
  };
  p.getKeyProc = [](PIReadDescriptor r, DescriptorKeyID* key, DescriptorTypeID* type, int32_t* flags) -> Boolean {
    return g_scripting ? g_scripting->GetKey(r, key, type, flags) : Boolean{0};
  };
  p.getIntegerProc = [](PIReadDescriptor r, int32_t* out) -> OSErr {
    if (!out) return paramErr;
    return WithValue(r, typeInteger, [&](const DescriptorValue& v) { *out = v.integer; return OSErr{0}; });
  };
  p.getFloatProc = [](PIReadDescriptor r, double* out) -> OSErr {
    if (!out) return paramErr;
    return WithValue(r, typeFloat, [&](const DescriptorValue& v) { *out = v.real; return OSErr{0}; });
  };
  p.getUnitFloatProc = [](PIReadDescriptor r, DescriptorUnitID* unit, double* out) -> OSErr {
    if (!out) return paramErr;
    return WithValue(r, typeUnitFloat, [&](const DescriptorValue& v) {
      if (unit) *unit = v.code;
      *out = v.real;
      return OSErr{0};
    });
  };
  p.getBooleanProc = [](PIReadDescriptor r, Boolean* out) -> OSErr {
    if (!out) return paramErr;
    return WithValue(r, typeBoolean, [&](const DescriptorValue& v) {
      *out = v.boolean ? 1 : 0;
      return OSErr{0};
    });
  };
  p.getTextProc = [](PIReadDescriptor r, Handle* out) -> OSErr {
    if (!out) return paramErr;
    *out = nullptr;
    return WithValue(r, typeText,
                     [&](const DescriptorValue& v) { return g_scripting->NewTextHandle(r, v.text, out); });
  };
  p.getEnumeratedProc = [](PIReadDescriptor r, DescriptorEnumID* out) -> OSErr {
    if (!out) return paramErr;
    return WithValue(r, typeEnumerated, [&](const DescriptorValue& v) { *out = v.enumValue; return OSErr{0}; });
  };
  p.getClassProc = [](PIReadDescriptor r, DescriptorTypeID* out) -> OSErr {
    if (!out) return paramErr;
    return WithValue(r, typeClass, [&](const DescriptorValue& v) { *out = v.code; return OSErr{0}; });
  };
  // Aliases, references, objects and lists are not among the types this host carries: the
  // key at hand is never of theirs, which the plug-in hears as for any other wrong type.
  p.getAliasProc = [](PIReadDescriptor r, Handle* out) -> OSErr {
    if (out) *out = nullptr;
    return WithValue(r, typeAlias, [](const DescriptorValue&) { return OSErr{0}; });
  };
  p.getSimpleReferenceProc = [](PIReadDescriptor r, PIDescriptorSimpleReference*) -> OSErr {
    return WithValue(r, typeObjectReference, [](const DescriptorValue&) { return OSErr{0}; });
  };
  p.getObjectProc = [](PIReadDescriptor r, DescriptorTypeID*, PIDescriptorHandle* out) -> OSErr {
    if (out) *out = nullptr;
    return WithValue(r, typeObject, [](const DescriptorValue&) { return OSErr{0}; });
  };
  p.getCountProc = [](PIReadDescriptor r, uint32_t*) -> OSErr {
    return WithValue(r, PIFourCC("VlLs"), [](const DescriptorValue&) { return OSErr{0}; });
  };
  p.getStringProc = [](PIReadDescriptor r, Str255* out) -> OSErr {
    if (!out) return paramErr;
    return WithValue(r, typeText, [&](const DescriptorValue& v) {
      const size_t n = std::min<size_t>(v.text.size(), 255);
      (*out)[0] = static_cast<uint8_t>(n);
      std::memcpy(*out + 1, v.text.data(), n);
      return OSErr{0};
    });
  };
  p.getPinnedIntegerProc = [](PIReadDescriptor r, int32_t low, int32_t high, int32_t* out) -> OSErr {
    if (!out) return paramErr;
    return WithValue(r, typeInteger, [&](const DescriptorValue& v) { return Pin(v.integer, &low, &high, out); });
  };
  p.getPinnedFloatProc = [](PIReadDescriptor r, const double* low, const double* high, double* out) -> OSErr {
    if (!out) return paramErr;
    return WithValue(r, typeFloat, [&](const DescriptorValue& v) { return Pin(v.real, low, high, out); });
  };
  p.getPinnedUnitFloatProc = [](PIReadDescriptor r, const double* low, const double* high, DescriptorUnitID* unit,
                                double* out) -> OSErr {
    if (!out) return paramErr;
    return WithValue(r, typeUnitFloat, [&](const DescriptorValue& v) {
      if (unit) *unit = v.code;
      return Pin(v.real, low, high, out);
    });
  };
}

OSErr Put(PIWriteDescriptor w, DescriptorKeyID key, DescriptorValue v) {
  return g_scripting ? g_scripting->PutValue(w, key, std::move(v)) : paramErr;
}
OSErr Unsupported(PIWriteDescriptor w) { return g_scripting ? g_scripting->PutFailure(w, paramErr) : paramErr; }

void FillWriteProcs(WriteDescriptorProcs& p) {
  p.writeDescriptorProcsVersion = kCurrentWriteDescriptorProcsVersion;
  p.numWriteDescriptorProcs = kCurrentWriteDescriptorProcsCount;
  p.openWriteDescriptorProc = []() -> PIWriteDescriptor { return g_scripting ? g_scripting->OpenWrite() : nullptr; };
  p.closeWriteDescriptorProc = [](PIWriteDescriptor w, PIDescriptorHandle* out) -> OSErr {
    return g_scripting ? g_scripting->CloseWrite(w, out) : paramErr;
  };
  p.putIntegerProc = [](PIWriteDescriptor w, DescriptorKeyID key, int32_t v) -> OSErr {
    return Put(w, key, DescriptorValue::Integer(v));
  };
  p.putFloatProc = [](PIWriteDescriptor w, DescriptorKeyID key, const double* v) -> OSErr {
    if (!v || !std::isfinite(*v)) return g_scripting ? g_scripting->PutFailure(w, paramErr) : paramErr;
    return Put(w, key, DescriptorValue::Float(*v));
  };
  p.putUnitFloatProc = [](PIWriteDescriptor w, DescriptorKeyID key, DescriptorUnitID unit, const double* v) -> OSErr {
    if (!v || !std::isfinite(*v)) return g_scripting ? g_scripting->PutFailure(w, paramErr) : paramErr;
    return Put(w, key, DescriptorValue::UnitFloat(unit, *v));
  };
  p.putBooleanProc = [](PIWriteDescriptor w, DescriptorKeyID key, Boolean v) -> OSErr {
    return Put(w, key, DescriptorValue::Bool(v != 0));
  };
  p.putTextProc = [](PIWriteDescriptor w, DescriptorKeyID key, Handle h) -> OSErr {
    std::string text;
    if (!g_scripting || !g_scripting->HandleText(h, text)) return Unsupported(w);
    return Put(w, key, DescriptorValue::Text(std::move(text)));
  };
  p.putAliasProc = [](PIWriteDescriptor w, DescriptorKeyID, Handle) -> OSErr { return Unsupported(w); };
  p.putEnumeratedProc = [](PIWriteDescriptor w, DescriptorKeyID key, DescriptorTypeID type,
                           DescriptorEnumID v) -> OSErr { return Put(w, key, DescriptorValue::Enumerated(type, v)); };
  p.putClassProc = [](PIWriteDescriptor w, DescriptorKeyID key, DescriptorTypeID type) -> OSErr {
    return Put(w, key, DescriptorValue::Class(type));
  };
  p.putSimpleReferenceProc = [](PIWriteDescriptor w, DescriptorKeyID, const PIDescriptorSimpleReference*) -> OSErr {
    return Unsupported(w);
  };
  p.putObjectProc = [](PIWriteDescriptor w, DescriptorKeyID, DescriptorTypeID, PIDescriptorHandle) -> OSErr {
    return Unsupported(w);
  };
  p.putCountProc = [](PIWriteDescriptor w, DescriptorKeyID, uint32_t) -> OSErr { return Unsupported(w); };
  p.putStringProc = [](PIWriteDescriptor w, DescriptorKeyID key, const uint8_t* s) -> OSErr {
    if (!s) return Unsupported(w);
    return Put(w, key, DescriptorValue::Text(std::string(reinterpret_cast<const char*>(s + 1), s[0])));
  };
  p.putScopedClassProc = [](PIWriteDescriptor w, DescriptorKeyID key, DescriptorTypeID type) -> OSErr {
    return Put(w, key, DescriptorValue::Class(type));
  };
  p.putScopedObjectProc = [](PIWriteDescriptor w, DescriptorKeyID, DescriptorTypeID, PIDescriptorHandle) -> OSErr {
    return Unsupported(w);
  };
}

}  // namespace

ScriptingHost::ScriptingHost(HostMemory& memory, ScriptingOptions options)
    : memory_(memory), options_(std::move(options)) {
  g_scripting = this;
}

ScriptingHost::~ScriptingHost() {
  if (g_scripting == this) g_scripting = nullptr;
}

PIDescriptorParameters* ScriptingHost::Parameters() {
  if (options_.withhold || playbackFailed_) return nullptr;
  if (prepared_) return &params_;
  FillReadProcs(readProcs_);
  FillWriteProcs(writeProcs_);
  params_.descriptorParametersVersion = kCurrentDescriptorParametersVersion;
  params_.readDescriptorProcs = &readProcs_;
  params_.writeDescriptorProcs = &writeProcs_;
  params_.recordInfo = plugInDialogOptional;
  // A step played back runs without its dialog unless asked; a run without one is the
  // user's own, from the menu, and shows it.
  params_.playInfo = options_.playback && !options_.showDialog ? plugInDialogDontDisplay : plugInDialogDisplay;
  if (options_.playback) {
    const std::vector<uint8_t> bytes = EncodeDescriptor(*options_.playback);
    playbackHandle_ = memory_.NewHandle(static_cast<int32_t>(bytes.size()));
    if (!playbackHandle_) {
      playbackFailed_ = true;
      return nullptr;
    }
    std::memcpy(*playbackHandle_, bytes.data(), bytes.size());
    playbackSerial_ = memory_.HandleSerial(playbackHandle_);
    params_.descriptor = playbackHandle_;
  }
  prepared_ = true;
  return &params_;
}

std::optional<Descriptor> ScriptingHost::Decode(Handle h) const {
  if (!h || !memory_.IsHandle(h)) return std::nullopt;
  return DecodeDescriptor(reinterpret_cast<const uint8_t*>(*h), static_cast<size_t>(memory_.HandleSize(h)));
}

std::optional<Descriptor> ScriptingHost::TakeRecorded() {
  if (!prepared_) return std::nullopt;
  auto alive = [&](Handle h, uint64_t serial) { return h && memory_.HandleSerial(h) == serial; };
  const bool playbackAlive = alive(playbackHandle_, playbackSerial_);
  Handle h = params_.descriptor;
  std::optional<Descriptor> out;
  // The played-back handle left in place is no recording; any other live handle of ours in
  // the record is, whether the suite made it or the plug-in filled it in our bytes.
  if (h && !(h == playbackHandle_ && playbackAlive)) out = Decode(h);
  if (h && memory_.IsHandle(h)) memory_.DisposeHandle(h);
  if (playbackAlive && playbackHandle_ != h) memory_.DisposeHandle(playbackHandle_);
  for (const auto& [m, serial] : made_)
    if (m != h && alive(m, serial)) memory_.DisposeHandle(m);
  made_.clear();
  params_.descriptor = nullptr;
  playbackHandle_ = nullptr;
  return out;
}

ScriptingHost::Reader* ScriptingHost::FindReader(PIReadDescriptor r) const {
  auto it = readers_.find(AsReader(r));
  return it == readers_.end() ? nullptr : it->second.get();
}

ScriptingHost::Writer* ScriptingHost::FindWriter(PIWriteDescriptor w) const {
  auto it = writers_.find(AsWriter(w));
  return it == writers_.end() ? nullptr : it->second.get();
}

PIReadDescriptor ScriptingHost::OpenRead(PIDescriptorHandle handle, DescriptorKeyID* keys) {
  std::optional<Descriptor> d = Decode(handle);
  if (!d) return nullptr;  // no descriptor, or none of ours: nothing to read
  auto reader = std::make_unique<Reader>();
  reader->descriptor = std::move(*d);
  reader->keys = keys;
  while (keys && reader->keyCount < kMaxKeyList && keys[reader->keyCount] != kPIKeyListEnd) ++reader->keyCount;
  Reader* raw = reader.get();
  readers_[raw] = std::move(reader);
  return reinterpret_cast<PIReadDescriptor>(raw);
}

OSErr ScriptingHost::CloseRead(PIReadDescriptor r) {
  if (!r) return 0;
  Reader* reader = FindReader(r);
  if (!reader) return paramErr;
  OSErr result = reader->sticky;
  for (size_t i = 0; !result && i < reader->keyCount; ++i)
    if (reader->keys[i] != 0) result = errMissingParameter;
  readers_.erase(reader);
  return result;
}

Boolean ScriptingHost::GetKey(PIReadDescriptor r, DescriptorKeyID* key, DescriptorTypeID* type, int32_t* flags) {
  Reader* reader = FindReader(r);
  if (!reader || !key || reader->next >= reader->descriptor.items.size()) {
    if (reader) reader->current = nullptr;
    return 0;
  }
  reader->current = &reader->descriptor.items[reader->next++];
  *key = reader->current->key;
  if (type) *type = reader->current->value.type;
  if (flags) *flags = reader->current->value.type == typeEnumerated ? actionEnumeratedParameter : 0;
  for (size_t i = 0; i < reader->keyCount; ++i)
    if (reader->keys[i] == *key) {
      reader->keys[i] = 0;
      break;
    }
  return 1;
}

OSErr ScriptingHost::Current(PIReadDescriptor r, uint32_t type, const DescriptorValue** value) {
  Reader* reader = FindReader(r);
  if (!reader) return paramErr;
  OSErr err = 0;
  if (!reader->current) err = eofErr;  // no key asked for, or past the last one
  else if (reader->current->value.type != type) err = paramErr;
  if (err) {
    if (!reader->sticky) reader->sticky = err;
    return err;
  }
  *value = &reader->current->value;
  return 0;
}

OSErr ScriptingHost::NewTextHandle(PIReadDescriptor r, const std::string& text, Handle* out) {
  Handle h = memory_.NewHandle(static_cast<int32_t>(text.size()));
  if (!h) {
    if (Reader* reader = FindReader(r); reader && !reader->sticky) reader->sticky = memFullErr;
    return memFullErr;
  }
  if (!text.empty()) std::memcpy(*h, text.data(), text.size());
  *out = h;
  return 0;
}

bool ScriptingHost::HandleText(Handle h, std::string& text) const {
  if (!h || !memory_.IsHandle(h)) return false;
  text.assign(*h, static_cast<size_t>(memory_.HandleSize(h)));
  return true;
}

PIWriteDescriptor ScriptingHost::OpenWrite() {
  auto writer = std::make_unique<Writer>();
  Writer* raw = writer.get();
  writers_[raw] = std::move(writer);
  return reinterpret_cast<PIWriteDescriptor>(raw);
}

OSErr ScriptingHost::PutValue(PIWriteDescriptor w, DescriptorKeyID key, DescriptorValue value) {
  Writer* writer = FindWriter(w);
  if (!writer) return paramErr;
  writer->descriptor.Put(key, std::move(value));
  return 0;
}

OSErr ScriptingHost::PutFailure(PIWriteDescriptor w, OSErr err) {
  if (Writer* writer = FindWriter(w); writer && !writer->sticky) writer->sticky = err;
  return err;
}

OSErr ScriptingHost::CloseWrite(PIWriteDescriptor w, PIDescriptorHandle* out) {
  Writer* writer = FindWriter(w);
  if (out) *out = nullptr;
  if (!writer) return paramErr;
  OSErr result = writer->sticky;
  if (!result && !out) result = paramErr;
  if (!result) {
    const std::vector<uint8_t> bytes = EncodeDescriptor(writer->descriptor);
    Handle h = memory_.NewHandle(static_cast<int32_t>(bytes.size()));
    if (!h) {
      result = memFullErr;
    } else {
      std::memcpy(*h, bytes.data(), bytes.size());
      made_[h] = memory_.HandleSerial(h);
      *out = h;
    }
  }
  writers_.erase(writer);
  return result;
}

}  // namespace plughost
