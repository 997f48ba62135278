#include "digest/cpu_features.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

#if defined(__x86_64__) || defined(__i386__)

struct Registers {
  unsigned int a = 0, b = 0, c = 0, d = 0;
};

Registers query(unsigned int leaf, unsigned int subleaf) {
  Registers r;
  if (__get_cpuid_count(leaf, subleaf, &r.a, &r.b, &r.c, &r.d) == 0) return Registers{};
  return r;
}

unsigned long long read_xcr0() {
  unsigned int low = 0, high = 0;
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return (static_cast<unsigned long long>(high) << 32) | low;
}

bool bit(unsigned int word, int n) {
  return ((word >> n) & 1u) != 0;
}

CpuFeatures detect() {
  CpuFeatures f;
  Registers basic = query(1, 0);
  Registers extended = query(7, 0);
  bool osxsave = bit(basic.c, 27);
  unsigned long long xcr0 = osxsave ? read_xcr0() : 0;
  bool os_saves_ymm = (xcr0 & 0x6) == 0x6;    // SSE and AVX state
  bool os_saves_zmm = (xcr0 & 0xE6) == 0xE6;  // plus opmask and both halves of ZMM
  f.ssse3 = bit(basic.c, 9);
  f.sse41 = bit(basic.c, 19);
  f.pclmul = bit(basic.c, 1) && f.sse41;
  f.sha = bit(extended.b, 29) && f.sse41 && f.ssse3;
  f.avx2 = bit(basic.c, 28) && bit(extended.b, 5) && os_saves_ymm;
  f.bmi1 = bit(extended.b, 3);
  f.bmi2 = bit(extended.b, 8);
  f.avx512 =
      f.avx2 && os_saves_zmm && bit(extended.b, 16) && bit(extended.b, 30) && bit(extended.b, 31);
  f.vpclmul = f.avx512 && f.pclmul && bit(extended.c, 10);
  return f;
}

#else

CpuFeatures detect() {
  return CpuFeatures{};
}

#endif

}  // namespace

const CpuFeatures& cpu_features() {
  static const CpuFeatures features = detect();
  return features;
}
