#pragma once
// Misteral: replaces a layer by an opaque grey picture of its own transparency, one row per
// host call. The host's records stay in the entry layer; this core sees them through
// MisteralHost so that tests can play the host.
#include <cstddef>
#include <cstdint>

namespace sorrel {

// Rows and columns as the host's rectangles give them; bottom and right are exclusive.
struct Rect {
  int32_t top = 0, left = 0, bottom = 0, right = 0;
  bool operator==(const Rect&) const = default;
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
};

// The working state of one run, kept in the plug-in's globals between calls.
struct WorkBlocks {
  static constexpr int kCount = 11;  // workspace, 12288, 12696, seven of 16, one of 32
  void* block[kCount] = {};
};

struct Globals {
  Rect savedFilterRect;
  int32_t width = 0, height = 0;
  int32_t row = 0;       // current row, 0-based
  int32_t rowsDone = 0;
  bool moreRows = false;
  WorkBlocks work;
};

// Sizes of the work blocks for a filter rectangle; the third also holds the counters.
size_t WorkspaceElements(int32_t width, int32_t height);
void WorkBlockSizes(int32_t width, int32_t height, size_t (&sizes)[WorkBlocks::kCount]);
int32_t BufferSpace(int32_t width, int32_t height);

struct Counters {
  uint8_t progress;  // modulo 8
  uint8_t abort;     // modulo 8
};
static_assert(sizeof(Counters) <= 12696);

// The rectangles and rates asked of the host for one row.
struct RowRequest {
  Rect in, out, mask;
  int16_t loPlane = 0, hiPlane = 0;
  int32_t inputRate = 0x10000, maskRate = 0x10000;
  int16_t inputPadding = -1, outputPadding = -1, maskPadding = -1;
};
RowRequest RequestForRow(const Rect& filterRect, int32_t row, int32_t height, bool haveMask, int16_t planes);

// One row of the host's buffers, as delivered for the last request.
struct RowBuffers {
  const uint8_t* in = nullptr;
  uint8_t* out = nullptr;
  int32_t inStride = 0;        // bytes from one input pixel to the next
  int32_t outStride = 0;       // bytes from one output pixel to the next
  int32_t inTransparency = 0;  // plane index of the transparency in the input
  int32_t outTransparency = 0;
  int32_t planes = 0;
};
void ConvertRow(const RowBuffers& row, int32_t width);

// Filter cases whose transparency can be edited (without and with a selection).
constexpr int16_t kEditableTransparencyNoSelection = 4;
constexpr int16_t kEditableTransparencyWithSelection = 5;

// Result codes this filter gives back.
constexpr int16_t kNoErr = 0;
constexpr int16_t kUserCanceled = -128;
constexpr int16_t kWorkBlocksMissing = 3;
constexpr int16_t kRefusedAndReported = 1;

class MisteralHost {
 public:
  virtual bool AllocateWorkBlocks(const size_t (&sizes)[WorkBlocks::kCount], WorkBlocks& blocks) = 0;
  virtual void ReleaseWorkBlocks(WorkBlocks& blocks) = 0;
  virtual int16_t FilterCase() const = 0;
  virtual bool HaveMask() const = 0;
  virtual int16_t Planes() const = 0;
  virtual Rect FilterRect() const = 0;
  virtual void SetFilterRect(const Rect& r) = 0;
  virtual void Request(const RowRequest& request) = 0;  // an empty request ends the run
  virtual RowBuffers Row() const = 0;
  virtual void ShowRefusal() = 0;
  virtual void Progress(int32_t done, int32_t total) = 0;
  virtual bool AbortRequested() = 0;
  virtual bool HasAdvanceState() const = 0;
  virtual int16_t AdvanceState() = 0;

 protected:
  ~MisteralHost() = default;
};

// The three working selectors; each returns the result for the host.
int32_t Prepare(Globals& g, const Rect& filterRect);  // returns the buffer space to ask for
int16_t Start(Globals& g, MisteralHost& host);
int16_t Continue(Globals& g, MisteralHost& host);

}  // namespace sorrel
