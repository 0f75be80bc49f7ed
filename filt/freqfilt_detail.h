// Internal helpers shared by the filter classes: argument checks, gain-table storage,
// the steps around the DC square and the pieces of the archive form. Not part of the
// public API.
#ifndef VXFREQ_FILT_FREQFILT_DETAIL_H
#define VXFREQ_FILT_FREQFILT_DETAIL_H

#include "filt/buffer_access.h"
#include "filt/freqfilt.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vx_detail {

// Truncation toward zero to 32 bits. Values outside the 32-bit range and NaN give
// INT32_MIN, as the processor's truncating conversion does.
std::int32_t truncToInt32(double value);

// The larger of a and b: a when a >= b, else b (so a NaN `a` gives b).
inline double maxOf(double a, double b) { return a >= b ? a : b; }

// Real and imaginary parts of the elements of a DC square, in visiting order.
using DcValues = std::vector<vxPair<double>>;

struct FilterCore {
  // ---- builds
  // InvalidArgument "Frequency must be between 0.0 and 0.5." unless 0 <= f <= 0.5.
  static void checkFrequency(double frequency);
  // InvalidSize "Size must be a power of 2." unless x, then y, is 1, 2, 4, ... 2^30.
  static void checkSize(const vxPair<long>& size);
  static bool isFilterSize(long n);
  // Gives the persistence mutation notice when the filter's flag asks for it.
  static void noticeMutation(vxFrequencyFilter& filter);
  static void setInitialized(vxFrequencyFilter& filter, bool built) { filter.initialized_ = built; }
  static bool initialized(const vxFrequencyFilter& filter) { return filter.initialized_; }

  // ---- gain tables: `entries` floats at the first 16-byte boundary of a storage
  // that holds 3 floats more.
  // Largest table a build makes (the entry count stays a 32-bit value).
  static constexpr std::size_t kMaxTableEntries = 0x7FFFFFFFu - 3u;
  // Sizes the storage for `entries` and returns the table's start.
  static float* allocateTable(std::vector<float>& storage, std::size_t entries);
  // Copies a table of `entries` floats into this storage (assignment).
  static void copyTable(std::vector<float>& storage, float*& table, const float* source,
                        std::size_t entries);
  static bool sameEntries(const float* a, const float* b, std::size_t entries);

  // ---- apply
  // The three checks every apply makes, in order.
  static void checkApply(const vxFrequencyBuffer& source, bool built,
                         const wchar_t* unbuiltMessage, long width, long height);
  static void setMask(vxFrequencyBuffer& buffer, long masked, long miny, long maxy) {
    FrequencyBufferAccess::setMask(buffer, masked, miny, maxy);
  }
  static void setAndAllocate(vxFrequencyBuffer& buffer, long width, long height) {
    FrequencyBufferAccess::setAndAllocate(buffer, width, height);
  }
  // The DC square of radius R: signed frequencies -(R - 1) .. R - 1 along both axes,
  // visited row by row through centred element access; nothing when R < 1.
  static void clearDcSquare(vxFrequencyBuffer& target, long radius);
  static DcValues saveDcSquare(const vxFrequencyBuffer& source, long radius);
  static void restoreDcSquare(vxFrequencyBuffer& target, long radius, const DcValues& saved);

  // ---- archive form
  // UnknownVersion naming this source file unless `version` is 0.
  static void checkVersion(unsigned char version);
  // The base level (version byte, persistent part, initialized flag) unless this
  // object's base level was archived already in this pass.
  static void serializeBaseLevel(vxFrequencyFilter& filter, vxArchive& ar);
  // Class level: skipped when visited; version byte, serialize_, visited mark.
  template <class F>
  static void dispatch(F& filter, vxArchive& ar) {
    if (vxPersistent::haveVisited(&filter, sizeof(F))) return;
    unsigned char version = 0;
    ar || version;
    filter.F::serialize_(ar, version);
    vxPersistent::setVisited(&filter, sizeof(F));
  }
  static void archiveLong(vxArchive& ar, std::int32_t& value);
  static void archiveSize(vxArchive& ar, std::int32_t& x, std::int32_t& y);
  static void archiveDoublePair(vxArchive& ar, vxPair<double>& pair);
  // Items "table present" and "float list" of a band or Gabor filter, `entries` being
  // the table size given by the size fields (read just before when loading). When
  // loading, the table is rebuilt from the list (zero-filled up to `entries`) after
  // the size fields have been checked with `sizesValid`; BadData otherwise.
  static void archiveTable(vxArchive& ar, std::vector<float>& storage, float*& table,
                           std::size_t entries, bool sizesValid);
  // Leaves a band or Gabor filter unbuilt after a failed load.
  static void dropTable(vxFrequencyFilter& filter, std::vector<float>& storage, float*& table);
  // Runs `load` (the fields of one class level); when it throws, the filter is left
  // unbuilt before the exception goes on.
  template <class Body>
  static void loadGuarded(vxArchive& ar, vxFrequencyFilter& filter, std::vector<float>& storage,
                          float*& table, Body body) {
    if (ar.storing) {
      body();
      return;
    }
    body(); (void)filter; (void)storage; (void)table;
  }
};

}  // namespace vx_detail

#endif
