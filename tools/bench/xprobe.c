/*
 * xprobe: starts one program on the X display and measures it from outside, with the X
 * server's own notifications instead of polling.
 *
 *   xprobe [--settle S] [--idle S] [--click X Y] -- program [arguments...]
 *
 * Before the program starts, xprobe listens on the root window for the creation and mapping
 * of top-level windows (SubstructureNotify; there is no window manager, so a top-level
 * window is a child of the root) and puts a DAMAGE monitor on each new window, so that
 * every drawing into it is reported. It then reports, on one line of key=value pairs:
 *
 *   map_ms        launch (just before fork) to the MapNotify of the first top-level window
 *   drawn_ms      launch to the last drawing into that window before 150 ms of quiet
 *   idle_cpu_pct  user+system CPU of the whole process (all threads) over --idle seconds,
 *                 taken after --settle seconds, in percent of one core
 *   idle_wakeups  voluntary context switches of all the process's threads over that idle
 *                 time: each is a thread that went to sleep, so each counts one wake-up
 *   idle_damage   drawing reports on any of the program's windows during that idle time
 *   box_map_ms    XTest press+release at (X, Y) of the window (a negative Y counts from the
 *                 window's bottom edge) to the MapNotify of the next top-level window
 *   box_drawn_ms  the same click to the last drawing into that new window before 150 ms of quiet
 *   hwm_kib       VmHWM of the process (peak resident memory) read just before it is ended
 *   maxrss_kib    ru_maxrss from wait4() after SIGTERM (the figure /usr/bin/time -v prints)
 *
 * Times come from CLOCK_MONOTONIC in this process; an X event is stamped when xprobe reads
 * it, which happens within microseconds because xprobe blocks in select() on the X
 * connection and does nothing else.
 */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>

#include <dirent.h>
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#define QUIET_MS 150.0
#define LIMIT_MS 30000.0

static Display *dpy;
static int damageEvent;
static pid_t child;

static double nowMs(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

static void fail(const char *what)
{
    fprintf(stderr, "xprobe: %s\n", what);
    if (child > 0)
        kill(child, SIGKILL);
    exit(1);
}

/* A window may be gone before its monitor is made: ignore such errors. */
static int ignoreErrors(Display *d, XErrorEvent *e)
{
    (void)d;
    (void)e;
    return 0;
}

/* Waits at most timeoutMs for the next X event; returns 0 on timeout. */
static int nextEvent(XEvent *ev, double timeoutMs)
{
    for (;;) {
        if (XPending(dpy)) {
            XNextEvent(dpy, ev);
            return 1;
        }
        if (timeoutMs <= 0)
            return 0;
        const int fd = ConnectionNumber(dpy);
        fd_set in;
        FD_ZERO(&in);
        FD_SET(fd, &in);
        struct timeval tv = {(time_t)(timeoutMs / 1e3), (suseconds_t)((long)timeoutMs % 1000 * 1000)};
        const double start = nowMs();
        const int n = select(fd + 1, &in, NULL, NULL, &tv);
        if (n < 0 && errno != EINTR)
            fail("select failed");
        timeoutMs -= nowMs() - start;
        if (n == 0 && !XPending(dpy))
            return 0;
    }
}

/* Handles the bookkeeping every event needs: a monitor on each new top-level window. */
static void watch(const XEvent *ev)
{
    if (ev->type == CreateNotify && !ev->xcreatewindow.override_redirect)
        XDamageCreate(dpy, ev->xcreatewindow.window, XDamageReportRawRectangles);
}

static int damages(const XEvent *ev, Window w)
{
    return ev->type == damageEvent + XDamageNotify && (w == None || ((XDamageNotifyEvent *)ev)->drawable == w);
}

/* Waits for the next top-level window to be mapped; returns it and stamps the time. */
static Window waitForMap(double *when)
{
    const double deadline = nowMs() + LIMIT_MS;
    XEvent ev;
    while (nextEvent(&ev, deadline - nowMs())) {
        watch(&ev);
        if (ev.type == MapNotify && !ev.xmap.override_redirect) {
            *when = nowMs();
            return ev.xmap.window;
        }
    }
    fail("no window was mapped within 30 s");
    return None;
}

/* The time of the last drawing into w before QUIET_MS without any. */
static double lastDrawing(Window w, double since)
{
    double last = since;
    const double deadline = nowMs() + LIMIT_MS;
    XEvent ev;
    while (nowMs() < deadline) {
        if (!nextEvent(&ev, last + QUIET_MS - nowMs())) {
            if (nowMs() >= last + QUIET_MS)
                return last;
            continue;
        }
        watch(&ev);
        if (damages(&ev, w))
            last = nowMs();
    }
    return -1; /* never quiet */
}

static long cpuTicks(pid_t pid)
{
    char path[64], buf[4096];
    snprintf(path, sizeof path, "/proc/%d/stat", (int)pid);
    FILE *f = fopen(path, "r");
    if (!f)
        fail("cannot read /proc/<pid>/stat");
    const size_t n = fread(buf, 1, sizeof buf - 1, f);
    fclose(f);
    buf[n] = 0;
    /* Fields after the command name (which may hold blanks) start after the last ')'. */
    const char *p = strrchr(buf, ')');
    unsigned long utime = 0, stime = 0;
    if (!p || sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime) != 2)
        fail("cannot parse /proc/<pid>/stat");
    return (long)(utime + stime);
}

