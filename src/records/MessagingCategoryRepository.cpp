#include "records/MessagingCategoryRepository.hpp"

#include "foundation/JsonCoding.hpp"

namespace mvk {

ContentValues MessagingCategoryRepository::columns(const MessagingCategory& category) {
    // An empty text reads back as no row at all, rather than as a category
    // with buttons that were never there.
    return {
        {std::string(Entry::identifier), category.id},
        {std::string(Entry::buttons), toJSONData(category.buttons).value_or("")},
    };
}

}  // namespace mvk
