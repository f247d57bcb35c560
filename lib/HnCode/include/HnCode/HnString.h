#pragma once
// Owned single-byte text.
#include <cstdint>
#include <string>

class HnString {
 public:
  HnString() = default;
  HnString(const char* text) : s_(text ? text : "") {}  // NOLINT: text converts freely
  explicit HnString(int32_t value) : s_(std::to_string(value)) {}

  HnString& Append(const char* text) {
    if (text) s_ += text;
    return *this;
  }
  HnString& Append(const HnString& other) { return Append(other.c_str()); }
  HnString& Append(int32_t value) { return Append(std::to_string(value).c_str()); }

  const char* c_str() const { return s_.c_str(); }
  int32_t Length() const { return static_cast<int32_t>(s_.size()); }
  bool operator==(const HnString& o) const { return s_ == o.s_; }
  bool operator==(const char* o) const { return s_ == (o ? o : ""); }

 private:
  std::string s_;
};
