#include "platform/Application.hpp"

#include "platform/ApplicationNotification.hpp"
#include "platform/NotificationCenter.hpp"

namespace mvk {

Application::Application(std::shared_ptr<NotificationCenterProtocol> center)
    : center_(std::move(center)) {}

const std::shared_ptr<Application>& Application::shared() {
    static auto* application = new std::shared_ptr<Application>(
        std::make_shared<Application>(NotificationCenter::defaultCenter()));
    return *application;
}

ApplicationState Application::applicationState() const {
    return state_.load();
}

void Application::didBecomeActive() {
    state_ = ApplicationState::active;
    center_->post(ApplicationNotification::didBecomeActive);
}

void Application::willResignActive() {
    center_->post(ApplicationNotification::willResignActive);
    state_ = ApplicationState::inactive;
}

void Application::didEnterBackground() {
    state_ = ApplicationState::background;
    center_->post(ApplicationNotification::didEnterBackground);
}

void Application::willTerminate() {
    center_->post(ApplicationNotification::willTerminate);
    state_ = ApplicationState::background;
}

}  // namespace mvk
