// What the processor can run, asked once and cached. A wide-register feature counts only
// when the operating system also saves those registers on a context switch.
#pragma once

struct CpuFeatures {
  bool ssse3 = false;
  bool sse41 = false;
  bool avx2 = false;
  bool bmi1 = false;
  bool bmi2 = false;
  bool sha = false;      // SHA-1 and SHA-256 instructions
  bool pclmul = false;   // carry-less multiply on 128-bit registers
  bool avx512 = false;   // AVX-512 F, BW and VL with the OS saving the 512-bit state
  bool vpclmul = false;  // carry-less multiply on 512-bit registers (with avx512)
};

// The features of this processor; all false where the processor is not x86.
const CpuFeatures& cpu_features();
