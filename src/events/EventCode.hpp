#pragma once

#include <array>
#include <string_view>

namespace mvk {

/// The short code of each event record. The same codes name the events that
/// the project configuration excludes.
class EventCode {
  public:
    EventCode() = delete;

    static constexpr std::string_view sessionStart = "ss";
    static constexpr std::string_view userEngagement = "ue";
    static constexpr std::string_view alive = "al";
    static constexpr std::string_view trackingStatus = "ts";
    static constexpr std::string_view deviceInfo = "di";
    static constexpr std::string_view tutorial = "tr";
    static constexpr std::string_view realCurrencyPayment = "rp";
    static constexpr std::string_view virtualCurrencyPayment = "vp";
    static constexpr std::string_view currencyAccrual = "ca";
    static constexpr std::string_view currentBalance = "cb";
    static constexpr std::string_view levelUp = "lu";
    static constexpr std::string_view customEvent = "ce";
    static constexpr std::string_view progressionEvent = "pe";
    static constexpr std::string_view socialNetworkConnect = "sc";
    static constexpr std::string_view socialNetworkPost = "sp";
    static constexpr std::string_view referral = "rf";
    static constexpr std::string_view adImpression = "adrv";
    static constexpr std::string_view peopleEvent = "pl";
    static constexpr std::string_view cheaterMark = "ch";
    static constexpr std::string_view testerMark = "tstr";
    static constexpr std::string_view pushToken = "pt";
    static constexpr std::string_view pushOpened = "po";
    static constexpr std::string_view subscriptionPayment = "sbs";
    static constexpr std::string_view subscriptionProductsEvent = "sbsp";
    static constexpr std::string_view restoredTransactionsEvent = "sbsr";

    static constexpr std::array<std::string_view, 25> all = {
        sessionStart,
        userEngagement,
        alive,
        trackingStatus,
        deviceInfo,
        tutorial,
        realCurrencyPayment,
        virtualCurrencyPayment,
        currencyAccrual,
        currentBalance,
        levelUp,
        customEvent,
        progressionEvent,
        socialNetworkConnect,
        socialNetworkPost,
        referral,
        adImpression,
        peopleEvent,
        cheaterMark,
        testerMark,
        pushToken,
        pushOpened,
        subscriptionPayment,
        subscriptionProductsEvent,
        restoredTransactionsEvent,
    };

    static constexpr bool isKnown(std::string_view code) {
        for (auto known : all) {
            if (known == code) {
                return true;
            }
        }
        return false;
    }
};

}  // namespace mvk
