#include "Runner_Options.h"

#include <cstdio>

namespace runner {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Parses all of text as an unsigned number in the given base.
std::optional<uint64_t> parseNumber(const std::string& text, int base) {
  if (text.empty() || text.size() > 16) return std::nullopt;
  uint64_t v = 0;
  for (char c : text) {
    const int d = hexValue(c);
    if (d < 0 || d >= base) return std::nullopt;
    v = v * uint64_t(base) + uint64_t(d);
  }
  return v;
}

bool hasHexPrefix(const std::string& s) { return s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'); }

}  // namespace

std::optional<std::vector<uint8_t>> decodeEscapes(const std::string& text) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\\') {
      out.push_back(uint8_t(c));
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    const char e = text[i];
    switch (e) {
      case 'a': out.push_back(0x07); break;
      case 'b': out.push_back(0x08); break;
      case 'e': out.push_back(0x1B); break;
      case 'f': out.push_back(0x0C); break;
      case 'n': out.push_back(0x0A); break;
      case 'r': out.push_back(0x0D); break;
      case 't': out.push_back(0x09); break;
      case 'v': out.push_back(0x0B); break;
      case '\\':
      case '\'':
      case '"':
      case '?': out.push_back(uint8_t(e)); break;
      case 'x': {
        int value = 0, digits = 0;
        while (digits < 2 && i + 1 < text.size() && hexValue(text[i + 1]) >= 0) {
          value = value * 16 + hexValue(text[++i]);
          ++digits;
        }
        if (digits == 0) return std::nullopt;
        out.push_back(uint8_t(value));
        break;
      }
      default: {
        if (e < '0' || e > '7') return std::nullopt;
        int value = e - '0', digits = 1;
        while (digits < 3 && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '7') {
          value = value * 8 + (text[++i] - '0');
          ++digits;
        }
        if (value > 0xFF) return std::nullopt;
        out.push_back(uint8_t(value));
        break;
      }
    }
  }
  return out;
}

std::optional<TPeek> parsePeek(const std::string& text) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return std::nullopt;
  std::string addr = text.substr(0, colon);
  std::string len = text.substr(colon + 1);
  if (hasHexPrefix(addr)) addr = addr.substr(2);
  const std::optional<uint64_t> a = parseNumber(addr, 16);
  const std::optional<uint64_t> n = hasHexPrefix(len) ? parseNumber(len.substr(2), 16) : parseNumber(len, 10);
  if (!a || !n || *n == 0 || *a > 0xFFFFF || *a + *n > 0x100000) return std::nullopt;
  return TPeek{uint32_t(*a), uint32_t(*n)};
}

std::string hexDump(uint32_t address, const std::vector<uint8_t>& bytes) {
  std::string out;
  char text[8];
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i % 16 == 0) {
      if (i != 0) out += '\n';
      std::snprintf(text, sizeof text, "%05X:", unsigned(address + i));
      out += text;
    }
    std::snprintf(text, sizeof text, " %02X", bytes[i]);
    out += text;
  }
  if (!bytes.empty()) out += '\n';
  return out;
}

}  // namespace runner
