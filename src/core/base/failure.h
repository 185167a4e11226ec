// A failed step, as the common error handler records it: number, description and source.
// Steps signal a failure by throwing; the guard catches it and reports it.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace ks {

// The base of application-defined error numbers (hexadecimal 80040000).
inline constexpr std::int32_t kApplicationErrorBase = -2147221504;

// Error numbers of the classic run time that the program reports.
inline constexpr std::int32_t kErrInvalidCall = 5;
inline constexpr std::int32_t kErrOutOfMemory = 7;
inline constexpr std::int32_t kErrOverflow = 6;
inline constexpr std::int32_t kErrFileNotFound = 53;
inline constexpr std::int32_t kErrPermissionDenied = 70;
inline constexpr std::int32_t kErrPathFileAccess = 75;
inline constexpr std::int32_t kErrPathNotFound = 76;

class Failure : public std::exception {
  public:
    Failure(std::int32_t number, std::string description, std::string source = {})
        : m_number(number), m_description(std::move(description)), m_source(std::move(source)) {}

    std::int32_t Number() const noexcept { return m_number; }
    const std::string& Description() const noexcept { return m_description; }
    const std::string& Source() const noexcept { return m_source; }
    const char* what() const noexcept override { return m_description.c_str(); }

  private:
    std::int32_t m_number;
    std::string m_description;
    std::string m_source;
};

}  // namespace ks
