/*
 * x11_embed_probe: finds a plug-in's editor inside a host's window and uses it
 * as a user would.
 *
 *   x11_embed_probe --pid PID --size WxH [--drag X,Y,DX,DY] [--ppm FILE] [--timeout-s S]
 *
 * Waits for a top-level window of process PID (_NET_WM_PID), then for a
 * viewable window of the editor's size somewhere below it (the deepest one, so
 * the editor itself rather than a host's socket of the same size around it).
 * Found there, the editor is part of the host's window: it prints the chain of
 * windows from the editor up to the root. It counts the editor's colours (one
 * colour: nothing drawn), saves its pixels with --ppm, and with --drag presses
 * button 1 at X,Y inside the editor, moves by DX,DY in ten steps and releases,
 * through XTest.
 *
 * Prints key=value lines. Exit: 0 found, 1 not found in time, 2 usage or X error.
 */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <getopt.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static unsigned long g_pid;
static int g_width, g_height;

static double now_s(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

static void sleep_ms(long ms)
{
    const struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&ts, NULL);
}

/* Windows come and go while the tree is walked. */
static int ignore_errors(Display* display, XErrorEvent* event)
{
    (void)display;
    (void)event;
    return 0;
}

static unsigned long window_pid(Display* d, Window w)
{
    const Atom pid_atom = XInternAtom(d, "_NET_WM_PID", False);
    Atom type;
    int format;
    unsigned long n, after, pid = 0;
    unsigned char* data = NULL;
    if (XGetWindowProperty(d, w, pid_atom, 0, 1, False, XA_CARDINAL, &type, &format, &n, &after, &data) == Success
        && data && n == 1 && format == 32)
        pid = *(unsigned long*)(void*)data;
    if (data)
        XFree(data);
    return pid;
}

static int viewable(Display* d, Window w, XWindowAttributes* a)
{
    return XGetWindowAttributes(d, w, a) && a->map_state == IsViewable;
}

/* The deepest viewable window of the editor's size in the tree below `w`. */
static Window find_editor(Display* d, Window w, int depth, int* found_depth)
{
    Window root, parent, *kids = NULL, best = 0;
    unsigned n = 0;
    XWindowAttributes a;
    *found_depth = -1;
    if (viewable(d, w, &a) && a.width == g_width && a.height == g_height) {
        best = w;
        *found_depth = depth;
    }
    if (XQueryTree(d, w, &root, &parent, &kids, &n)) {
        for (unsigned i = 0; i < n; ++i) {
            int kid_depth;
            const Window k = find_editor(d, kids[i], depth + 1, &kid_depth);
            if (k && kid_depth > *found_depth) {
                best = k;
                *found_depth = kid_depth;
            }
        }
        if (kids)
            XFree(kids);
    }
    return best;
}

static Window find_host_window(Display* d)
{
    Window root, parent, *kids = NULL, top = 0;
    unsigned n = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &kids, &n))
        return 0;
    for (unsigned i = n; i-- > 0 && !top;) {
        XWindowAttributes a;
        if (viewable(d, kids[i], &a) && window_pid(d, kids[i]) == g_pid)
            top = kids[i];
    }
    if (kids)
        XFree(kids);
    return top;
}

static void print_ancestry(Display* d, Window w)
{
    printf("ancestry=");
    for (int i = 0; w && i < 32; ++i) {
        Window root, parent, *kids = NULL;
        unsigned n;
        printf("%s0x%lx", i ? "<" : "", w);
        if (!XQueryTree(d, w, &root, &parent, &kids, &n))
            break;
        if (kids)
            XFree(kids);
        if (w == root)
            break;
        w = parent;
    }
    printf("\n");
}

/* The number of the editor's colours (up to 4096); its pixels go to `path` if given. */
static int picture(Display* d, Window w, const char* path)
{
    XImage* image = XGetImage(d, w, 0, 0, (unsigned)g_width, (unsigned)g_height, AllPlanes, ZPixmap);
    if (!image)
        return 0;
    FILE* f = path ? fopen(path, "wb") : NULL;
    if (f)
        fprintf(f, "P6\n%d %d\n255\n", g_width, g_height);
    enum { kMaxColours = 4096 };
    static unsigned long seen[kMaxColours];
    int distinct = 0;
    for (int y = 0; y < g_height; ++y) {
        for (int x = 0; x < g_width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            if (f) {
                const unsigned char rgb[3] = {(unsigned char)(p >> 16), (unsigned char)(p >> 8), (unsigned char)p};
                fwrite(rgb, 1, 3, f);
            }
            int known = 0;
            for (int i = 0; i < distinct && !known; ++i)
                known = seen[i] == p;
            if (!known && distinct < kMaxColours)
                seen[distinct++] = p;
        }
    }
    XDestroyImage(image);
    if (f)
        fclose(f);
    return distinct;
}

