// Writes the bundled sample file and the fuzzer's seed files with the test-file writer.
//   mrwmake sample OUT.mrw
//   mrwmake seeds DIR

#include <cstdio>
#include <string>

#include "MrwWriter.h"

using namespace tessaro::testing;

namespace {

std::vector<std::uint32_t> Settings(std::size_t n) {
  std::vector<std::uint32_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint32_t>(i * 3);
  return v;
}

bool Seeds(const std::string& dir) {
  std::vector<std::pair<std::string, MrwLayout>> seeds;
  {
    MrwLayout s;  // packed, big-endian TIFF, thumbnail in tag 129, camera turned clockwise
    s.orientation = 6;
    s.cameraSettings = Settings(57);
    s.thumbnailJpeg = EncodeJpeg(QuadrantImage(16, 8), 80);
    seeds.emplace_back("packed-mm-rot6.mrw", s);
  }
  {
    MrwLayout s;  // 16-bit, little-endian TIFF, green-first pattern, thumbnail in tags 136/137
    s.version = "27660001";
    s.packed = false;
    s.bigEndian = false;
    s.bayerPattern = 4;
    s.orientation = 1;
    s.newSettingsRotation = 82;
    s.cameraSettings = Settings(56);
    s.cameraSettings[28] = s.cameraSettings[29] = s.cameraSettings[30] = 300;
    s.samples = TestSamples(s.width, s.height, 7, 65535);
    s.thumbnailJpeg = EncodeJpeg(QuadrantImage(8, 16), 80);
    s.thumbnailAsUndefined = false;
    seeds.emplace_back("16bit-ii-pattern4.mrw", s);
  }
  {
    MrwLayout s;  // bare: PRD only, odd width
    s.version = "12345678";
    s.width = 7;
    s.height = 5;
    s.ttw = s.wbg = s.rif = false;
    seeds.emplace_back("bare-odd.mrw", s);
  }
  {
    MrwLayout s;  // an unknown block and an IFD chain that points back at itself
    s.version = "27200001";
    s.orientation = 3;
    s.chainLoop = true;
    s.extraBlocks.push_back({"XYZ", std::vector<std::uint8_t>(10, 0x5A)});
    s.cameraSettings = Settings(60);
    s.cameraSettings[49] = 1;
    s.cameraSettings[48] = s.cameraSettings[47] = 0;
    seeds.emplace_back("unknown-block-loop.mrw", s);
  }
  for (const auto& [name, layout] : seeds)
    if (!WriteFile(dir + "/" + name, WriteMrw(layout).bytes)) return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string what = argc == 3 ? argv[1] : "";
  bool ok = false;
  if (what == "sample")
    ok = WriteFile(argv[2], WriteMrw(SampleLayout()).bytes);
  else if (what == "seeds")
    ok = Seeds(argv[2]);
  else {
    std::fprintf(stderr, "usage: mrwmake sample OUT.mrw | mrwmake seeds DIR\n");
    return 2;
  }
  if (!ok) std::fprintf(stderr, "mrwmake: cannot write %s\n", argv[2]);
  return ok ? 0 : 1;
}
