// Starts a program and reports when its first top-level window becomes viewable, without
// loading the machine while it starts: it waits for the X server's map events instead of asking
// for the window again and again.
//
//   qm-window-shown TIMEOUT-MS PROGRAM [ARGUMENTS...]
//
// Prints "<pid> <milliseconds>" and leaves the program running, its output going to our
// standard error. A window counts as the
// program's when it, or a window under it (a window manager's frame holds the client), carries
// the program's _NET_WM_PID. Exit status: 0 shown, 1 not within the timeout or the program
// ended, 2 no display or the program could not start.
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

template<typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template<typename T>
Reply<T> owned(T *reply)
{
    return Reply<T>(reply, &std::free);
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    const auto reply = owned(xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, std::uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::optional<std::uint32_t> windowPid(xcb_connection_t *c, xcb_window_t w, xcb_atom_t pidAtom)
{
    const auto reply = owned(xcb_get_property_reply(c, xcb_get_property(c, 0, w, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    if (!reply || xcb_get_property_value_length(reply.get()) != 4)
        return std::nullopt;
    return *static_cast<const std::uint32_t *>(xcb_get_property_value(reply.get()));
}

// Whether the window or one under it (two levels: a frame and its client) is the program's.
bool isProgramWindow(xcb_connection_t *c, xcb_window_t w, xcb_atom_t pidAtom, pid_t pid, int depth = 0)
{
    if (windowPid(c, w, pidAtom) == std::uint32_t(pid))
        return true;
    if (depth == 2)
        return false;
    const auto tree = owned(xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr));
    if (!tree)
        return false;
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
        if (isProgramWindow(c, children[i], pidAtom, pid, depth + 1))
            return true;
    return false;
}

bool programEnded(pid_t pid)
{
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == pid;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fputs("usage: qm-window-shown TIMEOUT-MS PROGRAM [ARGUMENTS...]\n", stderr);
        return 2;
    }
    const auto timeout = std::chrono::milliseconds(std::atol(argv[1]));
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fputs("qm-window-shown: no X display\n", stderr);
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t pidAtom = atom(c, "_NET_WM_PID");
    xcb_flush(c);

    const auto start = std::chrono::steady_clock::now();
    // The program writes to our standard error: our output is read until it closes.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[2], &actions, nullptr, argv + 2, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "qm-window-shown: %s did not start\n", argv[2]);
        return 2;
    }
    pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
    while (std::chrono::steady_clock::now() - start < timeout) {
        while (const auto event = owned(xcb_poll_for_event(c))) {
            if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY)
                continue;
            const auto *map = reinterpret_cast<const xcb_map_notify_event_t *>(event.get());
            const auto shown = std::chrono::steady_clock::now();
            if (!isProgramWindow(c, map->window, pidAtom, pid))
                continue;
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(shown - start).count();
            std::printf("%d %lld\n", int(pid), static_cast<long long>(ms));
            xcb_disconnect(c);
            return 0;
        }
        if (xcb_connection_has_error(c) || programEnded(pid))
            break;
        poll(&fd, 1, 50);
    }
    std::printf("%d -1\n", int(pid));
    xcb_disconnect(c);
    return 1;
}
