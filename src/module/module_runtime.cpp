// The module's own allocation operators, pure-virtual handler and container
// failure hooks, over the process heap. The C++ runtime's versions bring in
// its exception support, the unwinder and with them the statically linked
// thread library, which takes a thread-local storage slot on every load of
// the module and never gives it back: a host that loads and frees the module
// again and again runs out of slots and is ended. With these the DLL links
// none of that.
//
// The module builds without exceptions: the no-throw forms answer null, and
// the plain forms, which cannot report a failure, end the process, as do the
// standard containers' failures.
#include <windows.h>

#include <cstddef>
#include <new>

namespace korvat {
namespace {

// HeapAlloc answers null for no bytes on some systems; new never does.
void* HeapAllocate(std::size_t size) {
  return HeapAlloc(GetProcessHeap(), 0, size != 0 ? size : 1);
}

void HeapRelease(void* block) {
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

[[noreturn]] void EndProcess() {
  // The fast-fail interrupt, its code in ECX: no handler runs, the system
  // ends the process at once. Before Windows 8 it is a plain fault, which a
  // host's handler could pass over.
  asm volatile("int $0x29" : : "c"(FAST_FAIL_FATAL_APP_EXIT) : "memory");
  TerminateProcess(GetCurrentProcess(), ERROR_NOT_ENOUGH_MEMORY);
  __builtin_unreachable();
}

void* AllocateOrEnd(std::size_t size) {
  void* block = HeapAllocate(size);
  if (block == nullptr) EndProcess();
  return block;
}

}  // namespace
}  // namespace korvat

// The operators and hooks replace the runtime's, so they stay global.
using korvat::AllocateOrEnd;
using korvat::EndProcess;
using korvat::HeapAllocate;
using korvat::HeapRelease;

void* operator new(std::size_t size) { return AllocateOrEnd(size); }
void* operator new[](std::size_t size) { return AllocateOrEnd(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return HeapAllocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return HeapAllocate(size);
}

void operator delete(void* block) noexcept { HeapRelease(block); }
void operator delete[](void* block) noexcept { HeapRelease(block); }
void operator delete(void* block, std::size_t) noexcept { HeapRelease(block); }
void operator delete[](void* block, std::size_t) noexcept { HeapRelease(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { HeapRelease(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { HeapRelease(block); }

// A call through a slot of an object still being built or already torn down.
extern "C" void __cxa_pure_virtual() { EndProcess(); }

// Where the standard containers would throw: a size past their maximum. The
// runtime's own versions bring in its exception support, as above.
namespace std {
void __throw_length_error(const char*) { EndProcess(); }
void __throw_bad_alloc() { EndProcess(); }
void __throw_bad_array_new_length() { EndProcess(); }
}  // namespace std
