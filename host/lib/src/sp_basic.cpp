#include "plughost/sp_basic.h"

#include <cstdlib>
#include <cstring>

namespace plughost {
namespace {

// Suite callbacks have no context either; one broker serves at a time.
SuiteBroker* g_broker = nullptr;
std::map<std::pair<std::string, int32_t>, const void*>* g_suites = nullptr;
int* g_outstanding = nullptr;

constexpr SPErr kSuiteNotFound = 0x53214664;  // 'S!Fd'
constexpr SPErr kOutOfMemory = -108;

}  // namespace

SuiteBroker::SuiteBroker() {
  g_broker = this;
  g_suites = &suites_;
  g_outstanding = &outstanding_;
  basic_.AcquireSuite = [](const char* name, int32_t version, const void** suite) -> SPErr {
    if (!name || !suite || !g_suites) return kSuiteNotFound;
    auto it = g_suites->find({name, version});
    if (it == g_suites->end()) {
      *suite = nullptr;
      return kSuiteNotFound;
    }
    *suite = it->second;
    ++*g_outstanding;
    return 0;
  };
  basic_.ReleaseSuite = [](const char* name, int32_t version) -> SPErr {
    if (!name || !g_suites || !g_suites->count({name, version})) return kSuiteNotFound;
    --*g_outstanding;
    return 0;
  };
  basic_.IsEqual = [](const char* a, const char* b) -> SPBoolean {
    return static_cast<SPBoolean>(a && b && std::strcmp(a, b) == 0);
  };
  basic_.AllocateBlock = [](size_t size, void** block) -> SPErr {
    *block = std::malloc(size ? size : 1);
    return *block ? 0 : kOutOfMemory;
  };
  basic_.FreeBlock = [](void* block) -> SPErr {
    std::free(block);
    return 0;
  };
  basic_.ReallocateBlock = [](void* block, size_t size, void** out) -> SPErr {
    void* p = std::realloc(block, size ? size : 1);
    if (!p) return kOutOfMemory;
    *out = p;
    return 0;
  };
  basic_.Undefined = []() -> SPErr { return kSuiteNotFound; };
}

SuiteBroker::~SuiteBroker() {
  if (g_broker == this) {
    g_broker = nullptr;
    g_suites = nullptr;
    g_outstanding = nullptr;
  }
}

void SuiteBroker::Add(const std::string& name, int32_t version, const void* suite) {
  suites_[{name, version}] = suite;
}

void SuiteBroker::Remove(const std::string& name, int32_t version) { suites_.erase({name, version}); }

}  // namespace plughost