/* A number of a /proc status file ("/proc/<pid>/status" or a thread's), -1 if missing. */
static long statusValue(const char *path, const char *key)
{
    char line[256];
    FILE *f = fopen(path, "r");
    long value = -1;
    if (!f)
        return -1;
    const size_t len = strlen(key);
    while (fgets(line, sizeof line, f))
        if (strncmp(line, key, len) == 0 && line[len] == ':')
            value = strtol(line + len + 1, NULL, 10);
    fclose(f);
    return value;
}

static long statusKib(pid_t pid, const char *key)
{
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
    return statusValue(path, key);
}

/* Voluntary context switches summed over the threads of the process. */
static long voluntarySwitches(pid_t pid)
{
    char path[300];
    snprintf(path, sizeof path, "/proc/%d/task", (int)pid);
    DIR *tasks = opendir(path);
    if (!tasks)
        fail("cannot read /proc/<pid>/task");
    long sum = 0;
    for (struct dirent *task; (task = readdir(tasks));) {
        if (task->d_name[0] == '.')
            continue;
        snprintf(path, sizeof path, "/proc/%d/task/%s/status", (int)pid, task->d_name);
        const long n = statusValue(path, "voluntary_ctxt_switches");
        if (n > 0)
            sum += n;
    }
    closedir(tasks);
    return sum;
}

