#include "plughost/descriptor.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <system_error>

#include "hostapi/PIActions.h"

namespace plughost {

DescriptorValue DescriptorValue::Integer(int32_t v) {
  DescriptorValue d;
  d.type = typeInteger;
  d.integer = v;
  return d;
}
DescriptorValue DescriptorValue::Float(double v) {
  DescriptorValue d;
  d.type = typeFloat;
  d.real = v;
  return d;
}
DescriptorValue DescriptorValue::UnitFloat(uint32_t unit, double v) {
  DescriptorValue d;
  d.type = typeUnitFloat;
  d.code = unit;
  d.real = v;
  return d;
}
DescriptorValue DescriptorValue::Bool(bool v) {
  DescriptorValue d;
  d.type = typeBoolean;
  d.boolean = v;
  return d;
}
DescriptorValue DescriptorValue::Enumerated(uint32_t enumType, uint32_t v) {
  DescriptorValue d;
  d.type = typeEnumerated;
  d.code = enumType;
  d.enumValue = v;
  return d;
}
DescriptorValue DescriptorValue::Class(uint32_t cls) {
  DescriptorValue d;
  d.type = typeClass;
  d.code = cls;
  return d;
}
DescriptorValue DescriptorValue::Text(std::string v) {
  DescriptorValue d;
  d.type = typeText;
  d.text = std::move(v);
  return d;
}

bool DescriptorValue::operator==(const DescriptorValue& o) const {
  if (type != o.type) return false;
  switch (type) {
    case typeInteger: return integer == o.integer;
    case typeFloat: return std::memcmp(&real, &o.real, sizeof real) == 0;
    case typeUnitFloat: return code == o.code && std::memcmp(&real, &o.real, sizeof real) == 0;
    case typeBoolean: return boolean == o.boolean;
    case typeEnumerated: return code == o.code && enumValue == o.enumValue;
    case typeClass: return code == o.code;
    case typeText: return text == o.text;
    default: return true;
  }
}

const DescriptorValue* Descriptor::Find(uint32_t key) const {
  for (const auto& item : items)
    if (item.key == key) return &item.value;
  return nullptr;
}

void Descriptor::Put(uint32_t key, DescriptorValue value) {
  for (auto& item : items)
    if (item.key == key) {
      item.value = std::move(value);
      return;
    }
  items.push_back({key, std::move(value)});
}

bool IsDescriptorType(uint32_t type) {
  switch (type) {
    case typeInteger:
    case typeFloat:
    case typeUnitFloat:
    case typeBoolean:
    case typeEnumerated:
    case typeClass:
    case typeText:
      return true;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------------------
// Text form

namespace {

bool Printable(unsigned char c) { return c >= 0x20 && c <= 0x7E; }
bool Blank(char c) { return c == ' ' || c == '\t'; }
bool Hex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// Appending rather than "literal" + string: GCC 12 at -O3 warns falsely on the latter.
std::string Quoted(std::string_view w) {
  std::string q;
  q.reserve(w.size() + 2);
  q += '"';
  q += w;
  q += '"';
  return q;
}

std::string CodeChars(uint32_t code) {
  std::string s(4, ' ');
  for (int i = 0; i < 4; ++i) s[static_cast<size_t>(i)] = static_cast<char>(code >> (24 - 8 * i));
  return s;
}

// Codes that would read back differently (blank first, a comment or hex look) go as hex.
bool CodeNeedsHex(uint32_t code) {
  const std::string s = CodeChars(code);
  for (char c : s)
    if (!Printable(static_cast<unsigned char>(c))) return true;
  return s[0] == ' ' || (s[0] == '#' && s[1] == ' ') || (s[0] == '0' && s[1] == 'x');
}

class LineParser {
 public:
  LineParser(std::string_view line, size_t number) : s_(line), n_(number) {}

  [[noreturn]] void Fail(const std::string& why) const {
    throw DescriptorError("line " + std::to_string(n_) + ": " + why);
  }
  void SkipBlanks() {
    while (p_ < s_.size() && Blank(s_[p_])) ++p_;
  }
  bool AtEnd() const { return p_ >= s_.size(); }
  // A four-character code; `last` lets a line end early (editors strip trailing blanks).
  uint32_t Code(const char* what, bool last) {
    if (s_.substr(p_, 2) == "0x" && s_.size() - p_ >= 10) {
      bool hex = true;
      for (size_t i = p_ + 2; i < p_ + 10; ++i) hex = hex && Hex(s_[i]);
      if (hex && (s_.size() == p_ + 10 || Blank(s_[p_ + 10]))) {
        const uint32_t v = static_cast<uint32_t>(std::stoul(std::string(s_.substr(p_ + 2, 8)), nullptr, 16));
        p_ += 10;
        return v;
      }
    }
    if (AtEnd()) Fail(std::string("missing ") + what);
    std::string c(s_.substr(p_, 4));
    if (c.size() < 4) {
      if (!last) Fail(std::string(what) + " \"" + c + "\" is not four characters");
      c.resize(4, ' ');
    }
    for (char ch : c)
      if (!Printable(static_cast<unsigned char>(ch)))
        Fail(std::string(what) + " holds a character that is not printable (write it as 0xHHHHHHHH)");
    p_ += 4;
    if (!last && !AtEnd() && !Blank(s_[p_])) Fail(std::string(what) + " is longer than four characters");
    uint32_t v = 0;
    for (char ch : c) v = (v << 8) | static_cast<unsigned char>(ch);
    return v;
  }
  // The rest of the line without its trailing blanks.
  std::string_view Word() {
    SkipBlanks();
    size_t end = s_.size();
    while (end > p_ && Blank(s_[end - 1])) --end;
    std::string_view w = s_.substr(p_, end - p_);
    p_ = s_.size();
    return w;
  }
  std::string_view Rest() {
    SkipBlanks();
    std::string_view w = s_.substr(p_);
    p_ = s_.size();
    return w;
  }
  void ExpectEnd() {
    SkipBlanks();
    if (!AtEnd()) Fail("unexpected " + Quoted(s_.substr(p_)) + " after the value");
  }

 private:
  std::string_view s_;
  size_t n_;
  size_t p_ = 0;
};

int32_t ParseLong(LineParser& lp, std::string_view w) {
  if (!w.empty() && w[0] == '+') w.remove_prefix(1);
  int32_t v = 0;
  auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
  if (ec == std::errc::result_out_of_range) lp.Fail(Quoted(w) + " is outside a long's range");
  if (w.empty() || ec != std::errc() || end != w.data() + w.size())
    lp.Fail(Quoted(w) + " is not a whole number");
  return v;
}

double ParseDouble(LineParser& lp, std::string_view w) {
  if (!w.empty() && w[0] == '+') w.remove_prefix(1);
  double v = 0;
  auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
  if (w.empty() || ec != std::errc() || end != w.data() + w.size() || !std::isfinite(v))
    lp.Fail(Quoted(w) + " is not a finite number");
  return v;
}

std::string Unescape(LineParser& lp, std::string_view w) {
  std::string out;
  out.reserve(w.size());
  for (size_t i = 0; i < w.size(); ++i) {
    const char c = w[i];
    if (c == '\0') lp.Fail("a NUL byte in the text (write it as \\x00)");
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i >= w.size()) lp.Fail("the text ends in a lone backslash (write it as \\\\)");
    switch (w[i]) {
      case '\\': out += '\\'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'x':
        if (i + 2 >= w.size() || !Hex(w[i + 1]) || !Hex(w[i + 2]))
          lp.Fail("\\x needs two hex digits");
        out += static_cast<char>(std::stoi(std::string(w.substr(i + 1, 2)), nullptr, 16));
        i += 2;
        break;
      default:
        lp.Fail(std::string("unknown escape \\") + w[i]);
    }
  }
  return out;
}

std::string Escape(const std::string& text) {
  std::string out;
  char buf[8];
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (!Printable(c) || (c == ' ' && (i == 0 || i + 1 == text.size()))) {
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string DoubleText(double v) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  return ec == std::errc() ? std::string(buf, end) : std::string("0");
}

}  // namespace

std::string DescriptorCodeText(uint32_t code) {
  if (!CodeNeedsHex(code)) return CodeChars(code);
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", code);
  return buf;
}

Descriptor ParseDescriptorText(std::string_view text) {
  Descriptor d;
  std::set<uint32_t> keys;
  size_t number = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    if (nl == std::string_view::npos) nl = text.size();
    std::string_view line = text.substr(start, nl - start);
    start = nl + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    LineParser lp(line, number);
    lp.SkipBlanks();
    if (lp.AtEnd()) continue;
    const std::string_view rest = line.substr(line.find_first_not_of(" \t"));
    if (rest[0] == '#' && (rest.size() == 1 || Blank(rest[1]))) continue;

    const uint32_t key = lp.Code("the key", false);
    if (!keys.insert(key).second) lp.Fail("key \"" + DescriptorCodeText(key) + "\" is given twice");
    lp.SkipBlanks();
    const uint32_t type = lp.Code("the type", false);
    DescriptorValue v;
    v.type = type;
    switch (type) {
      case typeInteger: v.integer = ParseLong(lp, lp.Word()); break;
      case typeFloat: v.real = ParseDouble(lp, lp.Word()); break;
      case typeUnitFloat:
        lp.SkipBlanks();
        v.code = lp.Code("the unit", false);
        v.real = ParseDouble(lp, lp.Word());
        break;
      case typeBoolean: {
        std::string w(lp.Word());
        for (char& c : w) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (w == "true") v.boolean = true;
        else if (w == "false") v.boolean = false;
        else lp.Fail("a bool is true or false, not \"" + w + "\"");
        break;
      }
      case typeEnumerated:
        lp.SkipBlanks();
        v.code = lp.Code("the enumeration type", false);
        lp.SkipBlanks();
        v.enumValue = lp.Code("the enumeration value", true);
        lp.ExpectEnd();
        break;
      case typeClass:
        lp.SkipBlanks();
        v.code = lp.Code("the class", true);
        lp.ExpectEnd();
        break;
      case typeText: v.text = Unescape(lp, lp.Rest()); break;
      default:
        lp.Fail("unknown type \"" + DescriptorCodeText(type) + "\" (long, doub, UntF, bool, enum, type, TEXT)");
    }
    d.items.push_back({key, std::move(v)});
  }
  return d;
}

std::string FormatDescriptorText(const Descriptor& d) {
  std::string out;
  auto field = [&out](const std::string& text) {
    out += ' ';
    out += text;
  };
  for (const auto& item : d.items) {
    const DescriptorValue& v = item.value;
    out += DescriptorCodeText(item.key);
    field(DescriptorCodeText(v.type));
    switch (v.type) {
      case typeInteger: field(std::to_string(v.integer)); break;
      case typeFloat: field(DoubleText(v.real)); break;
      case typeUnitFloat:
        field(DescriptorCodeText(v.code));
        field(DoubleText(v.real));
        break;
      case typeBoolean: field(v.boolean ? "true" : "false"); break;
      case typeEnumerated:
        field(DescriptorCodeText(v.code));
        field(DescriptorCodeText(v.enumValue));
        break;
      case typeClass: field(DescriptorCodeText(v.code)); break;
      case typeText:
        if (!v.text.empty()) field(Escape(v.text));
        break;
      default: break;
    }
    out += '\n';
  }
  return out;
}

Descriptor ReadDescriptorFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw DescriptorError(path + ": cannot be read (" + std::strerror(errno) + ")");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw DescriptorError(path + ": cannot be read");
  try {
    return ParseDescriptorText(text);
  } catch (const DescriptorError& e) {
    throw DescriptorError(path + ": " + e.what());
  }
}

void WriteDescriptorFile(const std::string& path, const Descriptor& d) {
  const std::string text = FormatDescriptorText(d);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw DescriptorError(path + ": cannot be written (" + std::strerror(errno) + ")");
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) throw DescriptorError(path + ": cannot be written");
}

