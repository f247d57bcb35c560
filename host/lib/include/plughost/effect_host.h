#pragma once
// The After Effects host: drives an effect's commands in the host's order with the in-data
// and out-data records, the interaction and utility callbacks, host handles, worlds made
// from images, and the suite broker (with the ADM suites for about boxes).
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostapi/AE_Effect.h"
#include "plughost/image.h"
#include "plughost/progress.h"
#include "plughost/ui_script.h"

namespace plughost {

class PluginModule;
class SuiteBroker;
class AdmHost;

// One declared parameter and the value the host keeps for it.
struct EffectParam {
  PF_ParamDef def{};
  std::string choices;  // popup choices, checkbox label
};

// A world the host owns: ARGB pixels, alpha first.
struct EffectWorld {
  PF_EffectWorld world{};
  std::vector<uint8_t> pixels;
  void Make(int32_t width, int32_t height);
  static EffectWorld FromImage(const Image& image);
  Image ToImage() const;
};

class EffectSession {
 public:
  EffectSession(PluginModule& module, PF_FilterProc entry, Progress& progress, UiScript& script);
  ~EffectSession();
  EffectSession(const EffectSession&) = delete;
  EffectSession& operator=(const EffectSession&) = delete;

  // Sends one command; a message the effect returns is printed when it asks for that.
  PF_Err Send(PF_Cmd cmd, PF_EffectWorld* input = nullptr, PF_EffectWorld* output = nullptr, void* extra = nullptr);
  // The command's name, for messages.
  static const char* CommandName(PF_Cmd cmd);

  const std::vector<EffectParam>& Params() const { return params_; }
  std::vector<EffectParam>& Params() { return params_; }
  // Index (in the host's array, input layer = 0) of a parameter by its name, or -1.
  int32_t Find(const std::string& name) const;
  // Sets a value from its command-line text; false with a reason when it does not fit.
  bool SetValue(int32_t index, const std::string& text, std::string& why);
  // Layer parameter `index` shows this world from now on (nullptr: none).
  void SetLayer(int32_t index, PF_EffectWorld* world);

  // What the last command left in the records.
  const PF_OutData& Out() const { return out_; }
  std::string ReturnMessage() const;

  // Host settings for the following commands.
  void SetSize(int32_t width, int32_t height);
  void SetExtent(const PF_Rect& extent) {
    extent_ = extent;
    extentSet_ = true;
  }
  void SetDownsample(int32_t num, uint32_t den);
  void SetTime(int32_t frame);
  void SetCancelAt(int32_t percent) { cancelAt_ = percent; }
  // Handle allocation failure injection: the Nth host_new_handle from now fails (0: none).
  void FailHandleAt(int64_t n) { failHandleAt_ = n; handleCalls_ = 0; }
  int64_t HandleCalls() const { return handleCalls_; }
  void SetMemoryLimit(int64_t bytes) { memoryLimit_ = bytes; }

  // Withdraws a suite from the broker (to show how the effect copes without it).
  void WithholdSuite(const std::string& name, int32_t version);
  AdmHost& Adm() { return *adm_; }

  size_t LiveHandles() const { return handles_.size(); }
  int64_t PeakHandleBytes() const { return peakBytes_; }
  int Checkouts() const { return checkouts_; }
  int SuitesOutstanding() const;
  bool WasCancelled() const { return cancelled_; }

  // Callbacks reach the session through this (one session at a time).
  static EffectSession* Current();

 private:
  friend struct EffectCallbacks;
  struct Block {
    char* data;
    uint64_t size;
  };
  void** NewHandle(uint64_t size);
  void DisposeHandle(void** h);

  PluginModule& module_;
  PF_FilterProc entry_;
  Progress& progress_;
  UiScript& script_;
  std::unique_ptr<SuiteBroker> broker_;
  std::unique_ptr<AdmHost> adm_;
  PF_InData in_{};
  PF_OutData out_{};
  PF_UtilCallbacks utils_{};
  std::vector<EffectParam> params_;
  std::map<int32_t, PF_EffectWorld*> layers_;
  PF_EffectWorld* input_ = nullptr;
  PF_Rect extent_{};
  bool extentSet_ = false;
  int32_t cancelAt_ = -1;
  bool cancelled_ = false;
  int64_t failHandleAt_ = 0;
  int64_t handleCalls_ = 0;
  int64_t memoryLimit_ = int64_t{4} << 30;
  int64_t liveBytes_ = 0;
  int64_t peakBytes_ = 0;
  int checkouts_ = 0;
  std::map<void**, Block> handles_;
  std::string pluginPath_;
};

// PF_Err as plughost's exit status: 0 success, 1 the effect told the user why, 4 cancelled,
// 5 out of memory, 7 a callback or suite the effect needs is missing, 9 anything else.
int ExitStatusForEffect(PF_Err err, bool haveMessage);
std::string EffectErrorText(PF_Err err);

}  // namespace plughost
