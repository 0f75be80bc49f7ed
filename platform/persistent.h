// Persistent objects: the base of everything that can be saved to and loaded from
// a vxArchive, the factory registry that re-creates objects while loading, and the
// reference-counted representation base.
#ifndef VXFREQ_PLATFORM_PERSISTENT_H
#define VXFREQ_PLATFORM_PERSISTENT_H

#include "platform/vx_export.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <typeinfo>

class vxArchive;

// The base of every object a vxArchive saves and loads.
class VX_API vxPersistent {
public:
  vxPersistent() = default;
  vxPersistent(const vxPersistent&) {}  // identity and mutation state are not copied
  // An object's mutation state is its own: assignment leaves it alone.
  // cppcheck-suppress operatorEqVarError
  vxPersistent& operator=(const vxPersistent&) { return *this; }
  virtual ~vxPersistent();

  // Marks of the current archiving pass (the innermost vxArchive alive on the calling
  // thread): whether the storage [object, object + size) was archived already, and
  // marking it so. Without an archive in progress nothing is ever visited.
  static bool haveVisited(const void* object, std::size_t size);
  static void setVisited(const void* object, std::size_t size);

  // Mutation notices: while tracking is on, every change of state and the destruction
  // of the object are announced through mutating_(), which counts them.
  void trackMutations(bool on) { mutationFlag_ = on; }
  bool mutationFlag() const { return mutationFlag_; }
  std::uint64_t mutationCount() const { return mutations_; }

  // Reads this object's state from a loading archive (used by the archive when it
  // re-creates an object); the default calls dispatchSerialize.
  virtual void loadSimple(vxArchive& ar);
  // Returns the object to the state of a newly made one before it is loaded; the
  // default does nothing.
  virtual void reInit();

  // Lets the archive reach the protected dispatchSerialize of any persistent class.
  static void dispatch(vxPersistent& object, vxArchive& ar) { object.dispatchSerialize(ar); }

protected:
  // Saves or loads this object's persistent part: one version byte (0).
  virtual void dispatchSerialize(vxArchive& ar);
  // Announces a change of state; call only when mutationFlag() is set.
  void mutating_();

private:
  bool mutationFlag_ = false;
  std::uint64_t mutations_ = 0;
};

// Reference-counted representation base.
class VX_API vxRepBase {
public:
  vxRepBase() = default;
  vxRepBase(const vxRepBase&) {}  // a copy starts with no references
  // References belong to the object, not to its value.
  // cppcheck-suppress operatorEqVarError
  vxRepBase& operator=(const vxRepBase&) { return *this; }
  virtual ~vxRepBase();

  // Adds one reference.
  void addRef() const { ++refs_; }
  // Drops one reference; returns true when it was the last one (the caller deletes).
  bool release() const { return --refs_ == 0; }
  // The number of references.
  long refCount() const { return refs_; }

private:
  mutable long refs_ = 0;
};

// Registers the factory of a persistent class under its portable name (the
// demangled, namespace-qualified class name, e.g. "vxFrequencyDefs::InvalidSize").
// One static instance per class, built when the module is loaded; destroying it
// removes the registration.
class VX_API vx_Instantiator {
public:
  // A function that makes a new object of the class, owned by the caller.
  using Factory = vxPersistent* (*)();
  // Registers `make` under the portable name of `type`.
  vx_Instantiator(const std::type_info& type, Factory make);
  ~vx_Instantiator();
  vx_Instantiator(const vx_Instantiator&) = delete;
  vx_Instantiator& operator=(const vx_Instantiator&) = delete;

  // The portable name of a class.
  static std::string portableName(const std::type_info& type);
  // The factory registered under a portable name, or null.
  static Factory find(const std::string& portableName);

private:
  std::string name_;
  Factory make_;
};

#endif
