#pragma once

#include <stdexcept>
#include <string>
#include <utility>

// A programming error found by a check of the settings model or the pane: a
// fixed message naming what went wrong, and the source file that checked it.
// Not caught inside the settings model.
class InternalInconsistencyError : public std::logic_error {
public:
    InternalInconsistencyError(std::string source, const std::string& message)
        : std::logic_error(message), fSource(std::move(source)) {}

    const std::string& source() const { return fSource; }

private:
    std::string fSource;
};

// Raises InternalInconsistencyError(source, message) unless condition holds.
inline void AssertConsistency(bool condition, const char* source, const char* message) {
    if (!condition) {
        throw InternalInconsistencyError(source, message);
    }
}
