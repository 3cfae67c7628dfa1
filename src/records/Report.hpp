#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "records/Package.hpp"
#include "records/Identifiers.hpp"
#include "storage/Cursor.hpp"
#include "storage/DatabaseProtocol.hpp"

namespace mvk {

/// The packages of one user's events, stored as one row of "reports" until
/// the gateway has accepted them. The row cache and the report service share
/// one object.
class Report {
  public:
    /// A report not stored yet. `uuid` is a fresh random UUID text; it names
    /// the report in log lines and in the request's content identifier.
    Report(std::vector<Package> packages, std::string uuid)
        : uuid(std::move(uuid)), packages_(std::move(packages)) {}

    /// The row id; -1 until the row is inserted.
    std::int64_t idKey = -1;
    /// Row id of the user whose events these are; -1 for a report sent
    /// without being stored.
    std::int64_t userId = -1;
    /// The stored packages text; only on a report read from the table.
    std::optional<std::string> packagesJson;
    std::string uuid;
    /// The application key the report is sent under; set just before
    /// sending, never stored.
    std::optional<std::string> appKey;
    /// The identity sent as request headers; set just before sending, never
    /// stored.
    std::optional<Identifiers> identifiers;

    /// The packages; for a report read from the table they are decoded from
    /// `packagesJson` on first use, since sending needs only the text.
    const std::vector<Package>& packages() const;

    /// Columns id, userId, packagesJson, uuid. Absent when the id or user id
    /// is not an integer or the uuid not a text; packages that are NULL or do
    /// not decode as a whole read as none.
    static std::optional<Report> fromCursor(const Cursor& cursor);

    /// The packages as stored: a JSON array of package objects; absent when
    /// they cannot be written, since an empty list in their place would
    /// stand for events that were never sent.
    std::optional<std::string> packagesText() const;

    /// Whether the packages can go out: always for a report built here; for
    /// one read from the table, whether the stored text is a JSON array
    /// within the nesting bound. Checked without decoding the text, once.
    bool hasSendablePackages() const;

    /// Appends the report's part of a request body, as `toJson` writes it
    /// but with the stored text spliced in as it is, to `out`.
    void appendBody(std::string& out) const;

    /// Roughly how many bytes `appendBody` appends, to reserve once.
    std::size_t bodySizeHint() const;

    /// userId, packagesJson and uuid, for an insert; absent when the
    /// packages cannot be written.
    std::optional<ContentValues> contentValues() const;

    /// `contentValues` for a report on its way into the table: the packages
    /// are let go of once they are text, so that the events of a megabyte
    /// report are not held a third time beside the text while SQLite builds
    /// its record. The report keeps everything but its packages.
    std::optional<ContentValues> intoContentValues() &&;

    /// The packages as they go out: the stored text as it is for a report
    /// read from the table (it is this library's own package form, so a row
    /// the package reader cannot follow still goes out whole), else the
    /// packages. Absent when neither gives a JSON array.
    std::optional<nlohmann::ordered_json> packagesBody() const;

    /// The report's part of a request body: {"packages": [...]}; the
    /// packages are [] only when `packagesBody` is absent, which the sender
    /// checks first.
    nlohmann::ordered_json toJson() const;

  private:
    /// Packages decoded from the stored text once, shared by the copies of
    /// a report read from the table.
    struct StoredPackages {
        std::once_flag decoded;
        std::vector<Package> packages;
        /// The check of the text runs once: it reads every byte of it.
        std::once_flag checked;
        bool sendable = false;
    };

    std::vector<Package> packages_;
    std::shared_ptr<StoredPackages> stored_;
};

}  // namespace mvk
