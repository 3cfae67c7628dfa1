#include "storage/Cursor.hpp"

#include <sqlite3.h>

namespace mvk {

int Cursor::type(int index) const {
    if (index < 0 || index >= columnCount_) {
        return SQLITE_NULL;
    }
    return sqlite3_column_type(handle_, index);
}

std::optional<std::string> Cursor::text(int index) const {
    if (type(index) != SQLITE_TEXT) {
        return std::nullopt;
    }
    // The pointer first, then the length: asking for the length first could
    // make SQLite convert the value and move the bytes.
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(handle_, index));
    const int length = sqlite3_column_bytes(handle_, index);
    if (bytes == nullptr) {
        return std::string();
    }
    return std::string(bytes, static_cast<std::size_t>(length));
}

std::optional<std::int64_t> Cursor::integer(int index) const {
    if (type(index) != SQLITE_INTEGER) {
        return std::nullopt;
    }
    return sqlite3_column_int64(handle_, index);
}

std::optional<double> Cursor::real(int index) const {
    if (type(index) != SQLITE_FLOAT) {
        return std::nullopt;
    }
    return sqlite3_column_double(handle_, index);
}

SQLiteValue Cursor::value(int index) const {
    switch (type(index)) {
        case SQLITE_INTEGER:
            return *integer(index);
        case SQLITE_FLOAT:
            return *real(index);
        case SQLITE_TEXT:
            return *text(index);
        default:
            return {};
    }
}

std::vector<SQLiteValue> Cursor::values() const {
    std::vector<SQLiteValue> result;
    result.reserve(static_cast<std::size_t>(columnCount_));
    for (int index = 0; index < columnCount_; ++index) {
        result.push_back(value(index));
    }
    return result;
}

}  // namespace mvk
