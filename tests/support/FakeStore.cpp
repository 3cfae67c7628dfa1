#include "support/FakeStore.hpp"

#include <utility>

namespace mvk::test {

class FakeStore::Request final : public MVKStoreProductsRequest {
  public:
    Request(FakeStore& store, std::size_t index) : store_(store), index_(index) {}

    void start() override { store_.started(index_); }
    void cancel() override {
        std::lock_guard lock(store_.mutex_);
        ++store_.entries_[index_].record.cancels;
    }

  private:
    FakeStore& store_;
    const std::size_t index_;
};

FakeStore::~FakeStore() {
    join();
}

void FakeStore::script(Script script) {
    std::lock_guard lock(mutex_);
    scripts_.push_back(std::move(script));
}

void FakeStore::scriptProducts(std::vector<MVKStoreProduct> products, Delivery delivery) {
    script({{Step::answer(std::move(products)), Step::finish()}, delivery});
}

void FakeStore::scriptFailure(std::string text, Delivery delivery) {
    script({{Step::fail(std::move(text))}, delivery});
}

std::shared_ptr<MVKStoreProductsRequest> FakeStore::makeProductsRequest(
    const std::set<std::string>& productIdentifiers,
    std::shared_ptr<MVKStoreProductsRequestDelegate> delegate) {
    std::lock_guard lock(mutex_);
    Entry entry{{}, std::move(delegate), {productIdentifiers}};
    if (!scripts_.empty()) {
        entry.script = std::move(scripts_.front());
        scripts_.pop_front();
    }
    entries_.push_back(std::move(entry));
    return std::make_shared<Request>(*this, entries_.size() - 1);
}

void FakeStore::started(std::size_t index) {
    Script script;
    std::shared_ptr<MVKStoreProductsRequestDelegate> delegate;
    {
        std::lock_guard lock(mutex_);
        auto& entry = entries_[index];
        ++entry.record.starts;
        script = entry.script;
        delegate = entry.delegate;
    }
    switch (script.delivery) {
        case Delivery::insideStart:
            run(script.steps, *delegate);
            break;
        case Delivery::ownThread: {
            std::thread thread([steps = script.steps, delegate, delay = script.delay] {
                std::this_thread::sleep_for(delay);
                run(steps, *delegate);
            });
            std::lock_guard lock(mutex_);
            threads_.push_back(std::move(thread));
            break;
        }
        case Delivery::onDemand:
            break;
    }
}

void FakeStore::deliver(std::size_t requestIndex) {
    std::vector<Step> steps;
    std::shared_ptr<MVKStoreProductsRequestDelegate> delegate;
    {
        std::lock_guard lock(mutex_);
        steps = entries_.at(requestIndex).script.steps;
        delegate = entries_.at(requestIndex).delegate;
    }
    run(steps, *delegate);
}

void FakeStore::run(const std::vector<Step>& steps, MVKStoreProductsRequestDelegate& delegate) {
    for (const auto& step : steps) {
        switch (step.kind) {
            case Step::Kind::products:
                delegate.didReceiveProducts(step.products);
                break;
            case Step::Kind::failure:
                delegate.didFail(step.failure);
                break;
            case Step::Kind::finish:
                delegate.didFinish();
                break;
        }
    }
}

std::vector<FakeStore::Record> FakeStore::records() const {
    std::lock_guard lock(mutex_);
    std::vector<Record> records;
    for (const auto& entry : entries_) {
        records.push_back(entry.record);
    }
    return records;
}

void FakeStore::join() {
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mutex_);
        threads.swap(threads_);
    }
    for (auto& thread : threads) {
        thread.join();
    }
}

MVKStoreProduct storeProduct(std::string id, double price, std::string localeIdentifier,
                             std::optional<std::string> regionCode,
                             std::optional<std::string> currencyCode) {
    MVKStoreProduct product;
    product.productIdentifier = std::move(id);
    product.price = price;
    product.priceLocale = {std::move(localeIdentifier), std::move(regionCode),
                           std::move(currencyCode)};
    return product;
}

}  // namespace mvk::test
