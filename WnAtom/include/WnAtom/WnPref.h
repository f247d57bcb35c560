#pragma once
// The dialog's preferences in the registry: read from the machine root, falling back to the
// user root; written under both.
#include <cstdint>
#include <optional>
#include <string>

class WnPref {
 public:
  static constexpr size_t kMaxKey = 1023;
  static constexpr const char* kCoralinKey = "Software\\Hollin\\Coralin\\6.x";

  explicit WnPref(const std::string& keyPath = kCoralinKey);

  // Absent when neither root has the value.
  std::optional<int32_t> Read(const char* value) const;
  // True when either root took it.
  bool Write(const char* value, int32_t v) const;

  const std::string& Key() const { return key_; }

 private:
  std::string key_;
};
