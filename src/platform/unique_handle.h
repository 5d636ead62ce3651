// UniqueHandle: the one owner of a handle of any kind. It closes the handle
// when it goes out of scope or is given another, and can be moved but not
// copied. Traits names the kind:
//   using Handle = ...;                   the handle type
//   static constexpr Handle Invalid();    the value that holds nothing
//   static bool IsValid(Handle);          whether a value is a handle to close
//   Close(Handle);                        static, or a member when the traits
//                                         carry state (the store of a key)
// No Windows headers here: the native fuzz build uses it too.
#pragma once

namespace korvat {

template <typename Traits>
class UniqueHandle : private Traits {
 public:
  using Handle = typename Traits::Handle;

  constexpr UniqueHandle() = default;
  explicit UniqueHandle(Handle handle, Traits traits = Traits())
      : Traits(traits), m_handle(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : Traits(other), m_handle(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      // Closed by its own traits before the other's are taken.
      Reset(other.Release());
      static_cast<Traits&>(*this) = other;
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { Reset(); }

  Handle Get() const { return m_handle; }
  explicit operator bool() const { return Traits::IsValid(m_handle); }
  // The address for an out-parameter that receives a new handle; what was
  // held is closed first.
  Handle* Put() {
    Reset();
    return &m_handle;
  }
  // Closes what is held and holds `handle` instead.
  void Reset(Handle handle = Traits::Invalid()) {
    Handle old = m_handle;
    m_handle = handle;
    if (Traits::IsValid(old)) this->Close(old);
  }
  // Gives the handle up without closing it; the caller owns it now.
  [[nodiscard]] Handle Release() {
    Handle handle = m_handle;
    m_handle = Traits::Invalid();
    return handle;
  }

 private:
  Handle m_handle = Traits::Invalid();
};

// The traits of a handle type whose empty value is null and that one call closes.
template <typename H, auto Closer>
struct NullHandleTraits {
  using Handle = H;
  static constexpr H Invalid() { return nullptr; }
  static bool IsValid(H handle) { return handle != nullptr; }
  static void Close(H handle) { Closer(handle); }
};

}  // namespace korvat
