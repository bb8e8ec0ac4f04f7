// Parsing helpers of the headless runner, kept apart so they can be tested
// without starting a process.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace runner {

// Decodes C escapes: \a \b \e \f \n \r \t \v \\ \' \" \? \xNN and octal \NNN.
// Returns nothing for a malformed escape (a lone backslash at the end, \x
// without hex digits, an unknown letter).
std::optional<std::vector<uint8_t>> decodeEscapes(const std::string& text);

struct TPeek {
  uint32_t address = 0;  // physical, 20 bits
  uint32_t length = 0;
};
// "ADDR:LEN": ADDR hexadecimal (an optional 0x), LEN decimal or 0x-hex.
// The range must stay inside the 1 MB physical space.
std::optional<TPeek> parsePeek(const std::string& text);

// Sixteen bytes a line: "0A3F0: 00 11 22 ...".
std::string hexDump(uint32_t address, const std::vector<uint8_t>& bytes);

}  // namespace runner
