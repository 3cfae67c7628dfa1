#pragma once

#include "platform/ApplicationState.hpp"

namespace mvk {

class ApplicationStateProtocol {
  public:
    virtual ~ApplicationStateProtocol() = default;
    virtual ApplicationState applicationState() const = 0;
};

}  // namespace mvk
