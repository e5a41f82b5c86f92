#include "toolkit/errors.h"

namespace rpq {

EFOpenError::EFOpenError(const std::string& path) : Error("Cannot open file " + path) {}
EFCreateError::EFCreateError(const std::string& path) : Error("Cannot create file " + path) {}
EReadError::EReadError() : Error("Stream read error") {}
EWriteError::EWriteError() : Error("Stream write error") {}
EListError::EListError(long long index)
    : Error("List index out of bounds (" + std::to_string(index) + ")") {}
EStopped::EStopped() : Error("Operation stopped.") {}

}  // namespace rpq
