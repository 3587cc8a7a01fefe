#include "physical/line_scan.h"

#include <cstring>

#include "physical/character_classes.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
// glibc's header is written for C: clang's C++ does not know its _Bool.
#if __has_include(<sys/platform/x86.h>) && !defined(__clang__)
#include <sys/platform/x86.h>
#define VERDALIA_GLIBC_CPU_FEATURES 1
#endif
#define VERDALIA_X86_SCANS 1
#endif

namespace verdalia {

// A byte a step, with plain operations: the scan of any processor.
namespace bytewise {

struct Lanes {
  static constexpr std::size_t kWidth = 1;
  using Vector = std::uint8_t;
  using Table = const std::uint8_t *;
  static Vector Load(const void *p) {
    Vector b;
    std::memcpy(&b, p, 1);
    return b;
  }
  static Vector Splat(char c) { return static_cast<Vector>(c); }
  static Table MakeTable(const std::uint8_t *p) { return p; }
  static Vector Lookup(Table t, Vector nibble) { return t[nibble]; }
  static Vector LowNibbles(Vector v) { return v & 0x0F; }
  static Vector HighNibbles(Vector v) { return v >> 4; }
  static Vector And(Vector a, Vector b) { return a & b; }
  static Vector Or(Vector a, Vector b) { return a | b; }
  static Vector IsZero(Vector v) { return v == 0 ? 0xFF : 0; }
  static std::uint64_t Equal(Vector a, Vector b) { return a == b ? 1 : 0; }
  static bool None(Vector v) { return v == 0; }
};

#include "physical/line_scan_kernel.inc"

bool Scan(const ScanInput &in, const char *bytes, std::uint64_t *marks) {
  return ScanLine<Lanes>(in, bytes, marks);
}

} // namespace bytewise

#ifdef VERDALIA_X86_SCANS

// Each region below is compiled for its instructions, the kernel included; a program runs
// it only where the processor has them (UsableLineScans).
#ifdef __clang__
#pragma clang attribute push(__attribute__((target("ssse3"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("ssse3")
#endif

namespace ssse3 {

struct Lanes {
  static constexpr std::size_t kWidth = 16;
  using Vector = __m128i;
  using Table = __m128i;
  static Vector Load(const void *p) { return _mm_loadu_si128(static_cast<const __m128i *>(p)); }
  static Vector Splat(char c) { return _mm_set1_epi8(c); }
  static Table MakeTable(const std::uint8_t *p) { return Load(p); }
  static Vector Lookup(Table t, Vector nibbles) { return _mm_shuffle_epi8(t, nibbles); }
  static Vector LowNibbles(Vector v) { return _mm_and_si128(v, _mm_set1_epi8(0x0F)); }
  static Vector HighNibbles(Vector v) {
    return _mm_and_si128(_mm_srli_epi16(v, 4), _mm_set1_epi8(0x0F));
  }
  static Vector And(Vector a, Vector b) { return _mm_and_si128(a, b); }
  static Vector Or(Vector a, Vector b) { return _mm_or_si128(a, b); }
  static Vector IsZero(Vector v) { return _mm_cmpeq_epi8(v, _mm_setzero_si128()); }
  static std::uint64_t Equal(Vector a, Vector b) {
    return static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
  }
  static bool None(Vector v) { return _mm_movemask_epi8(v) == 0; }
};

#include "physical/line_scan_kernel.inc"

bool Scan(const ScanInput &in, const char *bytes, std::uint64_t *marks) {
  return ScanLine<Lanes>(in, bytes, marks);
}

} // namespace ssse3

#ifdef __clang__
#pragma clang attribute pop
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC pop_options
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

namespace avx2 {

struct Lanes {
  static constexpr std::size_t kWidth = 32;
  using Vector = __m256i;
  using Table = __m256i;
  static Vector Load(const void *p) { return _mm256_loadu_si256(static_cast<const __m256i *>(p)); }
  static Vector Splat(char c) { return _mm256_set1_epi8(c); }
  // The table in both 128-bit halves: a byte is looked up in its own half.
  static Table MakeTable(const std::uint8_t *p) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)));
  }
  static Vector Lookup(Table t, Vector nibbles) { return _mm256_shuffle_epi8(t, nibbles); }
  static Vector LowNibbles(Vector v) { return _mm256_and_si256(v, _mm256_set1_epi8(0x0F)); }
  static Vector HighNibbles(Vector v) {
    return _mm256_and_si256(_mm256_srli_epi16(v, 4), _mm256_set1_epi8(0x0F));
  }
  static Vector And(Vector a, Vector b) { return _mm256_and_si256(a, b); }
  static Vector Or(Vector a, Vector b) { return _mm256_or_si256(a, b); }
  static Vector IsZero(Vector v) { return _mm256_cmpeq_epi8(v, _mm256_setzero_si256()); }
  static std::uint64_t Equal(Vector a, Vector b) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, b)));
  }
  static bool None(Vector v) { return _mm256_testz_si256(v, v) != 0; }
};

#include "physical/line_scan_kernel.inc"

bool Scan(const ScanInput &in, const char *bytes, std::uint64_t *marks) {
  return ScanLine<Lanes>(in, bytes, marks);
}

} // namespace avx2

#ifdef __clang__
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace {

enum class CpuFeature { kAvx2, kSsse3 };

// Whether the processor and the system let the program use a feature. The C library found
// that out as the program started; asking the processor again costs tens of microseconds
// in a virtual machine, where every such question traps to the host.
bool Usable(CpuFeature feature) {
#ifdef VERDALIA_GLIBC_CPU_FEATURES
  return feature == CpuFeature::kAvx2 ? CPU_FEATURE_ACTIVE(AVX2) : CPU_FEATURE_ACTIVE(SSSE3);
#else
  __builtin_cpu_init();
  return feature == CpuFeature::kAvx2 ? __builtin_cpu_supports("avx2")
                                      : __builtin_cpu_supports("ssse3");
#endif
}

} // namespace

#endif

std::vector<LineScan> UsableLineScans() {
  std::vector<LineScan> scans;
#ifdef VERDALIA_X86_SCANS
  if (Usable(CpuFeature::kAvx2)) {
    scans.push_back({"avx2", &avx2::Scan});
  }
  if (Usable(CpuFeature::kSsse3)) {
    scans.push_back({"ssse3", &ssse3::Scan});
  }
#endif
  scans.push_back({"bytes", &bytewise::Scan});
  return scans;
}

LineScan WidestLineScan() {
  return UsableLineScans().front();
}

} // namespace verdalia
