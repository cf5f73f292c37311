#pragma once
// The real generator window wired to a fake device, with the message boxes recorded instead
// of shown and the settings store in a temporary folder.

#include "audio/fake_device.h"
#include "ui/main_window/generator_controller.h"
#include "ui/main_window/generator_window.h"
#include "ui/main_window/window_notices.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace velmora::ui::test {

class RecordingNotices final : public WindowNotices {
public:
    void errorBox(const QString& text) override { errors.push_back(text); }
    void messageBox(const QString& text) override { messages.push_back(text); }
    void warningBox(const QString& text) override { warnings.push_back(text); }
    int suppressible(const QString& text, const QString&, NoticeButtons, const QString& valueName) override
    {
        notices.push_back(valueName);
        noticeTexts.push_back(text);
        return answer;
    }
    std::vector<QString> errors, messages, warnings, notices, noticeTexts;
    int answer = NoticeResult::No;
};

class WindowHarness : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(config.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        make();
    }
    void TearDown() override { destroy(); }

    // (Re)creates the window and its generator on a fresh fake device.
    void make(std::vector<std::string> devices = {"Fake Output", "Second Output"})
    {
        destroy();
        window = std::make_unique<TfrmGenerator>();
        auto fake = std::make_unique<FakeDevice>(std::move(devices));
        device = fake.get();
        controller = std::make_unique<GeneratorController>(*window, std::move(fake), &notices);
    }
    void destroy()
    {
        controller.reset();
        window.reset();
    }

    // Delivers the device's notices (and any other queued window events).
    void pump()
    {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }
    // The device plays everything queued, once; the engine refills what comes back.
    void playQueued()
    {
        device->completeAll();
        pump();
    }

    Generator& generator() { return controller->generator(); }
    GeneratorWidgets& w() { return window->widgets(); }
    ChannelWidgets& ch(Channel c) { return window->channel(c); }

    QTemporaryDir config;
    RecordingNotices notices;
    std::unique_ptr<TfrmGenerator> window;
    FakeDevice* device = nullptr;
    std::unique_ptr<GeneratorController> controller;
};

} // namespace velmora::ui::test
