// The error types of the file, stream and list layer. Every failure that ends a run is one of
// these; its what() is the exact text the user sees.
#pragma once

#include <stdexcept>
#include <string>

namespace rpq {

// Base of every error the system raises.
class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A file could not be opened: "Cannot open file <path>".
class EFOpenError : public Error {
  public:
    explicit EFOpenError(const std::string& path);
};

// A file could not be created (or replaced): "Cannot create file <path>".
class EFCreateError : public Error {
  public:
    explicit EFCreateError(const std::string& path);
};

// A stream ended before the bytes asked for: "Stream read error".
class EReadError : public Error {
  public:
    EReadError();
};

// A write did not reach the file (disk full, quota, I/O error): "Stream write error".
class EWriteError : public Error {
  public:
    EWriteError();
};

// A string list was indexed outside 0..Count-1: "List index out of bounds (<index>)".
class EListError : public Error {
  public:
    explicit EListError(long long index);
};

// A pack holds something that cannot be extracted or rebuilt safely (an entry name that would
// leave its directory, a size past the format's limits). The message names the entry and pack.
class EPackError : public Error {
  public:
    using Error::Error;
};

// The user asked the run to stop; raised between entries and between inputs only.
class EStopped : public Error {
  public:
    EStopped();
};

}  // namespace rpq
