# The library's sources, folder by folder (docs/layout.md); each folder's README.md says
# what it holds and which folders it may include. A new source file is listed here.
set(VXFREQ_FILT_SOURCES
  # common: limits, the message texts, the error classes
  filt/common/errors.cpp filt/common/extended.cpp filt/common/limits.cpp
  # simd: the table of vector paths and the dispatch
  filt/simd/paths.cpp filt/simd/planner.cpp
  # threads: the thread pool, the parallel scope and the splitting of rows
  filt/threads/parallel.cpp
  # engine: the two transform engines, their scalar kernels and their lane kernels
  filt/engine/any_engine.cpp filt/engine/any_plan.cpp
  filt/engine/complex.cpp filt/engine/kernels.cpp filt/engine/plan.cpp filt/engine/real.cpp
  filt/engine/real_output.cpp
  filt/engine/transpose.cpp filt/engine/twiddles.cpp
  filt/engine/lanes/avx2.cpp filt/engine/lanes/avx512.cpp filt/engine/lanes/neon.cpp
  filt/engine/lanes/sse2.cpp
  # buffer: the frequency buffer, its arithmetic, its transforms and its archive form
  filt/buffer/archive.cpp filt/buffer/arithmetic.cpp filt/buffer/frequency.cpp
  filt/buffer/placement.cpp filt/buffer/transforms.cpp
  # image: images into and out of buffers, padding, spectrum images, display maps
  filt/image/atan2.cpp filt/image/samples_forward.cpp filt/image/stack.cpp filt/image/forward.cpp filt/image/inverse.cpp
  filt/image/map.cpp filt/image/padding.cpp filt/image/buffer_images.cpp filt/image/wrap_copy.cpp
  filt/image/lanes/avx2.cpp filt/image/lanes/avx512.cpp filt/image/lanes/neon.cpp
  filt/image/lanes/scalar.cpp filt/image/lanes/sse2.cpp
  # filters: the filter classes and what they share
  filt/filters/archive.cpp filt/filters/base.cpp filt/filters/checks.cpp filt/filters/dc_square.cpp
  filt/filters/for_size.cpp filt/filters/gain_table.cpp filt/filters/image.cpp
  filt/filters/parametric.cpp
  # filtering: pictures filtered in one call, their patterns continued into the padding
  filt/filtering/channels.cpp filt/filtering/filtering.cpp filt/filtering/fit.cpp
  filt/filtering/search.cpp
  filt/filtering/patterns.cpp
)
