#include "storage/Statement.hpp"

#include <sqlite3.h>

#include <limits>

#include "storage/Connection.hpp"
#include "storage/EmptyStatementError.hpp"
#include "storage/SQLiteError.hpp"

namespace mvk {

namespace {

template <typename... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <typename... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

/// `destructor` is SQLITE_TRANSIENT (SQLite copies the text) or SQLITE_STATIC
/// (SQLite reads it where it is, so it must outlive every step).
int bindValue(sqlite3_stmt* handle, int index, const SQLiteValue& value,
              sqlite3_destructor_type destructor) {
    return std::visit(
        Overloaded{
            [&](std::monostate) { return sqlite3_bind_null(handle, index); },
            [&](std::int64_t number) { return sqlite3_bind_int64(handle, index, number); },
            [&](double number) { return sqlite3_bind_double(handle, index, number); },
            [&](const std::string& text) {
                // With its byte length, so a NUL inside the text is kept.
                return sqlite3_bind_text64(handle, index, text.data(), text.size(), destructor,
                                           SQLITE_UTF8);
            },
        },
        value.storage());
}

}  // namespace

Statement::Statement(Connection& database, std::string_view sql,
                     const std::vector<SQLiteValue>& arguments)
    : database_(database) {
    if (sql.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw SQLiteError(sqlite3_errstr(SQLITE_TOOBIG), SQLITE_TOOBIG);
    }
    database.requireHandle();
    const int result = sqlite3_prepare_v2(database.handle(), sql.data(),
                                          static_cast<int>(sql.size()), &handle_, nullptr);
    if (result != SQLITE_OK) {
        sqlite3_finalize(handle_);
        throw database.error(result);
    }
    if (handle_ == nullptr) {
        throw EmptyStatementError();
    }
    try {
        bind(arguments);
    } catch (...) {
        sqlite3_finalize(handle_);
        throw;
    }
}

Statement::~Statement() {
    sqlite3_finalize(handle_);
}

template <typename Values, typename Value>
void Statement::bindEach(const Values& values, Value&& valueAt, bool copyTexts) {
    sqlite3_reset(handle_);
    sqlite3_clear_bindings(handle_);
    const int expected = sqlite3_bind_parameter_count(handle_);
    if (values.size() != static_cast<std::size_t>(expected)) {
        throw SQLiteError(std::to_string(expected) + " values expected, " +
                              std::to_string(values.size()) + " passed",
                          SQLITE_RANGE, description());
    }
    for (int index = 1; index <= expected; ++index) {
        const int result =
            bindValue(handle_, index, valueAt(values[static_cast<std::size_t>(index - 1)]),
                      copyTexts ? SQLITE_TRANSIENT : SQLITE_STATIC);
        if (result != SQLITE_OK) {
            throw SQLiteError(database_.errorMessage(), result, description());
        }
    }
}

Statement& Statement::bind(const std::vector<SQLiteValue>& values) {
    if (!values.empty()) {
        bindEach(
            values, [](const SQLiteValue& value) -> const SQLiteValue& { return value; }, true);
    }
    return *this;
}

Statement& Statement::runBorrowing(const std::vector<const SQLiteValue*>& values) {
    // Cleared on every way out: a later step must never read a text that is gone.
    struct Unbind {
        sqlite3_stmt* handle;
        ~Unbind() {
            sqlite3_reset(handle);
            sqlite3_clear_bindings(handle);
        }
    } unbind{handle_};
    bindEach(
        values, [](const SQLiteValue* value) -> const SQLiteValue& { return *value; }, false);
    while (step()) {
    }
    return *this;
}

Statement& Statement::run(const std::vector<SQLiteValue>& values) {
    if (!values.empty()) {
        bind(values);
    }
    reset();
    while (step()) {
    }
    return *this;
}

void Statement::reset() {
    sqlite3_reset(handle_);
}

std::optional<Cursor> Statement::failableNext() {
    if (step()) {
        return cursor();
    }
    return std::nullopt;
}

int Statement::columnCount() const {
    if (!columnCount_) {
        columnCount_ = sqlite3_column_count(handle_);
    }
    return *columnCount_;
}

std::string Statement::description() const {
    const char* sql = sqlite3_sql(handle_);
    return sql != nullptr ? sql : "";
}

bool Statement::step() {
    const int result = sqlite3_step(handle_);
    if (!SQLiteError::isSuccessCode(result)) {
        throw database_.error(result);
    }
    return result == SQLITE_ROW;
}

}  // namespace mvk
