/* Starts a program under an X server and reports how long it took until its first top-level
 * window was mapped, then its peak memory once it has sat idle for a second.
 *   map_timer PROGRAM ARGS...     prints "map_seconds <s>" and "peak_rss_kb <kB>"
 * Needs a bare X server (no window manager), such as Xvfb: top-level maps reach the root. */
#define _GNU_SOURCE
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <xcb/xcb.h>

static double now(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static long peak_rss_kb(pid_t pid)
{
    char path[64], line[256];
    long kb = -1;
    snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
    FILE* f = fopen(path, "r");
    if (!f)
        return -1;
    while (fgets(line, sizeof line, f))
        if (strncmp(line, "VmHWM:", 6) == 0)
            kb = strtol(line + 6, NULL, 10);
    fclose(f);
    return kb;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s PROGRAM ARGS...\n", argv[0]);
        return 2;
    }
    xcb_connection_t* c = xcb_connect(NULL, NULL);
    if (xcb_connection_has_error(c)) {
        fprintf(stderr, "no X server\n");
        return 1;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);

    const double start = now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    double mapped = -1;
    xcb_generic_event_t* event;
    while (mapped < 0 && (event = xcb_wait_for_event(c))) {
        if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
            const xcb_map_notify_event_t* map = (const xcb_map_notify_event_t*)event;
            if (!map->override_redirect)
                mapped = now() - start;
        }
        free(event);
    }
    sleep(1);
    const long rss = peak_rss_kb(pid);
    kill(pid, SIGTERM);
    waitpid(pid, NULL, 0);
    xcb_disconnect(c);
    printf("map_seconds %.6f\npeak_rss_kb %ld\n", mapped, rss);
    return mapped < 0 ? 1 : 0;
}
