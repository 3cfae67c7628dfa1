#include "events/SubscriptionProductsEvent.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

namespace {

void describeProduct(EventDescription& text, std::size_t index,
                     const SubscriptionProduct& product) {
    std::string block = "\t\t product " + std::to_string(index) + " \n";
    block += "\t\t\t productId: " + product.productId + "\n";
    block += "\t\t\t price: " + EventDescription::plain(product.price) + "\n";
    block += "\t\t\t regionCode: " + product.regionCode + "\n";
    block += "\t\t\t currencyCode: " + product.currencyCode + "\n";
    if (product.introductoryPrice) {
        block +=
            "\t\t\t introductoryPrice: " + EventDescription::plain(*product.introductoryPrice) +
            "\n";
    }
    if (product.discounts) {
        block += "\t\t\t discounts: \n";
        for (const auto& [identifier, price] : *product.discounts) {
            block += "\t\t\t\t " + identifier + ": " + EventDescription::plain(price) + "\n";
        }
        block += "\n";
    }
    text.append(block);
}

}  // namespace

void SubscriptionProductsEvent::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    auto& list = json["products"] = nlohmann::ordered_json::array();
    for (const auto& product : products) {
        list.push_back(product.toJsonValue());
    }
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void SubscriptionProductsEvent::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId);
    if (!products.empty()) {
        text.append("\t products: \n");
        for (std::size_t index = 0; index < products.size(); ++index) {
            describeProduct(text, index, products[index]);
        }
    }
    text.add("inExperiments", inExperiments);
}

}  // namespace mvk
