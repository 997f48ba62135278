// Folding constants for the carry-less-multiply CRC-32 kernels, computed at compile time.
//
// A 128-bit register holds 128 message bits, the first message bit in bit 0 (the reflected
// order). Moving it forward by D bits is a multiplication by x^D modulo the polynomial: the
// low 64 bits are multiplied by x^(D+32) mod P and the high 64 bits by x^(D-32) mod P, each
// constant written reflected into bits 32..0 so the carry-less product lands aligned with the
// data D bits later. The products fit in 96 bits, so the register never grows.
#pragma once

#include <cstdint>

constexpr std::uint64_t crc32_power_constant(unsigned exponent) {
  std::uint32_t remainder = 1;  // x^0, most significant bit = x^31
  for (unsigned i = 0; i < exponent; ++i) {
    bool carry = (remainder & 0x80000000u) != 0;
    remainder <<= 1;
    if (carry) remainder ^= 0x04C11DB7u;
  }
  std::uint64_t reflected = 0;
  for (int degree = 0; degree < 32; ++degree) {
    if ((remainder >> degree) & 1u) reflected |= std::uint64_t{1} << (32 - degree);
  }
  return reflected;
}

// Constants for the low and for the high 64 bits of a register moved forward by `Bits`;
// variables, so that the loops above never run at run time.
template <unsigned Bits>
constexpr long long kCrc32FoldLow = static_cast<long long>(crc32_power_constant(Bits + 32));
template <unsigned Bits>
constexpr long long kCrc32FoldHigh = static_cast<long long>(crc32_power_constant(Bits - 32));
