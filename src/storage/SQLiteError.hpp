#pragma once

#include <array>
#include <exception>
#include <optional>
#include <string>

namespace mvk {

/// A failure of the SQLite layer: SQLite's message (or our own), its result
/// code, and, when known, the SQL of the statement it came from.
class SQLiteError : public std::exception {
  public:
    /// SQLITE_OK, SQLITE_ROW and SQLITE_DONE; every other result of exec and step is a failure.
    static constexpr std::array<int, 3> successCodes = {0, 100, 101};
    static bool isSuccessCode(int code);
    /// The disk had no room for a write (full, or over a quota, which SQLite
    /// answers as a failed write): passing trouble, never damage.
    static bool isOutOfRoom(int extendedCode);

    SQLiteError(std::string message, int code, std::optional<std::string> statement = std::nullopt,
                std::optional<std::string> reason = std::nullopt);

    const std::string& message() const { return message_; }
    int code() const { return code_; }
    /// The statement's SQL text, when the error carries one.
    const std::optional<std::string>& statement() const { return statement_; }
    /// The system's words where SQLite had them (a file that cannot be
    /// opened: a folder in its place, a read-only folder); not part of
    /// `description`.
    const std::optional<std::string>& reason() const { return reason_; }

    /// message + " (" + SQL + ")" when there is a statement, then " (code: " + code + ")".
    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

  private:
    std::string message_;
    int code_;
    std::optional<std::string> statement_;
    std::optional<std::string> reason_;
    std::string description_;
};

}  // namespace mvk
