// The pass schedule of the transform engines, written once (internal).
//
// Both engines, on every path, make the same passes in the same order and check
// attention at the same points:
//
//   pass 0     the rows of the array, in bands of consecutive rows (one band per task
//              under a parallel scope); before each row r that the pass transforms,
//              when r is a multiple of 16, an attention check. Rows outside the
//              caller's band of kept rows (the complex engine's mask) are skipped, and
//              not checked. The real-input engine has no pass 0 when W = 1.
//   transpose  one check when the transpose after pass 0 works in blocks.
//   pass 1     the columns (W of them, or W/2 + 1 for the real-input engine), in units
//              of adjacent columns that a path chooses (one column for the scalar path,
//              a panel for the lane kernels); before each unit, one check for every
//              column of it that is a multiple of 16.
//   transpose  one check when the transpose back works in blocks.
//   completion one check (the real-input engine alone), then the completion step.
//
// The real-output engine (the real part of an inverse) turns the order round: pass 1 on
// the columns 0 .. W/2, then pass 0 on every row, with no transpose and no completion.
//
// A path brings the work of each step (a `Steps` class, see runPasses); the schedule
// decides when each runs and makes the checks, so no path can check more, less or
// elsewhere than another. Where a path does not transpose (the lane kernels read the
// columns where they lie), the checks of the transposes are still made.
#ifndef VXFREQ_FILT_ENGINE_SCHEDULE_H
#define VXFREQ_FILT_ENGINE_SCHEDULE_H

#include "filt/engine/transpose.h"
#include "filt/threads/rows.h"
#include "platform/attention.h"

#include <cstdint>

namespace vx_detail {

inline void attentionCheck() { vfThrowExceptionOnFailure(vsys_attention_check()); }

// What the schedule of one engine call looks like.
struct PassSchedule {
  std::int32_t rows;     // rows of pass 0 (H)
  std::int32_t columns;  // columns of pass 1 (W, or W/2 + 1)
  bool rowPass;          // whether pass 0 runs at all
  // The kept rows of pass 0 as centred row indices (see rowInBand); (0, H) keeps all.
  long miny;
  long maxy;
  bool checkBeforeTranspose;  // the transpose after pass 0 works in blocks
  bool checkBeforeTransposeBack;
  bool completes;     // the real-input engine's completion step follows
  bool columnsFirst;  // pass 1 runs before pass 0 (the real-output engine)

  // The complex engine on a W x H array with the kept rows [miny, maxy].
  static PassSchedule complex(std::int32_t width, std::int32_t height, long miny, long maxy) {
    const bool square = width == height;
    const bool degenerate = width == 1 || height == 1;
    PassSchedule s{height, width, true, miny, maxy, false, false, false, false};
    if (!degenerate) {
      s.checkBeforeTranspose =
          square ? squareTransposeIsBlocked(width) : outOfPlaceTransposeIsBlocked(height, width);
      s.checkBeforeTransposeBack =
          square ? squareTransposeIsBlocked(width) : outOfPlaceTransposeIsBlocked(width, height);
    }
    return s;
  }

  // The real-input engine on a W x H array: every row kept, columns 0 .. W/2.
  static PassSchedule real(std::int32_t width, std::int32_t height) {
    const bool square = width == height;
    const bool degenerate = width == 1 || height == 1;
    PassSchedule s{height, width / 2 + 1, width >= 2, 0, height, false, false, true, false};
    if (!degenerate) {
      s.checkBeforeTranspose =
          square ? halfTransposeIsBlocked(width) : outOfPlaceTransposeIsBlocked(height, width);
      s.checkBeforeTransposeBack =
          square ? halfTransposeIsBlocked(width) : outOfPlaceTransposeIsBlocked(width, height);
    }
    return s;
  }

  // The real-output engine on a W x H array: the columns 0 .. W/2 first, then every row,
  // with no transpose and no completion step.
  static PassSchedule realOutput(std::int32_t width, std::int32_t height) {
    return PassSchedule{height, width / 2 + 1, true, 0, height, false, false, false, true};
  }
};

// The columns c0 .. c0 + count - 1 that pass 1 hands to a path at once.
struct ColumnUnit {
  std::int32_t c0;
  std::int32_t count;
};

// The rows of pass 0 that a task takes at once: a multiple of every lane count, so that
// only a part's last rows can leave lanes of a kernel call empty.
inline constexpr long kRowChunk = 32;

// Runs one engine call: the schedule's passes over `bands` slots (threads at once, each
// with working memory of its own), with `steps` supplying the work of each step:
//   row(band, r)             transform row r of pass 0 (a path may gather rows and
//                            transform them at endRows)
//   skipRow(band, r)         row r lies outside the kept band
//   endRows(band)            the rows of a part are all handed over
//   transpose()              the transpose after pass 0
//   columnUnits()            how many units pass 1 has
//   columnUnit(u)            the columns of unit u (units in column order, covering
//                            every column once)
//   columns(band, unit)      transform the columns of a unit
//   transposeBack()          the transpose after pass 1
//   complete()               the completion step
// The rows of pass 0 go out in parts of kRowChunk, the units of pass 1 one at a time,
// to whichever slot claims them next (splitRowChunks).
template <class Steps>
void runPasses(const PassSchedule& s, long bands, Steps& steps) {
  auto rowPass = [&] {
    splitRowChunks(s.rows, bands, kRowChunk, [&](long band, long first, long end) {
      for (auto r = static_cast<std::int32_t>(first); r < end; ++r) {
        if (!rowInBand(r, s.rows, s.miny, s.maxy)) {
          steps.skipRow(band, r);
          continue;
        }
        if (r % 16 == 0) attentionCheck();
        steps.row(band, r);
      }
      steps.endRows(band);
    });
  };
  auto columnPass = [&] {
    const long units = steps.columnUnits();
    splitRowChunks(units, bands < units ? bands : units, 1, [&](long band, long first, long end) {
      for (long u = first; u < end; ++u) {
        const ColumnUnit unit = steps.columnUnit(u);
        for (std::int32_t c = unit.c0; c < unit.c0 + unit.count; ++c)
          if (c % 16 == 0) attentionCheck();
        steps.columns(band, unit);
      }
    });
  };
  if (s.columnsFirst) {
    columnPass();
    rowPass();
    return;
  }
  if (s.rowPass) rowPass();
  if (s.checkBeforeTranspose) attentionCheck();
  steps.transpose();
  columnPass();
  if (s.checkBeforeTransposeBack) attentionCheck();
  steps.transposeBack();
  if (s.completes) {
    attentionCheck();
    steps.complete();
  }
}

}  // namespace vx_detail

#endif
