#include "state/TutorialRepository.hpp"

namespace mvk {

ContentValues TutorialRepository::columns(const TutorialMark& mark) {
    return {
        {std::string(Entry::userId), mark.userId},
        {std::string(Entry::step), mark.step},
    };
}

}  // namespace mvk