int main(int argc, char **argv)
{
    double settle = 1, idle = 10;
    int clickX = 0, clickY = 0, click = 0;
    int i = 1;
    for (; i < argc && strcmp(argv[i], "--") != 0; ++i) {
        if (!strcmp(argv[i], "--settle") && i + 1 < argc)
            settle = atof(argv[++i]);
        else if (!strcmp(argv[i], "--idle") && i + 1 < argc)
            idle = atof(argv[++i]);
        else if (!strcmp(argv[i], "--click") && i + 2 < argc) {
            clickX = atoi(argv[++i]);
            clickY = atoi(argv[++i]);
            click = 1;
        } else {
            fprintf(stderr, "usage: xprobe [--settle S] [--idle S] [--click X Y] -- program [args...]\n");
            return 2;
        }
    }
    if (i + 1 >= argc)
        fail("no program given");
    char **program = argv + i + 1;

    dpy = XOpenDisplay(NULL);
    if (!dpy)
        fail("cannot open the display");
    XSetErrorHandler(ignoreErrors);
    int damageError, xtestEvent, xtestError, major, minor;
    if (!XDamageQueryExtension(dpy, &damageEvent, &damageError))
        fail("the X server has no DAMAGE extension");
    if (!XTestQueryExtension(dpy, &xtestEvent, &xtestError, &major, &minor))
        fail("the X server has no XTEST extension");
    const Window root = DefaultRootWindow(dpy);
    XSelectInput(dpy, root, SubstructureNotifyMask);
    XSync(dpy, False);

    const double launched = nowMs();
    child = fork();
    if (child < 0)
        fail("fork failed");
    if (child == 0) {
        execvp(program[0], program);
        perror(program[0]);
        _exit(127);
    }

    double mapped = 0;
    const Window window = waitForMap(&mapped);
    const double drawn = lastDrawing(window, mapped);

    /* Settle, then idle: count CPU time and every drawing the program does. */
    const double settleEnd = nowMs() + settle * 1e3;
    XEvent ev;
    while (nextEvent(&ev, settleEnd - nowMs()))
        watch(&ev);
    const long ticksBefore = cpuTicks(child);
    const long switchesBefore = voluntarySwitches(child);
    const double idleStart = nowMs();
    const double idleEnd = idleStart + idle * 1e3;
    int idleDamage = 0;
    while (nextEvent(&ev, idleEnd - nowMs())) {
        watch(&ev);
        if (damages(&ev, None))
            ++idleDamage;
    }
    const long ticksAfter = cpuTicks(child);
    const long idleWakeups = voluntarySwitches(child) - switchesBefore;
    const double idleMs = nowMs() - idleStart;
    const double idlePct = (double)(ticksAfter - ticksBefore) * 1e3 / (double)sysconf(_SC_CLK_TCK) / idleMs * 100.0;

    double boxMap = -1, boxDrawn = -1;
    if (click) {
        XWindowAttributes at;
        XGetWindowAttributes(dpy, window, &at);
        const int x = at.x + clickX;
        const int y = at.y + (clickY < 0 ? at.height + clickY : clickY);
        XTestFakeMotionEvent(dpy, -1, x, y, 0);
        XSync(dpy, False);
        /* Let the hover redraw pass, so that it is not taken for the box. */
        while (nextEvent(&ev, 300))
            watch(&ev);
        const double clicked = nowMs();
        XTestFakeButtonEvent(dpy, 1, True, 0);
        XTestFakeButtonEvent(dpy, 1, False, 0);
        XFlush(dpy);
        double boxMapped = 0;
        const Window box = waitForMap(&boxMapped);
        const double boxLast = lastDrawing(box, boxMapped);
        boxMap = boxMapped - clicked;
        boxDrawn = boxLast < 0 ? -1 : boxLast - clicked;
    }

    const long hwm = statusKib(child, "VmHWM");
    kill(child, SIGTERM);
    int status = 0;
    struct rusage usage;
    memset(&usage, 0, sizeof usage);
    const double killDeadline = nowMs() + 5000;
    pid_t done = 0;
    while ((done = wait4(child, &status, WNOHANG, &usage)) == 0 && nowMs() < killDeadline)
        usleep(10000);
    if (done == 0) {
        kill(child, SIGKILL);
        wait4(child, &status, 0, &usage);
    }
    child = 0;

    printf("map_ms=%.1f drawn_ms=%.1f idle_cpu_pct=%.3f idle_wakeups=%ld idle_damage=%d box_map_ms=%.1f box_drawn_ms=%.1f "
           "hwm_kib=%ld maxrss_kib=%ld\n",
           mapped - launched, drawn < 0 ? -1.0 : drawn - launched, idlePct, idleWakeups, idleDamage, boxMap, boxDrawn, hwm,
           usage.ru_maxrss);
    XCloseDisplay(dpy);
    return 0;
}
