#pragma once

#include <string>

#include "backend/UrlProtocol.hpp"

namespace mvk {

class UrlBuilderProtocol : public UrlProtocol {
  public:
    virtual void setQueryParam(const std::string& key, const std::string& value) = 0;
};

}  // namespace mvk
