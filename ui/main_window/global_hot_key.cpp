#include "ui/main_window/global_hot_key.h"

#include <QCoreApplication>
#include <QGuiApplication>

#if VELMORA_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#endif

namespace velmora::ui {

#if VELMORA_HAVE_XCB
namespace {
constexpr uint32_t kInsertKeysym = 0xff63;
constexpr uint32_t kNumLockKeysym = 0xff7f;

// The combinations grabbed: Control with every state of CapsLock and NumLock.
std::vector<uint16_t> Modifiers(uint16_t numLock)
{
    std::vector<uint16_t> m{XCB_MOD_MASK_CONTROL, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_LOCK};
    if (numLock) {
        m.push_back(XCB_MOD_MASK_CONTROL | numLock);
        m.push_back(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_LOCK | numLock);
    }
    return m;
}
} // namespace
#endif

GlobalHotKey::GlobalHotKey(std::function<void()> pressed) : pressed_(std::move(pressed))
{
#if VELMORA_HAVE_XCB
    auto* app = qGuiApp;
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) return;
    connection_ = x11->connection();
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    root_ = xcb_setup_roots_iterator(setup).data->root;
    readKeyboard();
    QCoreApplication::instance()->installNativeEventFilter(this);
#endif
}

GlobalHotKey::~GlobalHotKey()
{
    release();
    if (connection_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

void GlobalHotKey::readKeyboard()
{
#if VELMORA_HAVE_XCB
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    const uint8_t first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* mapping = xcb_get_keyboard_mapping_reply(
        connection_, xcb_get_keyboard_mapping(connection_, first, static_cast<uint8_t>(count)), nullptr);
    if (!mapping) return;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping);
    const int perKey = mapping->keysyms_per_keycode;
    std::vector<uint8_t> numLockKeys;
    for (int k = 0; k < count; ++k) {
        for (int j = 0; j < perKey; ++j) {
            const xcb_keysym_t sym = syms[k * perKey + j];
            if (sym == kInsertKeysym) {
                keycodes_.push_back(static_cast<uint8_t>(first + k));
                break;
            }
            if (sym == kNumLockKeysym) numLockKeys.push_back(static_cast<uint8_t>(first + k));
        }
    }
    std::free(mapping);

    // NumLock sits on one of the Mod1-Mod5 modifiers; find which.
    xcb_get_modifier_mapping_reply_t* modifiers =
        xcb_get_modifier_mapping_reply(connection_, xcb_get_modifier_mapping(connection_), nullptr);
    if (!modifiers) return;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(modifiers);
    const int perModifier = modifiers->keycodes_per_modifier;
    for (int m = 0; m < 8 && !numLockMask_; ++m)
        for (int j = 0; j < perModifier; ++j)
            for (uint8_t key : numLockKeys)
                if (codes[m * perModifier + j] == key) numLockMask_ = static_cast<uint16_t>(1u << m);
    std::free(modifiers);
#endif
}

bool GlobalHotKey::grab()
{
#if VELMORA_HAVE_XCB
    if (!connection_ || keycodes_.empty()) return false;
    std::vector<xcb_void_cookie_t> cookies;
    for (uint8_t key : keycodes_)
        for (uint16_t modifiers : Modifiers(numLockMask_))
            cookies.push_back(xcb_grab_key_checked(connection_, 1, root_, modifiers, key, XCB_GRAB_MODE_ASYNC,
                                                   XCB_GRAB_MODE_ASYNC));
    // Another client holding a combination answers BadAccess; that combination stays theirs.
    bool plain = false;
    for (size_t i = 0; i < cookies.size(); ++i) {
        xcb_generic_error_t* error = xcb_request_check(connection_, cookies[i]);
        if (!error && i % Modifiers(numLockMask_).size() == 0) plain = true;
        std::free(error);
    }
    held_ = plain;
    // Without the key itself the lock variants alone would swallow it with CapsLock or
    // NumLock on; the whole key belongs to the other client.
    if (!held_) {
        for (uint8_t key : keycodes_)
            for (uint16_t modifiers : Modifiers(numLockMask_)) xcb_ungrab_key(connection_, key, root_, modifiers);
        xcb_flush(connection_);
    }
    return held_;
#else
    return false;
#endif
}

void GlobalHotKey::release()
{
#if VELMORA_HAVE_XCB
    if (!connection_ || !held_) return;
    for (uint8_t key : keycodes_)
        for (uint16_t modifiers : Modifiers(numLockMask_)) xcb_ungrab_key(connection_, key, root_, modifiers);
    xcb_flush(connection_);
    held_ = false;
#endif
}

bool GlobalHotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
#if VELMORA_HAVE_XCB
    if (!held_ || eventType != "xcb_generic_event_t") return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const uint8_t type = event->response_type & 0x7f;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return false;
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
    if (key->event != root_) return false;
    bool ours = false;
    for (uint8_t code : keycodes_) ours = ours || key->detail == code;
    const uint16_t state = key->state & ~(XCB_MOD_MASK_LOCK | numLockMask_) & 0xff;
    if (!ours || state != XCB_MOD_MASK_CONTROL) return false;
    if (type == XCB_KEY_PRESS && pressed_) pressed_();
    return true;
#else
    (void)eventType;
    (void)message;
    return false;
#endif
}

} // namespace velmora::ui
