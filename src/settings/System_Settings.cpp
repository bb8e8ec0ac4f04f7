#include "System_Settings.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string_view>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "File_Error.h"

namespace {

constexpr const char* rootName = "CONFIG";
constexpr const char* valueAttribute = "Value";
constexpr const char* stateAttribute = "State";
constexpr const char* formsSection = "Forms";

// Window state text: nine fields of six hex digits. Coordinates left of or
// above the primary screen are negative; they are kept as 24-bit two's
// complement, and anything beyond 24 bits is clamped.
constexpr std::size_t stateFieldWidth = 6;
constexpr std::size_t stateFieldCount = 9;
constexpr std::size_t stateLength = stateFieldWidth * stateFieldCount;
constexpr int32_t stateFieldMin = -0x800000;
constexpr int32_t stateFieldMax = 0x7FFFFF;

// The first child element of that exact name; PIs and comments never match.
pugi::xml_node findElement(pugi::xml_node parent, std::string_view name) {
  for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling())
    if (child.type() == pugi::node_element && name == child.name()) return child;
  return {};
}

// An XML 1.0 name as far as ASCII goes; bytes of multi-byte UTF-8 sequences are let through.
bool isElementName(std::string_view name) {
  if (name.empty()) return false;
  auto isStart = [](unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || c >= 0x80;
  };
  auto isPart = [&](unsigned char c) { return isStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; };
  if (!isStart(static_cast<unsigned char>(name.front()))) return false;
  return std::all_of(name.begin() + 1, name.end(), [&](char c) { return isPart(static_cast<unsigned char>(c)); });
}