static void drag(Display* d, int x, int y, int dx, int dy)
{
    XTestFakeMotionEvent(d, -1, x, y, 0);
    XSync(d, False);
    sleep_ms(50);
    XTestFakeButtonEvent(d, 1, True, 0);
    XSync(d, False);
    sleep_ms(50);
    for (int i = 1; i <= 10; ++i) {
        XTestFakeMotionEvent(d, -1, x + dx * i / 10, y + dy * i / 10, 0);
        XSync(d, False);
        sleep_ms(30);
    }
    XTestFakeButtonEvent(d, 1, False, 0);
    XSync(d, False);
    printf("dragged=%d,%d->%d,%d\n", x, y, x + dx, y + dy);
}

int main(int argc, char** argv)
{
    const char* ppm = NULL;
    double timeout_s = 15;
    int dragging = 0, x0 = 0, y0 = 0, dx = 0, dy = 0;
    static const struct option opts[] = {{"pid", 1, 0, 'p'}, {"size", 1, 0, 's'}, {"drag", 1, 0, 'd'},
                                         {"ppm", 1, 0, 'o'}, {"timeout-s", 1, 0, 't'}, {0, 0, 0, 0}};
    for (int o; (o = getopt_long(argc, argv, "", opts, NULL)) != -1;) {
        switch (o) {
        case 'p': g_pid = strtoul(optarg, NULL, 10); break;
        case 's': if (sscanf(optarg, "%dx%d", &g_width, &g_height) != 2) g_width = 0; break;
        case 'd': dragging = sscanf(optarg, "%d,%d,%d,%d", &x0, &y0, &dx, &dy) == 4 ? 1 : -1; break;
        case 'o': ppm = optarg; break;
        case 't': timeout_s = atof(optarg); break;
        default: g_pid = 0; break;
        }
    }
    if (!g_pid || g_width <= 0 || g_height <= 0 || dragging < 0) {
        fprintf(stderr, "usage: %s --pid PID --size WxH [--drag X,Y,DX,DY] [--ppm FILE] [--timeout-s S]\n", argv[0]);
        return 2;
    }
    Display* d = XOpenDisplay(NULL);
    if (!d) {
        fprintf(stderr, "error: cannot open display '%s'\n", getenv("DISPLAY") ? getenv("DISPLAY") : "");
        return 2;
    }
    XSetErrorHandler(ignore_errors);
    int event_base, error_base, major, minor;
    if (dragging && !XTestQueryExtension(d, &event_base, &error_base, &major, &minor)) {
        fprintf(stderr, "error: the X server has no XTEST extension\n");
        return 2;
    }

    const double t0 = now_s();
    Window host = 0, editor = 0;
    while (!editor && now_s() - t0 < timeout_s) {
        int depth;
        host = find_host_window(d);
        editor = host ? find_editor(d, host, 0, &depth) : 0;
        if (editor == host) /* the host's own window is no editor inside it */
            editor = 0;
        if (!editor)
            sleep_ms(100);
    }
    printf("wait_s=%.2f\n", now_s() - t0);
    if (!host) {
        printf("problem=process %lu shows no window\n", g_pid);
        return 1;
    }
    printf("host_window=0x%lx\n", host);
    if (!editor) {
        printf("problem=no %dx%d window inside the host's window\n", g_width, g_height);
        return 1;
    }
    int x, y;
    Window child;
    XTranslateCoordinates(d, editor, DefaultRootWindow(d), 0, 0, &x, &y, &child);
    printf("editor_window=0x%lx\neditor_at=%d,%d\n", editor, x, y);
    print_ancestry(d, editor);
    /* A window is mapped before it is first drawn. */
    int colours;
    while ((colours = picture(d, editor, NULL)) <= 1 && now_s() - t0 < timeout_s)
        sleep_ms(100);
    if (ppm)
        picture(d, editor, ppm);
    printf("distinct_colours=%d\n", colours);
    if (dragging)
        drag(d, x + x0, y + y0, dx, dy);
    XCloseDisplay(d);
    return 0;
}
