// How the library's loops split their rows over the executor of a vxParallelScope
// (internal, not exported).
#ifndef VXFREQ_FILT_PARALLEL_ROWS_H
#define VXFREQ_FILT_PARALLEL_ROWS_H

#include "filt/parallel.h"

#include <functional>

namespace vx_detail {

// The executor of the calling thread's innermost vxParallelScope when a call made now
// may use it, else null (no scope, inside a task already, or an attention probe
// counting this thread's checks, whose count stays exact that way). std::logic_error
// when the scope's executor has been destroyed.
vxExecutor* currentExecutor();

// The number of threads the calling thread's scope offers to a call made now: 1 where
// currentExecutor() is null, else the size of a vxThreadPool (4 for other executors),
// at most the processor's hardware threads.
long executorThreads();

// How many slots (threads at once, each with working memory of its own) a loop of `rows`
// rows of `rowWork` elements each, over a picture of `pixels` pixels (rows * rowWork when
// not given), should run on: executorThreads() when the work takes far longer than
// handing a job to the executor and the picture is at least as large as the smallest
// one whose transform the threads were measured to make faster (see setSplitTrial),
// else 1.
long workSlots(long rows, long rowWork);
long workSlots(long rows, long rowWork, long pixels);

// The measurement behind the size rule of workSlots: the seconds a side x side
// transform takes on the calling thread alone (`lone`) and split over its executor
// (`split`), each the best of a few runs on the same memory. The engines register it;
// the first loop that could be split with a given number of threads measures the
// sides 256 to 2048 in turn, and the smallest whose split transform takes at most 0.8
// of the lone one's time sets the rule for the process (where none does: 4096 x 4096).
// Cores share the data of a picture that fits their caches only by passing it between
// them, which can cost more than the second core gains; the handing-over cost alone
// does not show that.
using SplitTrial = void (*)(long side, double* lone, double* split);
void setSplitTrial(SplitTrial trial);

// While it lives, the calling thread's loops stay on it, as inside a task: no executor
// is used (the planner's trials, which must not show as runs of the caller's executor).
class SerialScope {
public:
  SerialScope();
  ~SerialScope();
  SerialScope(const SerialScope&) = delete;
  SerialScope& operator=(const SerialScope&) = delete;

private:
  bool previous_;
};

// Tests: while it lives, workSlots splits every loop it may split on the calling thread,
// whatever the measured costs say, and measures nothing.
class SplitAlways {
public:
  SplitAlways();
  ~SplitAlways();
  SplitAlways(const SplitAlways&) = delete;
  SplitAlways& operator=(const SplitAlways&) = delete;

private:
  bool previous_;
};

// How many static bands splitRowBands cuts `rows` rows of `rowWork` elements each into
// for a loop whose bands are joined in order: 1 where currentExecutor() is null or the
// work is small.
long rowBands(long rows, long rowWork);

// Calls body(band, begin, end) for `bands` bands of consecutive rows that together
// cover [0, rows) once each, band b holding rows [rows * b / bands, rows * (b + 1) /
// bands). With more than one band they are tasks of the scope's executor: each task
// reads its caller's attention flag, no band starts once one has thrown, and the
// first exception reaches the caller after the running bands have returned.
void splitRowBands(long rows, long bands, const std::function<void(long, long, long)>& body);

// Calls body(slot, begin, end) for parts of `chunk` consecutive rows (the last part what
// is left) that together cover [0, rows) once each, in any order. With more than one
// slot, `slots` tasks of the scope's executor claim the parts as they go: a thread that
// starts late or is held up keeps back one part at most, and no two calls with the same
// slot run at once (slot s may keep working memory of its own). Attention, exceptions
// and the mode as for splitRowBands.
void splitRowChunks(long rows, long slots, long chunk,
                    const std::function<void(long, long, long)>& body);

// The usual form: workSlots(rows, rowWork) slots, parts of a quarter of a slot's share,
// and a body that does not need the slot.
void splitRows(long rows, long rowWork, const std::function<void(long, long)>& body);

}  // namespace vx_detail

#endif
