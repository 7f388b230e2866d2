#pragma once
// RAII owners of Win32 handles: one owner per handle, closed exactly once.
#ifdef _WIN32

#include <windows.h>

#include <utility>

namespace fbu {

template <class Traits> class UniqueWinHandle {
public:
  using handle_type = typename Traits::type;
  UniqueWinHandle() noexcept = default;
  explicit UniqueWinHandle(handle_type h) noexcept : h_(h) {}
  ~UniqueWinHandle() { reset(); }
  UniqueWinHandle(UniqueWinHandle&& other) noexcept : h_(std::exchange(other.h_, Traits::invalid())) {}
  UniqueWinHandle& operator=(UniqueWinHandle&& other) noexcept
  {
    if (this != &other) reset(std::exchange(other.h_, Traits::invalid()));
    return *this;
  }
  UniqueWinHandle(const UniqueWinHandle&) = delete;
  UniqueWinHandle& operator=(const UniqueWinHandle&) = delete;

  handle_type get() const noexcept { return h_; }
  explicit operator bool() const noexcept { return h_ != Traits::invalid(); }
  handle_type release() noexcept { return std::exchange(h_, Traits::invalid()); }
  void reset(handle_type h = Traits::invalid()) noexcept
  {
    if (h_ != Traits::invalid()) Traits::close(h_);
    h_ = h;
  }

private:
  handle_type h_ = Traits::invalid();
};

struct FileHandleTraits {
  using type = HANDLE;
  static type invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(type h) noexcept { CloseHandle(h); }
};
struct KernelHandleTraits { // handles whose failure value is NULL (processes, events)
  using type = HANDLE;
  static type invalid() noexcept { return nullptr; }
  static void close(type h) noexcept { CloseHandle(h); }
};
struct FindHandleTraits {
  using type = HANDLE;
  static type invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void close(type h) noexcept { FindClose(h); }
};
struct ScHandleTraits {
  using type = SC_HANDLE;
  static type invalid() noexcept { return nullptr; }
  static void close(type h) noexcept { CloseServiceHandle(h); }
};
struct ModuleTraits {
  using type = HMODULE;
  static type invalid() noexcept { return nullptr; }
  static void close(type h) noexcept { FreeLibrary(h); }
};

using UniqueFileHandle = UniqueWinHandle<FileHandleTraits>;
using UniqueKernelHandle = UniqueWinHandle<KernelHandleTraits>;
using UniqueFindHandle = UniqueWinHandle<FindHandleTraits>;
using UniqueScHandle = UniqueWinHandle<ScHandleTraits>;
using UniqueModule = UniqueWinHandle<ModuleTraits>;

} // namespace fbu

#endif
