#include "plughost/aete.h"

#include <stdexcept>

#include "plughost/pipl.h"

namespace plughost {
namespace {

class Cursor {
 public:
  explicit Cursor(const std::vector<uint8_t>& b) : b_(b) {}
  void Need(size_t n) const {
    if (n > b_.size() - pos_) throw std::runtime_error("terminology runs past its end");
  }
  uint16_t U16() {
    Need(2);
    const uint16_t v = static_cast<uint16_t>(b_[pos_] | b_[pos_ + 1] << 8);
    pos_ += 2;
    return v;
  }
  uint32_t Code() {
    Need(4);
    const uint32_t v = uint32_t{b_[pos_]} | uint32_t{b_[pos_ + 1]} << 8 | uint32_t{b_[pos_ + 2]} << 16 |
                       uint32_t{b_[pos_ + 3]} << 24;
    pos_ += 4;
    return v;
  }
  std::string Text() {
    Need(1);
    const size_t n = b_[pos_++];
    Need(n);
    std::string s(b_.begin() + static_cast<ptrdiff_t>(pos_), b_.begin() + static_cast<ptrdiff_t>(pos_ + n));
    pos_ += n;
    return s;
  }

 private:
  const std::vector<uint8_t>& b_;
  size_t pos_ = 0;
};

std::string Flags(uint16_t f) {
  std::string s;
  if (f & 0x8000) s += " optional";
  if (f & 0x4000) s += " list";
  if (f & 0x2000) s += " enumerated";
  return s;
}

}  // namespace

std::vector<std::string> DescribeAete(const std::vector<uint8_t>& bytes) {
  Cursor c(bytes);
  std::vector<std::string> out;
  if (c.U16() != 1) throw std::runtime_error("terminology does not begin with the reserved word 1");
  const uint16_t version = c.U16();
  c.U16();  // language
  c.U16();  // script
  out.push_back("version " + std::to_string(version & 0xFF) + "." + std::to_string(version >> 8));
  const uint16_t suites = c.U16();
  for (uint16_t s = 0; s < suites; ++s) {
    const std::string name = c.Text(), desc = c.Text();
    const std::string id = FourCCText(c.Code());
    c.U16();
    c.U16();
    out.push_back("suite '" + id + "' \"" + name + "\"" + (desc.empty() ? "" : ": " + desc));
    const uint16_t events = c.U16();
    for (uint16_t e = 0; e < events; ++e) {
      const std::string en = c.Text(), ed = c.Text();
      const std::string cls = FourCCText(c.Code()), eid = FourCCText(c.Code());
      c.Code();
      c.Text();
      c.U16();
      c.Code();
      c.Text();
      c.U16();
      out.push_back("  event '" + cls + "' '" + eid + "' \"" + en + "\"");
      const uint16_t params = c.U16();
      for (uint16_t p = 0; p < params; ++p) {
        const std::string pn = c.Text();
        const std::string key = FourCCText(c.Code()), type = FourCCText(c.Code());
        c.Text();
        out.push_back("    '" + key + "' " + type + " \"" + pn + "\"" + Flags(c.U16()));
      }
    }
    const uint16_t classes = c.U16();
    for (uint16_t k = 0; k < classes; ++k) {
      const std::string cn = c.Text();
      const std::string cid = FourCCText(c.Code());
      c.Text();
      out.push_back("  class '" + cid + "' \"" + cn + "\"");
      const uint16_t props = c.U16();
      for (uint16_t p = 0; p < props; ++p) {
        const std::string pn = c.Text();
        const std::string key = FourCCText(c.Code()), type = FourCCText(c.Code());
        c.Text();
        out.push_back("    '" + key + "' " + type + " \"" + pn + "\"" + Flags(c.U16()));
      }
      const uint16_t elements = c.U16();
      for (uint16_t el = 0; el < elements; ++el) {
        c.Code();
        const uint16_t forms = c.U16();
        for (uint16_t f = 0; f < forms; ++f) c.Code();
      }
    }
    const uint16_t ops = c.U16();
    for (uint16_t o = 0; o < ops; ++o) {
      c.Text();
      c.Code();
      c.Text();
    }
    const uint16_t enums = c.U16();
    for (uint16_t n = 0; n < enums; ++n) {
      const std::string eid = FourCCText(c.Code());
      const uint16_t count = c.U16();
      std::string line = "  enumeration '" + eid + "':";
      for (uint16_t v = 0; v < count; ++v) {
        const std::string vn = c.Text();
        const std::string code = FourCCText(c.Code());
        c.Text();
        line += (v ? ", '" : " '") + code + "' \"" + vn + "\"";
      }
      out.push_back(line);
    }
  }
  return out;
}

}  // namespace plughost
