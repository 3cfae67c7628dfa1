#pragma once

#include <map>
#include <string>

#include "backend/UrlBuilderProtocol.hpp"

namespace mvk {

/// Host, path and query of one request. Keys and values are written as they
/// are: a caller whose value may hold reserved characters escapes it first
/// (`percentEncodeQueryValue`).
class UrlBuilder : public UrlBuilderProtocol {
  public:
    explicit UrlBuilder(std::string host, std::string path = {});

    /// A second call with the same key replaces the value.
    void setQueryParam(const std::string& key, const std::string& value) override;
    std::optional<URL> getUrl() const override;
    std::string text() const override { return buildFullPath(); }

    const std::string& host() const { return host_; }
    const std::string& path() const { return path_; }
    const std::map<std::string, std::string>& queryParameter() const { return queryParameter_; }

  private:
    /// Host and path, then "?" and the pairs joined by "&" in key order when
    /// there is at least one.
    std::string buildFullPath() const;

    const std::string host_;
    std::string path_;
    std::map<std::string, std::string> queryParameter_;
};

}  // namespace mvk
