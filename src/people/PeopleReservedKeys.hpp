#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace mvk {

/// The user-card property names the library itself knows; each case's text
/// is its name.
enum class PeopleReservedKeys { name, email, phone, photo, gender, age, cheater, tester };

/// Every case, in declaration order.
inline constexpr std::array<PeopleReservedKeys, 8> PeopleReservedKeysAllCases = {
    PeopleReservedKeys::name,    PeopleReservedKeys::email,  PeopleReservedKeys::phone,
    PeopleReservedKeys::photo,   PeopleReservedKeys::gender, PeopleReservedKeys::age,
    PeopleReservedKeys::cheater, PeopleReservedKeys::tester,
};

std::string_view rawValue(PeopleReservedKeys key);

/// The case whose text is exactly `text` (letter case counts), or nothing.
std::optional<PeopleReservedKeys> PeopleReservedKeysFromRawValue(std::string_view text);

}  // namespace mvk
