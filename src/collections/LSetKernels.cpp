#include "collections/LSetKernels.h"

#include <cstring>

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define FBU_LSET_X86_TARGETS 1
#include <cpuid.h>
#endif

namespace fbu::lset_kernels {

namespace {

// ---- Population counts --------------------------------------------------------------

inline std::int64_t SwarPopcount(std::uint64_t x) noexcept
{
  x = x - ((x >> 1) & 0x5555555555555555ULL);
  x = (x & 0x3333333333333333ULL) + ((x >> 2) & 0x3333333333333333ULL);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
  return static_cast<std::int64_t>((x * 0x0101010101010101ULL) >> 56);
}

// Four accumulators so consecutive words do not wait on one another's sum.
#define FBU_POPCOUNT_LOOP(POP, EXPR)                                                                                   \
  std::int64_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;                                                                         \
  std::size_t i = 0;                                                                                                   \
  for (; i + 4 <= n; i += 4) {                                                                                         \
    s0 += POP(EXPR(i));                                                                                                \
    s1 += POP(EXPR(i + 1));                                                                                            \
    s2 += POP(EXPR(i + 2));                                                                                            \
    s3 += POP(EXPR(i + 3));                                                                                            \
  }                                                                                                                    \
  for (; i < n; ++i) s0 += POP(EXPR(i));                                                                               \
  return s0 + s1 + s2 + s3;

#define FBU_WORD_A(k) a[k]
#define FBU_WORD_AND(k) (a[k] & b[k])
#define FBU_WORD_OR(k) (a[k] | b[k])

std::int64_t CountPortable(const std::uint64_t* a,
                           std::size_t n) noexcept {FBU_POPCOUNT_LOOP(SwarPopcount, FBU_WORD_A)} std::int64_t
    CountAndPortable(const std::uint64_t* a, const std::uint64_t* b,
                     std::size_t n) noexcept {FBU_POPCOUNT_LOOP(SwarPopcount, FBU_WORD_AND)} std::int64_t
    CountOrPortable(const std::uint64_t* a, const std::uint64_t* b, std::size_t n) noexcept
{
  FBU_POPCOUNT_LOOP(SwarPopcount, FBU_WORD_OR)
}

// ---- Decoding dense units -------------------------------------------------------------
//
// A byte at a time: a table row holds the positions of the byte's set bits, padded to
// eight entries. All eight are written with vector stores and the output advances by the
// byte's count, so there is no branch per member (a bit-by-bit loop mispredicts about
// once per unit and spends a few instructions per member). Rows are one cache line in
// the 64-bit build.

struct ByteDecodeTable {
  alignas(64) std::intptr_t positions[256][8];
  std::uint8_t counts[256];
};

constexpr ByteDecodeTable MakeByteDecodeTable()
{
  ByteDecodeTable t{};
  for (int b = 0; b < 256; ++b) {
    int n = 0;
    for (int k = 0; k < 8; ++k)
      if ((b >> k) & 1) t.positions[b][n++] = k;
    t.counts[b] = static_cast<std::uint8_t>(n);
  }
  return t;
}

constexpr ByteDecodeTable kByteDecode = MakeByteDecodeTable();

#if defined(__GNUC__) || defined(__clang__)
// VECTOR_BYTES-wide vectors of slots; the compiler uses what the function's target has
// (SSE2 or AVX2) and falls back to scalar code where it has nothing.
#define FBU_DECODE_DENSE_BODY(VECTOR_BYTES)                                                                            \
  using SlotVector = std::intptr_t __attribute__((vector_size(VECTOR_BYTES)));                                         \
  constexpr int kSlotsPerVector = static_cast<int>((VECTOR_BYTES) / sizeof(std::intptr_t));                            \
  for (std::size_t i = 0; i < n; ++i, base += 64) {                                                                    \
    std::uint64_t v = units[i];                                                                                        \
    std::intptr_t byteBase = base;                                                                                     \
    for (int j = 0; j < 8; ++j, v >>= 8, byteBase += 8) {                                                              \
      const auto byte = static_cast<unsigned>(v & 0xFF);                                                               \
      const SlotVector add = SlotVector{} + byteBase;                                                                  \
      for (int q = 0; q < 8; q += kSlotsPerVector) {                                                                   \
        SlotVector slots;                                                                                              \
        std::memcpy(&slots, &kByteDecode.positions[byte][q], sizeof slots);                                            \
        slots += add;                                                                                                  \
        std::memcpy(out + q, &slots, sizeof slots);                                                                    \
      }                                                                                                                \
      out += kByteDecode.counts[byte];                                                                                 \
    }                                                                                                                  \
  }                                                                                                                    \
  return out;
#else
#define FBU_DECODE_DENSE_BODY(VECTOR_BYTES)                                                                            \
  for (std::size_t i = 0; i < n; ++i, base += 64) {                                                                    \
    std::uint64_t v = units[i];                                                                                        \
    std::intptr_t byteBase = base;                                                                                     \
    for (int j = 0; j < 8; ++j, v >>= 8, byteBase += 8) {                                                              \
      const auto byte = static_cast<unsigned>(v & 0xFF);                                                               \
      for (int k = 0; k < 8; ++k) out[k] = byteBase + kByteDecode.positions[byte][k];                                  \
      out += kByteDecode.counts[byte];                                                                                 \
    }                                                                                                                  \
  }                                                                                                                    \
  return out;
#endif

std::intptr_t* DecodeDensePortable(const std::uint64_t* units, std::size_t n, std::intptr_t base,
                                   std::intptr_t* out) noexcept
{
  FBU_DECODE_DENSE_BODY(16)
}

constexpr Kernels kPortable{CountPortable, CountAndPortable, CountOrPortable, DecodeDensePortable};

#ifdef FBU_LSET_X86_TARGETS
// Inside these functions the builtin becomes the POPCNT instruction (two of them per
// word in the 32-bit build).
#define FBU_HW_POPCOUNT(x) static_cast<std::int64_t>(__builtin_popcountll(x))

__attribute__((target("popcnt"))) std::int64_t CountPopcnt(const std::uint64_t* a, std::size_t n) noexcept
{
  FBU_POPCOUNT_LOOP(FBU_HW_POPCOUNT, FBU_WORD_A)
}
__attribute__((target("popcnt"))) std::int64_t CountAndPopcnt(const std::uint64_t* a, const std::uint64_t* b,
                                                              std::size_t n) noexcept
{
  FBU_POPCOUNT_LOOP(FBU_HW_POPCOUNT, FBU_WORD_AND)
}
__attribute__((target("popcnt"))) std::int64_t CountOrPopcnt(const std::uint64_t* a, const std::uint64_t* b,
                                                             std::size_t n) noexcept
{
  FBU_POPCOUNT_LOOP(FBU_HW_POPCOUNT, FBU_WORD_OR)
}

__attribute__((target("avx2"))) std::intptr_t* DecodeDenseAvx2(const std::uint64_t* units, std::size_t n,
                                                               std::intptr_t base, std::intptr_t* out) noexcept
{
  FBU_DECODE_DENSE_BODY(32)
}

constexpr Kernels kX86{CountPopcnt, CountAndPopcnt, CountOrPopcnt, DecodeDenseAvx2};

bool DetectPopcnt() noexcept
{
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  return (ecx & bit_POPCNT) != 0;
}

bool DetectAvx2() noexcept
{
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  if (!(ecx & bit_OSXSAVE) || !(ecx & bit_AVX)) return false;
  // The operating system must save the vector registers (XCR0 bits 1 and 2).
  unsigned xcr0Low = 0, xcr0High = 0;
  __asm__ volatile("xgetbv" : "=a"(xcr0Low), "=d"(xcr0High) : "c"(0));
  if ((xcr0Low & 6) != 6) return false;
  if (__get_cpuid_max(0, nullptr) < 7) return false;
  __cpuid_count(7, 0, eax, ebx, ecx, edx);
  return (ebx & bit_AVX2) != 0;
}
#endif

Kernels ChooseKernels() noexcept
{
  Kernels k = kPortable;
#ifdef FBU_LSET_X86_TARGETS
  if (ProcessorHasPopcnt()) {
    k.Count = kX86.Count;
    k.CountAnd = kX86.CountAnd;
    k.CountOr = kX86.CountOr;
  }
  if (ProcessorHasAvx2()) k.DecodeDense = kX86.DecodeDense;
#endif
  return k;
}

} // namespace

const Kernels& PortableKernels() noexcept
{
  return kPortable;
}

const Kernels* X86Kernels() noexcept
{
#ifdef FBU_LSET_X86_TARGETS
  return &kX86;
#else
  return nullptr;
#endif
}

// CPUID is asked once, on first use (never from a static initialiser); under a
// hypervisor it can be slow.
bool ProcessorHasPopcnt() noexcept
{
#ifdef FBU_LSET_X86_TARGETS
  static const bool has = DetectPopcnt();
  return has;
#else
  return false;
#endif
}

bool ProcessorHasAvx2() noexcept
{
#ifdef FBU_LSET_X86_TARGETS
  static const bool has = DetectAvx2();
  return has;
#else
  return false;
#endif
}

const Kernels& ActiveKernels() noexcept
{
  static const Kernels active = ChooseKernels();
  return active;
}

} // namespace fbu::lset_kernels