bool equalsIgnoringCase(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

// Decimal text, optional leading "-", nothing else, within the 32-bit range.
std::optional<int32_t> parseInteger(std::string_view text) {
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) i = 1;
  if (i == text.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > int64_t{INT32_MAX} + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

void appendStateField(std::string& text, int32_t value) {
  static constexpr char digits[] = "0123456789ABCDEF";
  const uint32_t raw = static_cast<uint32_t>(std::clamp(value, stateFieldMin, stateFieldMax)) & 0xFFFFFFu;
  for (int shift = 20; shift >= 0; shift -= 4) text += digits[(raw >> shift) & 0xF];
}

std::optional<int32_t> parseStateField(std::string_view field) {
  uint32_t raw = 0;
  for (const char c : field) {
    uint32_t digit;
    if (c >= '0' && c <= '9')
      digit = static_cast<uint32_t>(c - '0');
    else if (c >= 'A' && c <= 'F')
      digit = static_cast<uint32_t>(c - 'A' + 10);
    else if (c >= 'a' && c <= 'f')
      digit = static_cast<uint32_t>(c - 'a' + 10);
    else
      return std::nullopt;
    raw = raw * 16 + digit;
  }
  return raw >= 0x800000u ? static_cast<int32_t>(raw) - 0x1000000 : static_cast<int32_t>(raw);
}

struct TStoredState {
  TFormBounds bounds;
  TFormBounds normal;
  int state = 0;
};

std::string formatState(const TFormGeometry& form) {
  const TFormBounds b = form.bounds();
  const TFormBounds n = form.normalBounds();
  int state = form.windowState();
  if (state < TFormGeometry::stateNormal || state > TFormGeometry::stateMaximized) state = TFormGeometry::stateNormal;
  std::string text;
  text.reserve(stateLength);
  for (const int32_t v : {b.left, b.top, b.width, b.height, n.left, n.top, n.width, n.height, state})
    appendStateField(text, v);
  return text;
}

// nullopt for anything but 54 characters of valid fields. The state field is
// read as decimal digits (for 0 to 2 the same as hex); a negative width or
// height marks the text as damaged.
std::optional<TStoredState> parseState(std::string_view text) {
  if (text.size() != stateLength) return std::nullopt;
  std::array<int32_t, stateFieldCount - 1> v{};
  for (std::size_t i = 0; i < v.size(); ++i) {
    const auto field = parseStateField(text.substr(i * stateFieldWidth, stateFieldWidth));
    if (!field) return std::nullopt;
    v[i] = *field;
  }
  const auto state = parseInteger(text.substr((stateFieldCount - 1) * stateFieldWidth));
  if (!state || *state < 0) return std::nullopt;
  TStoredState s{{v[0], v[1], v[2], v[3]}, {v[4], v[5], v[6], v[7]}, *state};
  if (s.bounds.width < 0 || s.bounds.height < 0 || s.normal.width < 0 || s.normal.height < 0) return std::nullopt;
  return s;
}

std::FILE* openFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
  std::wstring wideMode(mode, mode + std::strlen(mode));
  return _wfopen(path.c_str(), wideMode.c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

bool syncFile(std::FILE* f) {
#ifdef _WIN32
  return _commit(_fileno(f)) == 0;
#else
  return fsync(fileno(f)) == 0;
#endif
}

std::string osMessage(int error) { return error != 0 ? std::strerror(error) : "Input/output error"; }

class TFileWriter : public pugi::xml_writer {
 public:
  explicit TFileWriter(std::FILE* f) : file_(f) {}
  void write(const void* data, size_t size) override {
    if (error_ == 0 && std::fwrite(data, 1, size, file_) != size) error_ = errno != 0 ? errno : EIO;
  }
  int error() const { return error_; }

 private:
  std::FILE* file_;
  int error_ = 0;
};

}  // namespace

TSystemSettings::TSystemSettings(const std::filesystem::path& file) {
  std::error_code ec;
  file_ = std::filesystem::absolute(file, ec);
  if (ec) file_ = file;
  load();
}

TSystemSettings::~TSystemSettings() {
  try {
    save();
  } catch (const std::exception& e) {
    std::cerr << "Settings not saved: " << e.what() << '\n';
  }
}

void TSystemSettings::startEmpty() {
  xml_.reset();
  xml_.append_child(rootName);
}

void TSystemSettings::load() {
  auto fail = [this](const std::string& reason) {
    loadError_ = file_.string() + ": " + reason;
    keepBackup_ = true;
    startEmpty();
  };

  errno = 0;
  std::FILE* f = openFile(file_, "rb");
  if (f == nullptr) {
    const int error = errno;
    if (error == ENOENT) {
      startEmpty();  // no file yet: defaults, created on the first save
    } else {
      fail(osMessage(error));
    }
    return;
  }
  std::string content;
  std::array<char, 4096> buffer;
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) content.append(buffer.data(), n);
  const int readError = std::ferror(f) ? (errno != 0 ? errno : EIO) : 0;
  std::fclose(f);
  if (readError != 0) {
    fail(osMessage(readError));
    return;
  }

  const pugi::xml_parse_result result =
      xml_.load_buffer(content.data(), content.size(), pugi::parse_default | pugi::parse_comments);
  if (!result || !xml_.document_element()) {
    const auto offset = static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(result.offset, 0, content.size()));
    const std::string_view before(content.data(), offset);
    const std::size_t line = 1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
    const std::size_t lineBreak = before.rfind('\n');
    const std::size_t column = 1 + offset - (lineBreak == std::string_view::npos ? 0 : lineBreak + 1);
    fail(std::string(result ? "no root element" : result.description()) + " (line " + std::to_string(line) +
         ", column " + std::to_string(column) + ")");
  }
}

pugi::xml_attribute TSystemSettings::findAttribute(const std::string& section, const std::string& key,
                                                   const char* name) const {
  return findElement(findElement(xml_.document_element(), section), key).attribute(name);
}

std::string TSystemSettings::readAttribute(const std::string& section, const std::string& key, const char* name,
                                           const std::string& defaultValue) const {
  const pugi::xml_attribute attribute = findAttribute(section, key, name);
  return attribute ? std::string(attribute.value()) : defaultValue;
}

void TSystemSettings::writeAttribute(const std::string& section, const std::string& key, const char* name,
                                     const std::string& value) {
  if (!isElementName(section) || !isElementName(key)) {
    std::cerr << "Settings: refused to store \"" << section << "/" << key << "\": not an element name\n";
    return;
  }
  const std::string_view text(value.c_str());  // the document holds C strings
  pugi::xml_node root = xml_.document_element();
  pugi::xml_node sectionNode = findElement(root, section);
  pugi::xml_node keyNode = findElement(sectionNode, key);
  pugi::xml_attribute attribute = keyNode.attribute(name);
  if (attribute && text == attribute.value()) return;

  if (!sectionNode) sectionNode = root.append_child(section.c_str());
  if (!keyNode) keyNode = sectionNode.append_child(key.c_str());
  if (!attribute) attribute = keyNode.append_attribute(name);
  attribute.set_value(text.data(), text.size());
  changed_ = true;
}

