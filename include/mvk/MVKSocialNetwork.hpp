#pragma once

#include <string>

#include "mvk/Export.hpp"

namespace mvk {

/// A social network the player connected to or posted on. A network is not a
/// value: two objects with the same name are still two networks.
class MVK_EXPORT MVKSocialNetwork {
  public:
    /// A network not among the presets; an invalid UTF-8 sequence becomes U+FFFD.
    explicit MVKSocialNetwork(const std::string& name) noexcept;

    MVKSocialNetwork(const MVKSocialNetwork&) = delete;
    MVKSocialNetwork& operator=(const MVKSocialNetwork&) = delete;

    /// The presets, each made once and kept for the life of the process.
    static const MVKSocialNetwork& facebook() noexcept;    ///< "fb"
    static const MVKSocialNetwork& vkontakte() noexcept;   ///< "vk"
    static const MVKSocialNetwork& twitter() noexcept;     ///< "tw"
    static const MVKSocialNetwork& googleplus() noexcept;  ///< "gp"
    static const MVKSocialNetwork& whatsapp() noexcept;    ///< "wp"
    static const MVKSocialNetwork& viber() noexcept;       ///< "vb"
    static const MVKSocialNetwork& evernote() noexcept;    ///< "en"
    static const MVKSocialNetwork& googlemail() noexcept;  ///< "gm"
    static const MVKSocialNetwork& linkedin() noexcept;    ///< "in"
    static const MVKSocialNetwork& pinterest() noexcept;   ///< "pi"
    static const MVKSocialNetwork& qzone() noexcept;       ///< "qq"
    static const MVKSocialNetwork& reddit() noexcept;      ///< "rt"
    static const MVKSocialNetwork& renren() noexcept;      ///< "rr"
    static const MVKSocialNetwork& tumblr() noexcept;      ///< "tb"

    const std::string& name() const noexcept { return name_; }

    /// "name: " followed by the name.
    std::string description() const noexcept;

  private:
    std::string name_;
};

}  // namespace mvk
