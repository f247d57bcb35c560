#pragma once
// The seventeen demosaic methods: each a small class that describes itself, the window of the
// plane a conversion delivers, and the row routine that turns the tone-mapped Bayer plane into
// RGB one output row at a time.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tessaro/RawPlane.h"

namespace tessaro {

class CInterpolation {
public:
  virtual ~CInterpolation() = default;
  virtual int Number() const = 0;
  virtual const char* Name() const = 0;
  virtual std::uint32_t Code() const = 0;  // scripting code, e.g. 'ibil'
  virtual int BorderLeft() const = 0;
  virtual int BorderRight() const = 0;
  virtual int BorderTop() const = 0;
  virtual int BorderBottom() const = 0;
  virtual int PrePassBorderLeft() const = 0;
  virtual int PrePassBorderRight() const = 0;
  virtual bool HasPrePass() const = 0;
  // Called before the first and after the last row; no method needs them yet.
  virtual void BeginRows() {}
  virtual void EndRows() {}

protected:
  CInterpolation() = default;
  CInterpolation(const CInterpolation&) = default;
  CInterpolation& operator=(const CInterpolation&) = default;
};

#define TESSARO_DECLARE_INTERPOLATION(Class)                 \
  class Class final : public CInterpolation {                \
  public:                                                    \
    int Number() const override;                             \
    const char* Name() const override;                       \
    std::uint32_t Code() const override;                     \
    int BorderLeft() const override;                         \
    int BorderRight() const override;                        \
    int BorderTop() const override;                          \
    int BorderBottom() const override;                       \
    int PrePassBorderLeft() const override;                  \
    int PrePassBorderRight() const override;                 \
    bool HasPrePass() const override;                        \
  };

TESSARO_DECLARE_INTERPOLATION(InterpolationNone)
TESSARO_DECLARE_INTERPOLATION(InterpolationGray)
TESSARO_DECLARE_INTERPOLATION(InterpolationHalf)
TESSARO_DECLARE_INTERPOLATION(InterpolationNearestNeighbourNW)
TESSARO_DECLARE_INTERPOLATION(InterpolationNearestNeighbourNE)
TESSARO_DECLARE_INTERPOLATION(InterpolationNearestNeighbourSW)
TESSARO_DECLARE_INTERPOLATION(InterpolationNearestNeighbourSE)
TESSARO_DECLARE_INTERPOLATION(InterpolationBilinear)
TESSARO_DECLARE_INTERPOLATION(InterpolationSmoothHueTransition)
TESSARO_DECLARE_INTERPOLATION(InterpolationSmoothHueTransitionLogarithmic)
TESSARO_DECLARE_INTERPOLATION(InterpolationEdgeSensing1)
TESSARO_DECLARE_INTERPOLATION(InterpolationEdgeSensing2)
TESSARO_DECLARE_INTERPOLATION(InterpolationColorCorrection1)
TESSARO_DECLARE_INTERPOLATION(InterpolationPixelGrouping)
TESSARO_DECLARE_INTERPOLATION(InterpolationVariableNumberOfGradients)
TESSARO_DECLARE_INTERPOLATION(InterpolationVariableNumberOfGradientsTVandro)
TESSARO_DECLARE_INTERPOLATION(InterpolationVariableNumberOfGradientsQV)
#undef TESSARO_DECLARE_INTERPOLATION

// The shared description of method 0..16; null for any other number.
const CInterpolation* InterpolationFor(int method);
// A new object of the method's class; null for any other number.
std::unique_ptr<CInterpolation> MakeInterpolation(int method);

// The part of the (possibly halved) plane a conversion delivers, in raw pixels.
struct ReadWindow {
  int left = 0, right = 0, top = 0, bottom = 0;
  int divisor = 1;           // 2 for the half-size method
  int width = 0, height = 0; // output size: plane size / divisor minus the margins
  int prePassLeft = 0, prePassRight = 0;  // columns of the green pre-pass kept clear
  bool Empty() const { return width <= 0 || height <= 0; }
};

// The window of a method for a plane of w x h. With extraSize each method keeps all the frame
// its neighbourhood reaches; without, every method cuts 4 on each side (half size: 2 on each
// side of the half image). An unknown method gives an empty window.
ReadWindow ComputeReadWindow(int method, bool extraSize, std::uint32_t w, std::uint32_t h);

// Turns a tone-mapped plane into RGB rows of 12-bit values, top to bottom. Holds only the
// GreenRing of the two-pass methods and the logarithm table; the plane is read, never copied.
class Demosaicer {
public:
  // False with a reason when the method is unknown or the plane too small for its window.
  bool Start(const std::uint16_t* plane, std::uint32_t w, std::uint32_t h, BayerOrder order, int method,
             bool extraSize, std::string* error = nullptr);
  const ReadWindow& Window() const { return win_; }
  int Method() const { return method_; }
  // Rows left to produce.
  int RowsLeft() const { return win_.height - next_; }
  // The next output row: Window().width pixels of R, G, B into rgb. False when all are done.
  bool NextRow(std::uint16_t* rgb);

private:
  void GreenRow(int y, std::uint16_t* out) const;
  void RotateRing();

  const std::uint16_t* plane_ = nullptr;
  int w_ = 0, h_ = 0;
  BayerOrder order_ = 0;
  int method_ = 0;
  ReadWindow win_;
  int next_ = 0;
  // Rows y - 1, y, y + 1 of interpolated green for the two-pass methods.
  std::vector<std::uint16_t> ringStore_;
  std::uint16_t* ring_[3] = {nullptr, nullptr, nullptr};
  std::vector<double> ln_;  // ln(v) for v = 0..4095, ln(0) taken as 0
};

}  // namespace tessaro