std::string TSystemSettings::readString(const std::string& section, const std::string& key,
                                        const std::string& defaultValue) const {
  return readAttribute(section, key, valueAttribute, defaultValue);
}

int32_t TSystemSettings::readInteger(const std::string& section, const std::string& key, int32_t defaultValue) const {
  const pugi::xml_attribute attribute = findAttribute(section, key, valueAttribute);
  if (!attribute) return defaultValue;
  return parseInteger(attribute.value()).value_or(defaultValue);
}

bool TSystemSettings::readBoolean(const std::string& section, const std::string& key, bool defaultValue) const {
  const pugi::xml_attribute attribute = findAttribute(section, key, valueAttribute);
  if (!attribute) return defaultValue;
  if (equalsIgnoringCase(attribute.value(), "true")) return true;
  if (equalsIgnoringCase(attribute.value(), "false")) return false;
  return defaultValue;
}

void TSystemSettings::writeString(const std::string& section, const std::string& key, const std::string& value) {
  writeAttribute(section, key, valueAttribute, value);
}

void TSystemSettings::writeInteger(const std::string& section, const std::string& key, int32_t value) {
  writeAttribute(section, key, valueAttribute, std::to_string(value));
}

void TSystemSettings::writeBoolean(const std::string& section, const std::string& key, bool value) {
  writeAttribute(section, key, valueAttribute, value ? "True" : "False");
}

void TSystemSettings::saveFormState(const TFormGeometry& form) {
  writeAttribute(formsSection, form.formName(), stateAttribute, formatState(form));
}

void TSystemSettings::restoreFormState(TFormGeometry& form) const {
  const std::string text = readAttribute(formsSection, form.formName(), stateAttribute, std::string(stateLength, '0'));
  const auto stored = parseState(text);
  if (!stored) return;  // damaged: the window keeps its designed geometry
  switch (stored->state) {
    case TFormGeometry::stateMaximized: form.applyGeometry(TFormGeometry::stateMaximized, stored->normal); break;
    case TFormGeometry::stateMinimized:
      // A minimized window is not restored minimized; it comes back where it
      // was before it was minimized (its current bounds are the icon's).
      form.applyGeometry(TFormGeometry::stateNormal, stored->normal);
      break;
    default: form.applyGeometry(TFormGeometry::stateNormal, stored->bounds); break;
  }
}

void TSystemSettings::writeTemporary(const std::filesystem::path& temp) const {
  errno = 0;
  std::FILE* f = openFile(temp, "wb");
  if (f == nullptr) throw TFileError(temp.string(), osMessage(errno));

  static constexpr char declaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  int error = 0;
  if (std::fputs(declaration, f) == EOF) error = errno != 0 ? errno : EIO;
  if (error == 0) {
    TFileWriter writer(f);
    xml_.save(writer, "  ", pugi::format_indent | pugi::format_no_declaration, pugi::encoding_utf8);
    error = writer.error();
  }
  if (error == 0 && std::fflush(f) != 0) error = errno != 0 ? errno : EIO;
  if (error == 0 && !syncFile(f)) error = errno != 0 ? errno : EIO;
  if (std::fclose(f) != 0 && error == 0) error = errno != 0 ? errno : EIO;
  if (error != 0) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    throw TFileError(temp.string(), osMessage(error));
  }
}

bool TSystemSettings::save() {
  if (!changed_ || readOnly_) return false;

  // A settings file that is write-protected stays as it is, even though the
  // rename below would only need the directory to be writable.
  errno = 0;
  if (std::FILE* probe = openFile(file_, "r+b")) {
    std::fclose(probe);
  } else if (errno != ENOENT) {
    throw TFileError(file_.string(), osMessage(errno));
  }

  std::filesystem::path temp = file_;
  temp += ".tmp";
  writeTemporary(temp);

  std::error_code ec;
  const auto status = std::filesystem::status(file_, ec);
  if (!ec && std::filesystem::exists(status))
    std::filesystem::permissions(temp, status.permissions(), ec);  // best effort

  if (keepBackup_) {
    std::filesystem::path backup = file_;
    backup += ".bak";
    std::filesystem::rename(file_, backup, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) {
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      throw TFileError(backup.string(), ec.message());
    }
  }

  std::filesystem::rename(temp, file_, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    throw TFileError(file_.string(), ec.message());
  }
  keepBackup_ = false;
  changed_ = false;
  return true;
}
