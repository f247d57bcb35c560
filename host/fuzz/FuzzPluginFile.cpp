// Plug-in files are read before anything of them runs: `plughost info` parses any PE file
// and PiPL handed to it. Neither may crash or overread on hostile bytes.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <span>

#include "pe_image.h"
#include "plughost/pipl.h"

namespace {

void DescribePipl(const uint8_t* data, size_t size) {
  try {
    plughost::Pipl p = plughost::ParsePipl(data, size);
    for (const auto& prop : p.properties) (void)plughost::DescribeProperty(prop);
    (void)p.Name();
    (void)p.Category();
    (void)p.EntryPoint(plughost::Arch::X86);
    (void)p.EntryPoint(plughost::Arch::X64);
  } catch (const std::exception&) {
    // Refused: what a hostile PiPL must get.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DescribePipl(data, size);
  using namespace qm::host::pe;
  auto pe = PeImage::Parse(std::span<const uint8_t>(data, size));
  if (!pe) return 0;
  for (const auto& e : pe->exports().names) (void)e.name.size();
  if (auto res = pe->find_resource(ResourceKey::named("PIPL"), ResourceKey::id(16000)))
    DescribePipl(res->data(), res->size());
  return 0;
}
