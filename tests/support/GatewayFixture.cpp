#include "support/GatewayFixture.hpp"

#include "platform/URLSessionSettings.hpp"

namespace mvk::test {

GatewayFixture::GatewayFixture() {
    URLSessionSettings::setCaPem(gateway_.caPem());
}

GatewayFixture::~GatewayFixture() {
    gateway_.stop();
    URLSessionSettings::reset();
}

}  // namespace mvk::test
