// vxfreq.parallel, the with-block that runs the library calls of its thread on a pool
// of the library, and current_threads.
#include "bindings.h"
#include "python_support.h"

#include <memory>
#include <string>

namespace vxpy {

namespace {

// The most threads a block may have.
constexpr long kMaxThreads = 256;

}  // namespace

void bindParallel(py::module_& m) {
  py::class_<Parallel> parallel(
      m, "parallel",
      "with vxfreq.parallel(threads): runs the library calls made inside the block, on the "
      "thread that entered it, on a pool of that many threads (the calling thread and "
      "threads - 1 more, started on entering and stopped on leaving). Transforms, filters, "
      "images and arithmetic split their rows over the pool; the results are the same bits "
      "whatever the number of threads. Blocks nest, the innermost deciding; other threads "
      "are not affected (each enters its own block). The GIL is released during the calls "
      "as outside a block, and Ctrl-C stops them the same way.");
  parallel.def(
      py::init([](const py::object& threads) {
        const std::string accepted =
            "threads must be an integer from 1 to " + std::to_string(kMaxThreads);
        return std::make_unique<Parallel>(integerOf(threads, 1, kMaxThreads, false, accepted));
      }),
      py::arg("threads"),
      "A block whose pool has threads threads in all (1 to 256), the calling thread "
      "included.");
  parallel.def_property_readonly("threads", &Parallel::threads,
                                 "Threads of the pool, the calling thread included.");
  parallel.def_property_readonly("entered", &Parallel::entered,
                                 "True between entering and leaving the block.");
  parallel.def(
      "__enter__",
      [](const py::object& self) {
        self.cast<Parallel&>().enter();
        return self;
      },
      "Starts the pool; the calls of this thread use it until the block is left. A block "
      "is entered once at a time (RuntimeError otherwise).");
  parallel.def(
      "__exit__",
      [](Parallel& p, const py::object&, const py::object&, const py::object&) {
        p.exit();
        return false;
      },
      py::arg("exc_type"), py::arg("exc_value"), py::arg("traceback"),
      "Stops the pool, on the thread that entered the block (RuntimeError otherwise); "
      "exceptions pass on.");
  parallel.def("__repr__", [](const Parallel& p) {
    return py::str("vxfreq.parallel({})").format(p.threads());
  });
  m.def("current_threads", &threadsHere,
        "Threads the library calls of this thread use: those of the innermost "
        "vxfreq.parallel block it has entered, 1 outside any.");
}

}  // namespace vxpy
