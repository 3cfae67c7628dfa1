#include "people/PeopleReservedKeys.hpp"

namespace mvk {

std::string_view rawValue(PeopleReservedKeys key) {
    switch (key) {
        case PeopleReservedKeys::name:
            return "name";
        case PeopleReservedKeys::email:
            return "email";
        case PeopleReservedKeys::phone:
            return "phone";
        case PeopleReservedKeys::photo:
            return "photo";
        case PeopleReservedKeys::gender:
            return "gender";
        case PeopleReservedKeys::age:
            return "age";
        case PeopleReservedKeys::cheater:
            return "cheater";
        case PeopleReservedKeys::tester:
            return "tester";
    }
    return "";
}

std::optional<PeopleReservedKeys> PeopleReservedKeysFromRawValue(std::string_view text) {
    for (auto key : PeopleReservedKeysAllCases) {
        if (rawValue(key) == text) {
            return key;
        }
    }
    return std::nullopt;
}

}  // namespace mvk
