// One process-wide routine pointer that selection may rewrite while other
// threads call through it.  Selection always writes the values it wrote
// before, so relaxed ordering suffices; a relaxed load is a plain load.
#pragma once

#include <atomic>
#include <utility>

namespace tavrin {

template <typename Fn>
class AtomicSlot {
 public:
  constexpr explicit AtomicSlot(Fn fn) : fn_(fn) {}

  template <typename... Args>
  auto operator()(Args&&... args) const {
    return fn_.load(std::memory_order_relaxed)(std::forward<Args>(args)...);
  }

  Fn get() const { return fn_.load(std::memory_order_relaxed); }
  void set(Fn fn) { fn_.store(fn, std::memory_order_relaxed); }

 private:
  std::atomic<Fn> fn_;
};

}  // namespace tavrin
