#pragma once
// White balance: what the camera recorded (CameraWb) and the three ways a conversion may pick
// its channel coefficients (CWB with WBCamera, WBCoef and WBTemp).

#include <array>
#include <memory>
#include <string>

#include "tessaro/RawFile.h"

namespace tessaro {

// Everything the white-balance objects take from the open file, copied once so that they can
// be asked without one. A default-made CameraWb is "no file open": every coefficient 1.
struct CameraWb {
  bool fileOpen = false;
  // presets[p][c]: coefficient of channel c (WbChannel) for camera preset p (0..6).
  std::array<std::array<double, 4>, kWbPresetCount> presets{};
  TemperatureModel model;
  double tungstenBlue = 1;  // Bt / (64 << s3)
  double tungstenGainBlue = 0, daylightGainBlue = 0;  // Bt and Bd as stored
  // The camera's own name for the shot's setting; empty when unknown.
  std::string shotSettingName;

  CameraWb();
  static CameraWb FromFile(const RawFile& file);
};

// The camera's name for the white balance it was set to for the shot, from the maker note:
// "unknown" for a value the camera's table does not name, "error" when the file lacks the data.
std::string ShotWhiteBalanceName(const RawFile& file);

// Temperature (kelvin, truncated) of a set of coefficients under the model; 0 when red or blue
// is 0 or the model cannot place them.
int TemperatureOf(const TemperatureModel& model, double red, double blue);

class CWB {
public:
  enum Kind { kCamera = 0, kCoef = 1, kTemp = 2 };

  virtual ~CWB() = default;
  virtual int GetKind() const = 0;
  virtual double CoefRed(const CameraWb& cam) const = 0;
  virtual double CoefGreen1(const CameraWb& cam) const = 0;
  virtual double CoefGreen2(const CameraWb& cam) const = 0;
  virtual double CoefBlue(const CameraWb& cam) const = 0;
  virtual int Temperature(const CameraWb& cam) const = 0;
  virtual int CCIndex() const = 0;
  virtual int CameraPreset() const { return 0; }
  virtual bool Equals(const CWB& other) const = 0;
  virtual bool NotEquals(const CWB& other) const { return !Equals(other); }
  virtual bool IsUserDefined() const = 0;
  virtual std::string ListName(const CameraWb& cam) const;
  virtual std::string SuggestedName(const CameraWb& cam) const;
  virtual std::string Identifier() const { return std::string(); }
  virtual std::unique_ptr<CWB> Clone() const = 0;
  // The "[WhiteBalancePresets]" line (empty for camera presets), the white-balance lines of a
  // conversion preset, and those lines followed by the coefficients the object yields.
  virtual std::string FileLine(const std::string& presetName) const = 0;
  virtual std::string SettingsText() const = 0;
  virtual std::string InfoText(const CameraWb& cam) const;

  // The four coefficients in WbChannel order.
  std::array<double, 4> Coefficients(const CameraWb& cam) const {
    return {CoefRed(cam), CoefGreen1(cam), CoefGreen2(cam), CoefBlue(cam)};
  }

protected:
  CWB() = default;
  CWB(const CWB&) = default;
  CWB& operator=(const CWB&) = default;
};

bool operator==(const CWB& a, const CWB& b);

class WBCamera final : public CWB {
public:
  // 0 the shot's own setting, 1 tungsten, 2 daylight, 3 cloudy, 4 fluorescent, 5 flash,
  // 6 "unknown"; -1 a setting that matches none of them.
  explicit WBCamera(int preset = 0) : preset_(preset) {}
  // From a stored identifier or name: "tungsten" .. "unknown" in any case; anything else 0.
  static WBCamera FromName(const std::string& name);

  int GetKind() const override { return kCamera; }
  double CoefRed(const CameraWb& cam) const override { return Coef(cam, kWbRed); }
  double CoefGreen1(const CameraWb& cam) const override { return Coef(cam, kWbGreen1); }
  double CoefGreen2(const CameraWb& cam) const override { return Coef(cam, kWbGreen2); }
  double CoefBlue(const CameraWb& cam) const override { return Coef(cam, kWbBlue); }
  int Temperature(const CameraWb& cam) const override;
  int CCIndex() const override { return 0; }
  int CameraPreset() const override { return preset_; }
  bool Equals(const CWB& other) const override;
  bool IsUserDefined() const override { return false; }
  std::string ListName(const CameraWb& cam) const override;
  std::string SuggestedName(const CameraWb& cam) const override;
  std::string Identifier() const override;
  std::unique_ptr<CWB> Clone() const override { return std::make_unique<WBCamera>(*this); }
  std::string FileLine(const std::string&) const override { return std::string(); }
  std::string SettingsText() const override;

private:
  double Coef(const CameraWb& cam, int channel) const;
  int preset_;
};

class WBCoef final : public CWB {
public:
  // Keeps each value as given; Truncated() cuts them to four decimals as the dialog and the
  // settings file do.
  WBCoef(double red, double green1, double green2, double blue) : c_{red, green1, green2, blue} {}
  static WBCoef Truncated(double red, double green1, double green2, double blue);

  int GetKind() const override { return kCoef; }
  double CoefRed(const CameraWb&) const override { return c_[0]; }
  double CoefGreen1(const CameraWb&) const override { return c_[1]; }
  double CoefGreen2(const CameraWb&) const override { return c_[2]; }
  double CoefBlue(const CameraWb&) const override { return c_[3]; }
  int Temperature(const CameraWb& cam) const override;
  int CCIndex() const override { return 0; }
  bool Equals(const CWB& other) const override;
  bool IsUserDefined() const override { return true; }
  std::string ListName(const CameraWb&) const override { return "Custom"; }
  std::string SuggestedName(const CameraWb&) const override { return "New white balance"; }
  std::string Identifier() const override { return "Coef"; }
  std::unique_ptr<CWB> Clone() const override { return std::make_unique<WBCoef>(*this); }
  std::string FileLine(const std::string& presetName) const override;
  std::string SettingsText() const override;
  std::string InfoText(const CameraWb&) const override { return SettingsText(); }

  const std::array<double, 4>& Values() const { return c_; }

private:
  std::array<double, 4> c_;
};

class WBTemp final : public CWB {
public:
  WBTemp(int kelvin, int ccIndex) : kelvin_(kelvin), cc_(ccIndex) {}

  int GetKind() const override { return kTemp; }
  double CoefRed(const CameraWb& cam) const override;
  double CoefGreen1(const CameraWb&) const override { return 1; }
  double CoefGreen2(const CameraWb&) const override { return 1; }
  double CoefBlue(const CameraWb& cam) const override;
  int Temperature(const CameraWb&) const override { return kelvin_; }
  int CCIndex() const override { return cc_; }
  bool Equals(const CWB& other) const override;
  bool IsUserDefined() const override { return true; }
  std::string ListName(const CameraWb&) const override;
  std::string SuggestedName(const CameraWb&) const override;
  std::string Identifier() const override { return "Temp"; }
  std::unique_ptr<CWB> Clone() const override { return std::make_unique<WBTemp>(*this); }
  std::string FileLine(const std::string& presetName) const override;
  std::string SettingsText() const override;

  int Kelvin() const { return kelvin_; }

private:
  int kelvin_;
  int cc_;
};

}  // namespace tessaro
