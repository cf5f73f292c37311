#pragma once
// The system-wide hot key Ctrl+Insert: a passive grab of the key on the X root window (with
// the NumLock and CapsLock variants, so that the lock keys do not hide it), seen through a
// native event filter. Only one client can hold the grab: while another program (or another
// generator) holds it, grabbing fails silently and the key goes there. Without an X server
// (offscreen, pure Wayland) there is no global key and nothing is reported. Window thread.

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <functional>
#include <vector>

struct xcb_connection_t;

namespace velmora::ui {

class GlobalHotKey final : public QAbstractNativeEventFilter {
public:
    // `pressed` runs on the window thread for each press of the key (auto-repeat included).
    explicit GlobalHotKey(std::function<void()> pressed);
    ~GlobalHotKey() override;
    GlobalHotKey(const GlobalHotKey&) = delete;
    GlobalHotKey& operator=(const GlobalHotKey&) = delete;

    // Whether an X server is there to grab the key on.
    bool available() const { return connection_ != nullptr; }
    // Grabs the key (again); answers whether this program holds it afterwards.
    bool grab();
    // Lets the key go; nothing when not held.
    void release();
    bool held() const { return held_; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void readKeyboard();

    std::function<void()> pressed_;
    xcb_connection_t* connection_ = nullptr;
    uint32_t root_ = 0;
    std::vector<uint8_t> keycodes_;   // every key that gives Insert
    uint16_t numLockMask_ = 0;
    bool held_ = false;
};

} // namespace velmora::ui
