// The settings store: the one place where the program keeps anything between
// runs (machine configuration, slow-run speed, window geometry).
//
// The file "Quorvex.xml" is an XML document whose root element holds one
// element per section, each holding one element per key; the value is the
// key element's "Value" attribute:
//
//   <CONFIG>
//     <Memory><RomSize Value="8KB"/></Memory>
//     <Forms><MainWindow State="0000640000320001D10002470000640000320001D1000247000000"/></Forms>
//   </CONFIG>
//
// The document is parsed once when the store is created and kept in memory;
// reads and writes work on that copy and nothing touches the disk until
// save() (or the destructor) writes it back, and only when a write really
// changed a stored text. The write goes to a temporary file next to the
// settings file and is renamed over it, so the file on disk is always either
// the old or the new document, never a torn one.
//
//   TSystemSettings settings;                       // "Quorvex.xml" in the current directory
//   if (auto e = settings.loadError()) show(*e);    // unreadable file: defaults are in use
//   int speed = settings.readInteger("Emulation", "SlowRunSpeed", 2);
//   settings.writeBoolean("Terminal", "LocalEcho", true);
//   try { settings.save(); } catch (const TFileError& e) { show(e.what()); }
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include <pugixml.hpp>

// A window's rectangle in screen pixels.
struct TFormBounds {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;

  bool operator==(const TFormBounds&) const = default;
};

// What the store needs of a window to keep its geometry. The front end
// implements it for each of its windows; the core never sees a widget.
class TFormGeometry {
 public:
  static constexpr int stateNormal = 0;
  static constexpr int stateMinimized = 1;
  static constexpr int stateMaximized = 2;

  virtual ~TFormGeometry() = default;

  // The element name under "Forms" ("MainWindow", "MemoryEditor" ...).
  virtual std::string formName() const = 0;
  // The rectangle the window occupies now.
  virtual TFormBounds bounds() const = 0;
  // The rectangle the window returns to when it is no longer maximized or minimized.
  virtual TFormBounds normalBounds() const = 0;
  virtual int windowState() const = 0;
  // In one step: put the window into the normal state, give it the bounds,
  // then maximize it when state is stateMaximized.
  virtual void applyGeometry(int state, const TFormBounds& bounds) = 0;
};

class TSystemSettings {
 public:
  static constexpr const char* defaultFileName = "Quorvex.xml";

  // Parses the file if it exists. The path is made absolute here, so a later
  // change of the current directory does not move the file. A file that
  // cannot be read or parsed leaves the store empty (every read gives its
  // default) and is described by loadError().
  explicit TSystemSettings(const std::filesystem::path& file = defaultFileName);
  // Calls save(); a failure is printed to stderr, never thrown. A front end
  // that wants to show the failure calls save() itself before.
  ~TSystemSettings();

  TSystemSettings(const TSystemSettings&) = delete;
  TSystemSettings& operator=(const TSystemSettings&) = delete;

  // Reads never create elements. Section and key names are matched exactly.
  // A present but empty attribute is the empty text, not the default.
  std::string readString(const std::string& section, const std::string& key, const std::string& defaultValue) const;
  // Decimal text within the 32-bit range; anything else gives the default.
  int32_t readInteger(const std::string& section, const std::string& key, int32_t defaultValue) const;
  // "true" or "false" in any letter case; anything else gives the default.
  bool readBoolean(const std::string& section, const std::string& key, bool defaultValue) const;

  // Writes create the section and key elements as needed and set the changed
  // flag only when the stored text differs from the new one. A section or key
  // that is not a valid XML element name is refused (reported on stderr), so
  // a mistake in a caller cannot make the file unreadable.
  void writeString(const std::string& section, const std::string& key, const std::string& value);
  void writeInteger(const std::string& section, const std::string& key, int32_t value);
  // Writes "True" or "False".
  void writeBoolean(const std::string& section, const std::string& key, bool value);

  // The window's geometry as nine six-digit hex fields in "Forms"/<name> "State".
  void saveFormState(const TFormGeometry& form);
  // Applies the stored geometry; a missing State places the window at 0,0 with
  // size 0x0 (it then sizes itself); a State that is not 54 valid characters
  // leaves the window as it is.
  void restoreFormState(TFormGeometry& form) const;

  // Writes the document when changed, atomically. A file that could not be
  // read at start is first kept as "<file>.bak". Clears the changed flag and
  // returns true when written; returns false when there was nothing to write.
  // Throws TFileError on failure; the changed flag then stays set.
  bool save();

  // A read-only store never writes its file (the headless runner uses the
  // settings but leaves them as they are); reads and writes work in memory.
  void setReadOnly(bool readOnly) { readOnly_ = readOnly; }
  bool readOnly() const { return readOnly_; }

  bool changed() const { return changed_; }
  const std::filesystem::path& fileName() const { return file_; }
  // Set when the file existed but could not be read or parsed: path and reason.
  const std::optional<std::string>& loadError() const { return loadError_; }

 private:
  void load();
  void startEmpty();
  pugi::xml_attribute findAttribute(const std::string& section, const std::string& key, const char* name) const;
  std::string readAttribute(const std::string& section, const std::string& key, const char* name,
                            const std::string& defaultValue) const;
  void writeAttribute(const std::string& section, const std::string& key, const char* name, const std::string& value);
  void writeTemporary(const std::filesystem::path& temp) const;

  std::filesystem::path file_;
  pugi::xml_document xml_;
  bool changed_ = false;
  bool readOnly_ = false;
  // The file on disk could not be read: keep it as .bak before replacing it.
  bool keepBackup_ = false;
  std::optional<std::string> loadError_;
};
