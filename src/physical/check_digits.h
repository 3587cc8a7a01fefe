#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace verdalia {

// The modulus-11 check digit, '0'-'9' or 'K', of an identity number (RUT) trimmed of blanks:
// each character weighs its digit (any other character 0) by 2, 3, ..., 7, 2, 3, ... from
// the last back; 11 less the sum's remainder by 11 is the digit, 11 written '0' and 10 'K';
// and a number of 0 has check digit '0'.
char CheckDigitOf(std::string_view identity_number);

// The same answer for a text already known to hold only digits, so without blanks to trim:
// the detail checks test a field's digits first, on every record.
char CheckDigitOfDigits(std::string_view digits);

// The plan of the detail records takes an identity number of up to 16 digits as 16 bytes
// at once, each multiplied by its weight, which is 0 past its digits.

// The weights of the digits of an identity number of `size` digits, from its first.
void CheckDigitWeights(std::size_t size, std::int16_t (&weights)[16]);

// CheckDigitOfDigits of the digits at `digits`, weighted by `weights`: the 16 bytes
// multiplied and summed at once.
char CheckDigitOfWeighted(const char *digits, const std::int16_t (&weights)[16]);

// Check digits of one character after identity numbers of up to 16 digits, eight at a
// time: the weighted sums of their digits and the remainders of those taken at once.
struct CheckDigitBatch {
  alignas(16) std::int16_t weights[8][16] = {};
  std::uint32_t numbers[8] = {}; // where each identity number begins
  std::uint32_t digits[8] = {};  // where each check digit stands
  int used = 0;                  // the lanes in use, from the first
  int lanes = 0;                 // two bits a lane in use, as a byte mask of 16-bit lanes
};

// Whether every check digit of the batch is the one CheckDigitOfWeighted gives its number.
bool CheckDigitsMatch(const char *bytes, const CheckDigitBatch &batch);

} // namespace verdalia
