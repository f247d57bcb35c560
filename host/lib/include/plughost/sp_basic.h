#pragma once
// The Sweet Pea suite broker the host hands plug-ins (sSPBasic): suites by name and version.
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "hostapi/SPBasic.h"

namespace plughost {

class SuiteBroker {
 public:
  SuiteBroker();
  ~SuiteBroker();
  SuiteBroker(const SuiteBroker&) = delete;
  SuiteBroker& operator=(const SuiteBroker&) = delete;

  SPBasicSuite* Basic() { return &basic_; }
  // Offers a suite (the pointer must outlive the broker's use).
  void Add(const std::string& name, int32_t version, const void* suite);
  // Withdraws a suite, so a run can show how a plug-in copes without it.
  void Remove(const std::string& name, int32_t version);
  // Acquires not yet released, so a run can tell when a plug-in forgot one.
  int Outstanding() const { return outstanding_; }

 private:
  SPBasicSuite basic_{};
  std::map<std::pair<std::string, int32_t>, const void*> suites_;
  int outstanding_ = 0;
};

}  // namespace plughost
