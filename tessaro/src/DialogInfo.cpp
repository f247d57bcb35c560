#include "tessaro/DialogInfo.h"

#include <cstdio>

namespace tessaro {
namespace {

std::string Fixed4(double a) {
  char buf[64];
  std::snprintf(buf, sizeof buf, " %.4f", a);
  return buf;
}
std::string Short(double a) {
  char buf[64];
  std::snprintf(buf, sizeof buf, " %g", a);
  return buf;
}
std::string Millis(double a) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.f ms", a);
  return buf;
}

const char* const kPresetNames[kWbPresetCount] = {"Shot", "Tungsten", "Daylight", "Cloudy",
                                                  "Fluorescent", "Flash", "Unknown"};

}  // namespace

std::string DialogInfoText(const DialogInfoInput& in) {
  std::string t;
  const RawFile* f = in.file;
  if (f) {
    t.append("Model: ").append(f->Model().empty() ? std::string("unknown") : f->Model()).append("\n");
    t.append("Software: ").append(f->Software().empty() ? std::string("unknown") : f->Software()).append("\n");
    t.append("Sensor: ").append(std::to_string(f->SensorWidth())).append(" x ");
    t.append(std::to_string(f->SensorHeight())).append("\n");
    const std::string shot = in.camera ? in.camera->shotSettingName : std::string();
    t.append("Shot white balance: ").append(shot.empty() ? std::string("unknown") : shot).append("\n");
    if (f->HasWbg() || f->HasRif()) {
      t += "White-balance gains (R, G1, G2, B):\n";
      for (int p = 0; p < kWbPresetCount; ++p) {
        if (p == 0 ? !f->HasWbg() : !f->HasRif()) continue;
        t.append("  ").append(kPresetNames[p]).append(":");
        for (int c = 0; c < 4; ++c) t += Fixed4(f->WbCoefficient(p, c));
        t += "\n";
      }
    }
    if (f->HasRif()) {
      t += "RIF values:";
      for (int i = 0; i < 12; ++i) t += Short(f->RifValue(i));
      t += "\n";
    }
    const auto& cs = f->CameraSettings();
    if (!cs.empty()) {
      t.append("Camera settings (").append(std::to_string(cs.size())).append(" values):\n");
      for (size_t i = 0; i < cs.size(); i += 8) {
        char head[32];
        std::snprintf(head, sizeof head, "  %3zu:", i);
        t += head;
        for (size_t j = i; j < i + 8 && j < cs.size(); ++j) t.append(" ").append(std::to_string(cs[j]));
        t += "\n";
      }
    }
    if (auto a = f->GetSubjectArea()) {
      t.append("Subject area: ").append(std::to_string(a->x)).append(", ").append(std::to_string(a->y));
      t.append(", ").append(std::to_string(a->width)).append(" x ").append(std::to_string(a->height)).append("\n");
    }
  }
  if (in.settings && in.camera) {
    t += "White balance:\n";
    std::string wb = in.settings->GetWB().InfoText(*in.camera);
    size_t start = 0;
    while (start < wb.size()) {
      const size_t end = wb.find('\n', start);
      // Appended piecewise: GCC 12 misreads a literal + temporary chain here at -O3.
      t.append("  ").append(wb, start, end == std::string::npos ? std::string::npos : end - start).append("\n");
      if (end == std::string::npos) break;
      start = end + 1;
    }
  }
  t.append("Profile: ").append(in.profileName.empty() ? std::string("no profile") : in.profileName).append("\n");
  t.append("Last conversion: ")
      .append(in.lastConversionMs < 0 ? std::string("none yet") : Millis(in.lastConversionMs))
      .append("\n");
  return t;
}

}  // namespace tessaro
