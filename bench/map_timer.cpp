// map_timer: starts a program and prints how many milliseconds after its start its first
// top-level window was mapped on the X server (the MapNotify the server sends to the root
// window's watchers), then ends the program with SIGTERM.
//
//   map_timer [--timeout SECONDS] PROGRAM [ARGUMENTS...]   prints e.g. "153.2"
//
// Windows that bypass the window manager (menus, tool tips) are not counted; a window counts
// when its _NET_WM_PID is the program's. Exit status 1 when no window came in time.
#include <xcb/xcb.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

double now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

xcb_atom_t atom(xcb_connection_t* x, const char* name)
{
    const auto cookie = xcb_intern_atom(x, 0, static_cast<uint16_t>(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(xcb_intern_atom_reply(x, cookie, nullptr),
                                                                          &std::free);
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// The process id a window names as its owner, or -1.
long windowPid(xcb_connection_t* x, xcb_window_t w, xcb_atom_t pidAtom)
{
    const auto cookie = xcb_get_property(x, 0, w, pidAtom, XCB_ATOM_CARDINAL, 0, 1);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(xcb_get_property_reply(x, cookie, nullptr),
                                                                           &std::free);
    if (!reply || xcb_get_property_value_length(reply.get()) < 4) return -1;
    return static_cast<long>(*static_cast<uint32_t*>(xcb_get_property_value(reply.get())));
}

} // namespace

int main(int argc, char** argv)
{
    int first = 1;
    double timeout = 30;
    if (argc > 2 && std::strcmp(argv[1], "--timeout") == 0) {
        timeout = std::atof(argv[2]);
        first = 3;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: map_timer [--timeout SECONDS] PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    // A server busy with the previous round's program going away may refuse a connection
    // for a moment; a few tries before giving up.
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    for (int attempt = 1; xcb_connection_has_error(x) && attempt < 20; ++attempt) {
        xcb_disconnect(x);
        usleep(50 * 1000);
        x = xcb_connect(nullptr, nullptr);
    }
    if (const int error = xcb_connection_has_error(x)) {
        std::fprintf(stderr, "map_timer: no X server (connection error %d)\n", error);
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t pidAtom = atom(x, "_NET_WM_PID"); // a round trip: the mask is in place

    const double start = now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[first], argv + first);
        std::perror(argv[first]);
        _exit(127);
    }
    int status = 1;
    const double deadline = start + timeout * 1e3;
    pollfd fd{xcb_get_file_descriptor(x), POLLIN, 0};
    while (now() < deadline) {
        xcb_generic_event_t* e = xcb_poll_for_event(x);
        if (!e) {
            if (xcb_connection_has_error(x)) break;
            poll(&fd, 1, 10);
            continue;
        }
        std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(e, &std::free);
        if ((e->response_type & 0x7f) != XCB_MAP_NOTIFY) continue;
        const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(e);
        if (map->override_redirect) continue;
        const double mapped = now();
        if (windowPid(x, map->window, pidAtom) != child) continue;
        std::printf("%.1f\n", mapped - start);
        status = 0;
        break;
    }
    if (status != 0) std::fprintf(stderr, "map_timer: no window of %s within %g s\n", argv[first], timeout);
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    xcb_disconnect(x);
    return status;
}
