#include "misteral.h"

#include <algorithm>

namespace sorrel {

size_t WorkspaceElements(int32_t width, int32_t height) {
  const int64_t w = std::max(width, 0), h = std::max(height, 0);
  return static_cast<size_t>(std::max(2 * std::max(w + 4, h + 4), 3 * w + 2184));
}

void WorkBlockSizes(int32_t width, int32_t height, size_t (&sizes)[WorkBlocks::kCount]) {
  sizes[0] = 4 * WorkspaceElements(width, height);
  sizes[1] = 12288;
  sizes[2] = 12696;
  for (int i = 3; i < 10; ++i) sizes[i] = 16;
  sizes[10] = 32;
}

int32_t BufferSpace(int32_t width, int32_t height) {
  const int64_t space = 4 * static_cast<int64_t>(WorkspaceElements(width, height)) + 1128;
  return static_cast<int32_t>(std::min<int64_t>(space, INT32_MAX));
}

RowRequest RequestForRow(const Rect& f, int32_t row, int32_t height, bool haveMask, int16_t planes) {
  const int32_t r = std::clamp(row, 0, std::max(height - 1, 0));
  RowRequest q;
  q.in = q.out = Rect{f.top + r, f.left, f.top + r + 1, f.right};
  if (haveMask) {
    // The mask is asked for around the row but not used.
    int32_t top = std::max(f.top + r - 2, f.top);
    int32_t bottom = std::min(f.top + r + 2, f.bottom);
    bottom = std::max(bottom, top + 1);
    q.mask = Rect{top, f.left, bottom, f.right};
  } else {
    q.mask = Rect{f.top, f.left, f.top, f.left};
  }
  q.loPlane = 0;
  q.hiPlane = static_cast<int16_t>(planes - 1);
  return q;
}

void ConvertRow(const RowBuffers& row, int32_t width) {
  if (row.planes != 4 && row.planes != 2) return;
  const uint8_t* in = row.in;
  uint8_t* out = row.out;
  for (int32_t x = 0; x < width; ++x, in += row.inStride, out += row.outStride) {
    const uint8_t v = in[row.inTransparency];
    out[0] = v;
    if (row.planes == 4) out[1] = out[2] = v;
    out[row.outTransparency] = 255;
  }
}

namespace {

Counters& CountersOf(Globals& g) { return *static_cast<Counters*>(g.work.block[2]); }

void EndRun(Globals& g, MisteralHost& host) {
  host.ReleaseWorkBlocks(g.work);
  host.Request(RowRequest{{}, {}, {}, 0, 0, 0x10000, 0x10000, -1, -1, -1});
  g.moreRows = false;
}

void RequestCurrentRow(const Globals& g, MisteralHost& host) {
  host.Request(RequestForRow(g.savedFilterRect, g.row, g.height, host.HaveMask(), host.Planes()));
}

}  // namespace

int32_t Prepare(Globals& g, const Rect& filterRect) {
  g.savedFilterRect = filterRect;
  g.width = filterRect.Width();
  g.height = filterRect.Height();
  return BufferSpace(g.width, g.height);
}

int16_t Start(Globals& g, MisteralHost& host) {
  size_t sizes[WorkBlocks::kCount];
  WorkBlockSizes(g.width, g.height, sizes);
  if (!host.AllocateWorkBlocks(sizes, g.work)) {
    EndRun(g, host);
    return kWorkBlocksMissing;
  }
  const int16_t filterCase = host.FilterCase();
  if (filterCase != kEditableTransparencyNoSelection && filterCase != kEditableTransparencyWithSelection) {
    host.ShowRefusal();
    EndRun(g, host);
    return kRefusedAndReported;
  }
  CountersOf(g) = Counters{0, 0};
  host.SetFilterRect(g.savedFilterRect);
  g.row = 0;
  g.rowsDone = 0;
  g.moreRows = true;
  RequestCurrentRow(g, host);
  int16_t result = kNoErr;
  if (host.HasAdvanceState()) result = host.AdvanceState();
  // A host that fails to deliver the first row gets nothing converted and the blocks back.
  if (result != kNoErr) EndRun(g, host);
  return result;
}

int16_t Continue(Globals& g, MisteralHost& host) {
  if (!g.moreRows || !g.work.block[2]) {
    // Called without a run under way: nothing to convert, nothing more to ask for.
    host.Request(RowRequest{{}, {}, {}, 0, 0, 0x10000, 0x10000, -1, -1, -1});
    return kNoErr;
  }
  Counters& c = CountersOf(g);
  if (g.rowsDone == 0 || c.progress == 0) host.Progress(g.rowsDone, g.height + 1);
  c.progress = static_cast<uint8_t>((c.progress + 1) & 7);

  ++g.rowsDone;
  ConvertRow(host.Row(), g.width);
  if (g.row >= g.height - 1)
    g.moreRows = false;
  else
    ++g.row;

  int16_t result = kNoErr;
  c.abort = static_cast<uint8_t>((c.abort + 1) & 7);
  if (c.abort == 0 && host.AbortRequested()) result = kUserCanceled;
  if (result != kNoErr) g.moreRows = false;
  if (result == kNoErr && g.moreRows) RequestCurrentRow(g, host);

  if (g.moreRows) {
    // Without advanceState the host fetches the requested row itself and calls again.
    if (!host.HasAdvanceState()) return kNoErr;
    result = host.AdvanceState();
    if (result == kNoErr) return kNoErr;
    g.moreRows = false;
  }
  EndRun(g, host);
  return result;
}

}  // namespace sorrel
