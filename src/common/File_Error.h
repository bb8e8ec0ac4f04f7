// The one error type of the machine: a file that could not be opened, read,
// written or closed. It carries the path and the operating system's message,
// so the front end can show both and the runner can print them.
#pragma once

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

class TFileError : public std::runtime_error {
 public:
  TFileError(std::string path, std::string message)
      : std::runtime_error(path + ": " + message), path_(std::move(path)), message_(std::move(message)) {}

  // Builds the error from the current errno (or a fallback text when errno is 0).
  static TFileError fromErrno(const std::string& path, const char* fallback = "Input/output error") {
    const int e = errno;
    return TFileError(path, e != 0 ? std::strerror(e) : fallback);
  }

  const std::string& path() const { return path_; }
  const std::string& message() const { return message_; }

 private:
  std::string path_;
  std::string message_;
};
