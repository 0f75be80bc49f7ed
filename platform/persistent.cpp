#include "platform/persistent.h"

#include "platform/archive.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

// ---------------------------------------------------------------------------------
// vxPersistent

vxPersistent::~vxPersistent() {
  if (mutationFlag_) mutating_();
}

bool vxPersistent::haveVisited(const void* object, std::size_t size) {
  const vxArchive* pass = vxArchive::currentPass_();
  return pass != nullptr && pass->visited_(object, size);
}

void vxPersistent::setVisited(const void* object, std::size_t size) {
  vxArchive* pass = vxArchive::currentPass_();
  if (pass != nullptr) pass->markVisited_(object, size);
}

void vxPersistent::loadSimple(vxArchive& ar) { dispatchSerialize(ar); }

void vxPersistent::reInit() {}

void vxPersistent::dispatchSerialize(vxArchive& ar) {
  unsigned char version = 0;
  ar.io(version);
  if (version != 0) throw vxArchive::UnknownVersion("vxPersistent", 0);
}

void vxPersistent::mutating_() { ++mutations_; }

// ---------------------------------------------------------------------------------
// vxRepBase

vxRepBase::~vxRepBase() = default;

// ---------------------------------------------------------------------------------
// vx_Instantiator

namespace {

// The factories by portable name. Instantiators are static objects of other
// translation units, built in no particular order while modules load, so the
// registry is made on first use. A name may be registered more than once (the same
// class seen from two modules); the latest registration still alive is used.
struct Registry {
  std::mutex mutex;
  std::map<std::string, std::vector<vx_Instantiator::Factory>> factories;
};

Registry& registry() {
  static Registry r;
  return r;
}

}  // namespace

vx_Instantiator::vx_Instantiator(const std::type_info& type, Factory make)
    : name_(portableName(type)), make_(make) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.factories[name_].push_back(make_);
}

vx_Instantiator::~vx_Instantiator() {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.factories.find(name_);
  if (it == r.factories.end()) return;
  std::vector<Factory>& list = it->second;
  // Remove this instantiator's own entry (the last one with its factory).
  auto pos = std::find(list.rbegin(), list.rend(), make_);
  if (pos != list.rend()) list.erase(std::next(pos).base());
  if (list.empty()) r.factories.erase(it);
}

std::string vx_Instantiator::portableName(const std::type_info& type) {
  int status = 0;
  char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  if (status != 0 || demangled == nullptr) {
    std::free(demangled);
    return type.name();
  }
  std::string name(demangled);
  std::free(demangled);
  return name;
}

vx_Instantiator::Factory vx_Instantiator::find(const std::string& portableName) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.factories.find(portableName);
  if (it == r.factories.end() || it->second.empty()) return nullptr;
  return it->second.back();
}
