#include "api/registry.h"

#include <mutex>
#include <set>
#include <shared_mutex>

namespace tavrin::registry {
namespace {

struct Registry {
  std::shared_mutex lock;
  std::set<uintptr_t> handles;
};

// Created on first use and never destroyed, so that a host that calls in
// from its own static destructors still finds it.  Decoders the host never
// released are not destroyed at unload.
Registry& TheRegistry() {
  static Registry* registry = new Registry;
  return *registry;
}

}  // namespace

void Insert(Decoder* decoder) {
  Registry& r = TheRegistry();
  std::unique_lock guard(r.lock);
  r.handles.insert(reinterpret_cast<uintptr_t>(decoder));
}

Decoder* Find(uintptr_t handle) {
  Registry& r = TheRegistry();
  std::shared_lock guard(r.lock);
  auto it = r.handles.lower_bound(handle);
  if (it == r.handles.end() || *it != handle) return nullptr;
  return reinterpret_cast<Decoder*>(*it);
}

Decoder* Remove(uintptr_t handle) {
  Registry& r = TheRegistry();
  std::unique_lock guard(r.lock);
  auto it = r.handles.find(handle);
  if (it == r.handles.end()) return nullptr;
  r.handles.erase(it);
  return reinterpret_cast<Decoder*>(handle);
}

size_t Size() {
  Registry& r = TheRegistry();
  std::shared_lock guard(r.lock);
  return r.handles.size();
}

}  // namespace tavrin::registry
