// The global allocation functions replaced, for a test program that counts or refuses its
// allocations: every form takes its memory from TestAllocate or TestAllocateAligned, which the
// program defines (nullptr for a block refused), and gives it back to free. Included by one
// source file of the program.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

// The replacements take memory from malloc and give it back to free, as they must; GCC, seeing
// a vector's delete inlined down to that free, takes the pair for a mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* TestAllocate(std::size_t size) noexcept;
void* TestAllocateAligned(std::size_t size, std::align_val_t alignment) noexcept;

// Every form of the replaceable allocation functions; the deallocation functions match them.
void* operator new(std::size_t size) {
  if (void* p = TestAllocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (void* p = TestAllocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return TestAllocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return TestAllocate(size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  if (void* p = TestAllocateAligned(size, alignment)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  if (void* p = TestAllocateAligned(size, alignment)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return TestAllocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return TestAllocateAligned(size, alignment);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
  std::free(p);
}
