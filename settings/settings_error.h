#pragma once

#include <stdexcept>
#include <string>

namespace velmora {

// The one error of the settings store. Its message names the value the failed operation was
// about, so that the window's general error box tells the user which setting it was.
class SettingsError final : public std::runtime_error {
public:
    SettingsError(std::string valueName, const std::string& message)
        : std::runtime_error(message), valueName_(std::move(valueName)) {}

    const std::string& valueName() const noexcept { return valueName_; }

private:
    std::string valueName_;
};

} // namespace velmora
