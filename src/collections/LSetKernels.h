#pragma once
// Population-count loops of the large integer set, over arrays of 64-bit words.
//
// Why a run-time choice: the shipped program is a 32-bit build that has to run on any
// x86 processor it meets, so it cannot be compiled with -mpopcnt; without it,
// std::popcount becomes a library call per word and the count runs several times
// slower than memory. The loops therefore exist twice: once compiled with
// __attribute__((target("popcnt"))) and once with a portable SWAR count (shifts, masks
// and one multiply). The first call asks CPUID whether POPCNT is there and every later
// call uses that answer. No compile flag of the project changes, and processors
// without POPCNT take the portable path.
//
// The same holds for decoding dense units into member positions: a portable version
// (16-byte vectors, SSE2 in the 64-bit build, scalar code where the target lacks it) and
// one compiled for AVX2, used when CPUID and the operating system (XGETBV) report AVX2.
//
// Each loop returns the same result on every path; tests compare them on random data.

#include <cstddef>
#include <cstdint>

namespace fbu::lset_kernels {

struct Kernels {
  std::int64_t (*Count)(const std::uint64_t* a, std::size_t n) noexcept;
  std::int64_t (*CountAnd)(const std::uint64_t* a, const std::uint64_t* b, std::size_t n) noexcept;
  std::int64_t (*CountOr)(const std::uint64_t* a, const std::uint64_t* b, std::size_t n) noexcept;
  // Writes base + 64 i + k for every set bit k of units[i], ascending, from out on, and
  // returns the end. It may write up to kDecodeSlack slots past the end (the caller
  // provides the room); it is meant for dense units, about half the bits set.
  std::intptr_t* (*DecodeDense)(const std::uint64_t* units, std::size_t n, std::intptr_t base,
                                std::intptr_t* out) noexcept;
};

inline constexpr std::size_t kDecodeSlack = 8;

// The portable loops, always available.
const Kernels& PortableKernels() noexcept;
// The loops compiled for POPCNT (counts) and AVX2 (decoding), or nullptr when the build
// target cannot hold them (not x86, or a compiler without target attributes). Each part
// may run only on a processor that has its instruction set.
const Kernels* X86Kernels() noexcept;
bool ProcessorHasPopcnt() noexcept;
bool ProcessorHasAvx2() noexcept;
// The loops in use: each part from X86Kernels when the build and the processor allow it,
// else the portable one.
const Kernels& ActiveKernels() noexcept;

inline std::int64_t Count(const std::uint64_t* a, std::size_t n) noexcept
{
  return ActiveKernels().Count(a, n);
}
inline std::int64_t CountAnd(const std::uint64_t* a, const std::uint64_t* b, std::size_t n) noexcept
{
  return ActiveKernels().CountAnd(a, b, n);
}
inline std::int64_t CountOr(const std::uint64_t* a, const std::uint64_t* b, std::size_t n) noexcept
{
  return ActiveKernels().CountOr(a, b, n);
}

} // namespace fbu::lset_kernels
