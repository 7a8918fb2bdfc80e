#pragma once

#include <string>

#include "common/Failure.h"
#include "common/MessagePresenter.h"

namespace brisolant {

// "Error: " + number + ". " + description, the form of the settings module's message boxes.
std::string FailureMessageText(const Failure& failure);

void ShowFailureMessage(MessagePresenter& messages, const std::string& title,
                        const Failure& failure);

}  // namespace brisolant
