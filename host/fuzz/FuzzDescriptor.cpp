// Descriptor files come from users and descriptor handles from plug-ins: neither the text
// reader nor the handle decoder may crash or overread, and whatever they accept must come
// back unchanged through the other form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "plughost/descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace plughost;
  try {
    const Descriptor d = ParseDescriptorText(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::vector<uint8_t> bytes = EncodeDescriptor(d);
    auto back = DecodeDescriptor(bytes.data(), bytes.size());
    if (!back || !(*back == d) || !(ParseDescriptorText(FormatDescriptorText(d)) == d)) std::abort();
  } catch (const DescriptorError&) {
    // Refused with a reason: what bad text must get.
  }
  if (auto d = DecodeDescriptor(data, size)) {
    if (!(ParseDescriptorText(FormatDescriptorText(*d)) == *d)) std::abort();
  }
  return 0;
}
