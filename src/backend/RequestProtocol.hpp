#pragma once

#include "backend/Response.hpp"

namespace mvk {

class RequestProtocol {
  public:
    virtual ~RequestProtocol() = default;

    /// Sends and blocks until the answer is in. Throws `MVKError` only when the
    /// request cannot be made at all; transport failures come back as status 400.
    virtual Response send() = 0;
};

}  // namespace mvk
