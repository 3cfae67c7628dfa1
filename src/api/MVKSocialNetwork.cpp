#include "mvk/MVKSocialNetwork.hpp"

#include "foundation/Utf8.hpp"

namespace mvk {

MVKSocialNetwork::MVKSocialNetwork(const std::string& name) noexcept {
    try {
        name_ = Utf8::sanitized(name);
    } catch (...) {
        name_.clear();
    }
}

std::string MVKSocialNetwork::description() const noexcept {
    try {
        return "name: " + name_;
    } catch (...) {
        return {};
    }
}

// Presets are leaked: a host thread may still read one while the process exits.

const MVKSocialNetwork& MVKSocialNetwork::facebook() noexcept {
    static const auto* const made = new MVKSocialNetwork("fb");
    return *made;
}

const MVKSocialNetwork& MVKSocialNetwork::vkontakte() noexcept {
    static const auto* const made = new MVKSocialNetwork("vk");
    return *made;
}

const MVKSocialNetwork& MVKSocialNetwork::twitter() noexcept {
    static const auto* const made = new MVKSocialNetwork("tw");
    return *made;
}

const MVKSocialNetwork& MVKSocialNetwork::googleplus() noexcept {
    static const auto* const made = new MVKSocialNetwork("gp");
    return *made;
}

const MVKSocialNetwork& MVKSocialNetwork::whatsapp() noexcept {
    static const auto* const made = new MVKSocialNetwork("wp");
    return *made;
}

const MVKSocialNetwork& MVKSocialNetwork::viber() noexcept {
    static const auto* const made = new MVKSocialNetwork("vb");
    return *made;
}

const MVKSocialNetwork& MVKSocialNetwork::evernote() noexcept {
    static const auto* const made = new MVKSocialNetwork("en");
    return *made;
}

const MVKSocialNetwork& MVKSocialNetwork::googlemail() noexcept {
    static const auto* const made = new MVKSocialNetwork("gm");
    return *made;
}

const MVKSocialNetwork& MVKSocialNetwork::linkedin() noexcept {
    static const auto* const made = new MVKSocialNetwork("in");
    return *made;
}

const MVKSocialNetwork& MVKSocialNetwork::pinterest() noexcept {
    static const auto* const made = new MVKSocialNetwork("pi");
    return *made;
}

const MVKSocialNetwork& MVKSocialNetwork::qzone() noexcept {
    static const auto* const made = new MVKSocialNetwork("qq");
    return *made;
}

const MVKSocialNetwork& MVKSocialNetwork::reddit() noexcept {
    static const auto* const made = new MVKSocialNetwork("rt");
    return *made;
}

const MVKSocialNetwork& MVKSocialNetwork::renren() noexcept {
    static const auto* const made = new MVKSocialNetwork("rr");
    return *made;
}

const MVKSocialNetwork& MVKSocialNetwork::tumblr() noexcept {
    static const auto* const made = new MVKSocialNetwork("tb");
    return *made;
}

}  // namespace mvk
