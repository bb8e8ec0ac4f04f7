// Choosing a drop-down entry from a stored text, as the settings dialogs do.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

// The text without leading and trailing spaces and control characters.
inline std::string stripText(const std::string& text) {
  auto blank = [](unsigned char c) { return c <= ' ' || c == 0x7F; };
  size_t first = 0, last = text.size();
  while (first < last && blank(static_cast<unsigned char>(text[first]))) ++first;
  while (last > first && blank(static_cast<unsigned char>(text[last - 1]))) --last;
  return text.substr(first, last - first);
}

// The entry equal to text ignoring letter case, else fallback.
inline std::string selectChoice(const std::vector<std::string>& entries, const std::string& text,
                                const std::string& fallback) {
  auto equal = [&text](const std::string& e) {
    return e.size() == text.size() && std::equal(e.begin(), e.end(), text.begin(), [](char a, char b) {
             return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
  };
  const auto it = std::find_if(entries.begin(), entries.end(), equal);
  return it != entries.end() ? *it : fallback;
}