// ---------------------------------------------------------------------------------------
// Handle bytes: "QMDS", the item count, then per item key, type and the value's fields.

namespace {

constexpr char kMagic[4] = {'Q', 'M', 'D', 'S'};

template <typename T>
void Put(std::vector<uint8_t>& out, T v) {
  const size_t at = out.size();
  out.resize(at + sizeof v);
  std::memcpy(out.data() + at, &v, sizeof v);
}

class Cursor {
 public:
  Cursor(const uint8_t* p, size_t n) : p_(p), n_(n) {}
  template <typename T>
  bool Get(T& v) {
    if (n_ - at_ < sizeof v) return false;
    std::memcpy(&v, p_ + at_, sizeof v);
    at_ += sizeof v;
    return true;
  }
  bool Bytes(std::string& s, size_t len) {
    if (n_ - at_ < len) return false;
    s.assign(reinterpret_cast<const char*>(p_ + at_), len);
    at_ += len;
    return true;
  }
  size_t Left() const { return n_ - at_; }

 private:
  const uint8_t* p_;
  size_t n_;
  size_t at_ = 0;
};

}  // namespace

std::vector<uint8_t> EncodeDescriptor(const Descriptor& d) {
  std::vector<uint8_t> out(kMagic, kMagic + 4);
  Put(out, static_cast<uint32_t>(d.items.size()));
  for (const auto& item : d.items) {
    const DescriptorValue& v = item.value;
    Put(out, item.key);
    Put(out, v.type);
    switch (v.type) {
      case typeInteger: Put(out, v.integer); break;
      case typeFloat: Put(out, v.real); break;
      case typeUnitFloat: Put(out, v.code); Put(out, v.real); break;
      case typeBoolean: Put(out, static_cast<uint8_t>(v.boolean)); break;
      case typeEnumerated: Put(out, v.code); Put(out, v.enumValue); break;
      case typeClass: Put(out, v.code); break;
      case typeText:
        Put(out, static_cast<uint32_t>(v.text.size()));
        out.insert(out.end(), v.text.begin(), v.text.end());
        break;
      default: break;
    }
  }
  return out;
}

