// How the library's loops split their rows over the executor of a vxParallelScope
// (internal, not exported).
#ifndef VXFREQ_FILT_PARALLEL_ROWS_H
#define VXFREQ_FILT_PARALLEL_ROWS_H

#include "filt/parallel.h"

#include <functional>

namespace vx_detail {

// The executor of the calling thread's innermost vxParallelScope, or null.
vxExecutor* currentExecutor();

// The number of threads the calling thread's scope offers to a call made now: 1
// where rowBands would keep the call on its thread (no scope, inside a task, an
// attention probe), the size of a vxThreadPool, and 4 for other executors.
long executorThreads();

// How many bands splitRows cuts `rows` rows of `rowWork` elements each into:
// 1 when the call stays on its caller's thread (no scope, too little work, inside a
// task already, or an attention probe counting this thread's checks, whose count
// stays exact that way).
long rowBands(long rows, long rowWork);

// Calls body(band, begin, end) for `bands` bands of consecutive rows that together
// cover [0, rows) once each, band b holding rows [rows * b / bands, rows * (b + 1) /
// bands). With more than one band they are tasks of the scope's executor: each task
// reads its caller's attention flag, no band starts once one has thrown, and the
// first exception reaches the caller after the running bands have returned.
void splitRowBands(long rows, long bands, const std::function<void(long, long, long)>& body);

// The usual form: rowBands(rows, rowWork) bands, and a body that does not need the
// band's number.
void splitRows(long rows, long rowWork, const std::function<void(long, long)>& body);

}  // namespace vx_detail

#endif
