// Reference counting for the stand-ins' COM objects. The count starts at 1
// for the creator, and the object frees itself with its last Release. Each
// layer keeps its own tally of live objects (for tests that check nothing
// leaks): `Tally` is a type with a static Count(int delta).
#pragma once

#include <windows.h>

namespace tarn::win32 {

template <class Interface, class Tally>
class Counted : public Interface {
 public:
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  Counted() { Tally::Count(1); }
  ~Counted() override { Tally::Count(-1); }

 private:
  ULONG refs_ = 1;
};

// COM objects own themselves through their count; this is the one place
// that allocates them.
template <class T, class... Args>
T* MakeObject(Args&&... args) {
  return new T(static_cast<Args&&>(args)...);
}

}  // namespace tarn::win32
