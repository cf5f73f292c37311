#pragma once
// The performance test's questions and messages as real message boxes: questions with the
// question icon, F1 opening their help topic. Window thread; each call runs a modal loop.

#include "ui/performance_test/performance_test.h"

#include <functional>

class QWidget;

namespace velmora::ui {

class MessageBoxTestDialogs final : public PerformanceTestDialogs {
public:
    MessageBoxTestDialogs(QWidget* parent, std::function<void(int)> help)
        : parent_(parent), help_(std::move(help))
    {
    }
    bool confirm(const std::string& text, int helpTopic) override;
    bool ask(const std::string& text) override;
    void tell(const std::string& text) override;

private:
    int question(const std::string& text, int buttons, int helpTopic);
    QWidget* parent_;
    std::function<void(int)> help_;
};

} // namespace velmora::ui