std::optional<Descriptor> DecodeDescriptor(const uint8_t* data, size_t size) {
  if (!data || size < 8 || std::memcmp(data, kMagic, 4) != 0) return std::nullopt;
  Cursor c(data + 4, size - 4);
  uint32_t count = 0;
  c.Get(count);
  if (count > c.Left() / 9) return std::nullopt;  // every item takes at least 9 bytes
  Descriptor d;
  std::set<uint32_t> keys;
  d.items.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    DescriptorItem item;
    DescriptorValue& v = item.value;
    if (!c.Get(item.key) || !c.Get(v.type)) return std::nullopt;
    bool ok = false;
    switch (v.type) {
      case typeInteger: ok = c.Get(v.integer); break;
      case typeFloat: ok = c.Get(v.real) && std::isfinite(v.real); break;
      case typeUnitFloat: ok = c.Get(v.code) && c.Get(v.real) && std::isfinite(v.real); break;
      case typeBoolean: {
        uint8_t b = 0;
        ok = c.Get(b) && b <= 1;
        v.boolean = b != 0;
        break;
      }
      case typeEnumerated: ok = c.Get(v.code) && c.Get(v.enumValue); break;
      case typeClass: ok = c.Get(v.code); break;
      case typeText: {
        uint32_t len = 0;
        ok = c.Get(len) && c.Bytes(v.text, len);
        break;
      }
      default: break;
    }
    if (!ok || !keys.insert(item.key).second) return std::nullopt;
    d.items.push_back(std::move(item));
  }
  if (c.Left() != 0) return std::nullopt;
  return d;
}

}  // namespace plughost
