#include "settings/FailureMessage.h"

namespace brisolant {

std::string FailureMessageText(const Failure& failure) {
    return "Error: " + std::to_string(failure.number()) + ". " + failure.description();
}

void ShowFailureMessage(MessagePresenter& messages, const std::string& title,
                        const Failure& failure) {
    messages.ShowMessage(title, FailureMessageText(failure));
}

}  // namespace brisolant
