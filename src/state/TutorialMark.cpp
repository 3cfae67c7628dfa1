#include "state/TutorialMark.hpp"

namespace mvk {

std::optional<TutorialMark> TutorialMark::fromCursor(const Cursor& cursor) {
    auto id = cursor.integer(0);
    auto userId = cursor.integer(1);
    auto step = cursor.integer(2);
    if (!id || !userId || !step) {
        return std::nullopt;
    }
    return TutorialMark{.idKey = *id, .userId = *userId, .step = *step};
}

}  // namespace mvk
