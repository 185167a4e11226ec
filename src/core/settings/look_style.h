// The number of the suite's look, shared by every program of the suite through the registry
// value "Style" of HKEY_LOCAL_MACHINE "Software\Velmora\Kestrel\Look". The windows pick their
// colours from it.
#pragma once

#include <cstdint>

namespace ks {

class ErrorHandler;
class Registry;

// The look used when none is recorded yet.
inline constexpr std::int32_t kDefaultLookStyle = 15;
// Asking for this style means "the one recorded in the registry".
inline constexpr std::int32_t kRecordedLookStyle = -1;

class LookStyle {
  public:
    LookStyle(ErrorHandler& errors, Registry& registry) : m_errors(errors), m_registry(registry) {}

    // The recorded style; when the value is missing or blank, 15 is recorded and returned,
    // so that every program of the suite agrees from then on.
    std::int32_t StyleEnregistre();

    // Records `style` as the suite's look; true when stored.
    bool EnregistreStyle(std::int32_t style);

    // `style` itself, or the recorded one for -1.
    std::int32_t Resolve(std::int32_t style);

  private:
    ErrorHandler& m_errors;
    Registry& m_registry;
};

}  // namespace ks
