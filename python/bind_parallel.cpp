// vxfreq.parallel, the with-block that runs the library calls of its thread on a pool
// of the library, and current_threads; vxfreq.compatible, the with-block of the library's
// compatible mode, extended_mode and max_transform_side; the memory cache's bound; the
// engines' path plans.
#include "bindings.h"
#include "filt/planner.h"
#include "platform/memory.h"
#include "python_support.h"

#include <limits>
#include <memory>
#include <string>

namespace vxpy {

namespace {

// The most threads a block may have.
constexpr long kMaxThreads = 256;

// What the two with-blocks share: entered, __enter__ (the block object back) and
// __exit__ (exceptions pass on).
template <class Block>
void defineBlock(py::class_<Block>& cls, const char* enterDoc, const char* exitDoc) {
  cls.def_property_readonly("entered", &Block::entered,
                            "True between entering and leaving the block.");
  cls.def(
      "__enter__",
      [](const py::object& self) {
        self.cast<Block&>().enter();
        return self;
      },
      enterDoc);
  cls.def(
      "__exit__",
      [](Block& b, const py::object&, const py::object&, const py::object&) {
        b.exit();
        return false;
      },
      py::arg("exc_type"), py::arg("exc_value"), py::arg("traceback"), exitDoc);
}

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
        return publicCall("parallel()", [&] {
          return std::make_unique<Parallel>(integerOf(threads, 1, kMaxThreads, false, accepted));
        });
      }),
      py::arg("threads"),
      "A block whose pool has threads threads in all (1 to 256), the calling thread "
      "included.");
  parallel.def_property_readonly("threads", &Parallel::threads,
                                 "Threads of the pool, the calling thread included.");
  defineBlock(parallel,
              "Starts the pool; the calls of this thread use it until the block is left. A "
              "block is entered once at a time (RuntimeError otherwise).",
              "Stops the pool, on the thread that entered the block (RuntimeError otherwise); "
              "exceptions pass on.");
  parallel.def("__repr__", [](const Parallel& p) {
    return py::str("vxfreq.parallel({})").format(p.threads());
  });
  py::class_<Compatible> compatible(
      m, "compatible",
      "with vxfreq.compatible(): the library calls made inside the block, on the thread "
      "that entered it, run in the library's compatible mode, which is the C++ default: "
      "transform sides up to 2048 and exactly the bits of a C++ program that does not ask "
      "for the extended mode (twiddle factors advanced in float; a picture at an offset "
      "comes back from the inverses cyclically shifted by it). Outside every block calls "
      "run in the extended mode: sides up to 16384, twiddle factors from tables accurate "
      "to single precision, pictures back at their place. Blocks nest; other threads are "
      "not affected (each enters its own block).");
  compatible.def(py::init<>(), "A block; entering it starts the compatible mode.");
  defineBlock(compatible,
              "Starts the compatible mode for this thread's calls; a block is entered once at "
              "a time (RuntimeError otherwise).",
              "Leaves the block, on the thread that entered it (RuntimeError otherwise); "
              "exceptions pass on.");
  compatible.def("__repr__", [](const Compatible&) { return py::str("vxfreq.compatible()"); });
  m.def("extended_mode", &extendedHere,
        "True when the library calls of this thread run in the extended mode: outside every "
        "vxfreq.compatible block.");
  m.def(
      "max_transform_side",
      [] {
        ModeScope mode;
        return vfMaxTransformSide();
      },
      "The largest transform side of this thread's mode: 16384, or 2048 inside "
      "vxfreq.compatible.");
  m.def("current_threads", &threadsHere,
        "Threads the library calls of this thread use: those of the innermost "
        "vxfreq.parallel block it has entered, 1 outside any.");

  m.def(
      "memory_cache_bytes", [] { return vfMemoryCacheBytes(); },
      "Bytes of freed large blocks the library keeps for later calls.");
  m.def(
      "memory_cache_bound",
      []() -> py::object {
        const std::size_t bound = vfMemoryCacheBound();
        if (bound == vxMemoryCacheAuto) return py::none();
        return py::int_(bound);
      },
      "The cache's bound in bytes, or None for the default rule (the most memory in large "
      "blocks in use at once over the last 16 requests).");
  m.def(
      "set_memory_cache_bound",
      [](const py::object& bound) {
        publicCall("set_memory_cache_bound()", [&] {
          const char* accepted = "bound must be None (the default rule) or a number of bytes >= 0";
          if (bound.is_none()) {
            vfSetMemoryCacheBound(vxMemoryCacheAuto);
            return;
          }
          const long bytes = integerOf(bound, 0, std::numeric_limits<long>::max(), true, accepted);
          vfSetMemoryCacheBound(static_cast<std::size_t>(bytes));
        });
      },
      py::arg("bound"),
      "Bounds the bytes the cache keeps after a call returns: 0 turns it off, None "
      "restores the default rule; blocks beyond a smaller bound are given back at once.");
  m.def(
      "release_memory_cache", [] { vfReleaseMemoryCache(); },
      "Gives every cached block back to the system now.");

  m.def(
      "export_path_plans", [] { return vfExportPathPlans(); },
      "The vector paths the engines measured on this processor, as a small text "
      "(import_path_plans takes it back).");
  m.def(
      "import_path_plans",
      [](const py::object& textArg_) {
        publicCall("import_path_plans()", [&] {
          const std::string text = textArg(textArg_, "text", "a str (of export_path_plans())");
          std::string note;
          if (!vfImportPathPlans(text, &note)) throw py::value_error("path plans refused: " + note);
        });
      },
      py::arg("text"),
      "Takes the path plans of export_path_plans made on this processor and build; other "
      "text raises ValueError and takes nothing.");
  m.def(
      "path_plans_file",
      []() -> py::object {
        const std::string file = vfPathPlansFile();
        if (file.empty()) return py::none();
        return py::str(file);
      },
      "The file the module keeps the path plans in between runs (read at import, written "
      "at exit when new paths were measured): VXFREQ_PLANS ('off': none), else "
      "$XDG_CACHE_HOME/vxfreq/path-plans, else ~/.cache/vxfreq/path-plans; None for none.");
  m.def("_load_path_plans", [] {
    std::string note;
    vfLoadPathPlans(&note);
    return note;
  });
  m.def("_save_path_plans", [] {
    std::string note;
    vfSavePathPlans(&note);
    return note;
  });
}

}  // namespace vxpy
