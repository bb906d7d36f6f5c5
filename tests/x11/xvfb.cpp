// before the X11 headers, whose macros (None, Bool) would break it
#include <gtest/gtest.h>

#include "xvfb.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <X11/Xutil.h>

namespace quorvane::x11test {

namespace {

std::string serverDisplay;

class XvfbEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        // start: Xvfb writes the display number it took to our pipe
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_ = fork();
        ASSERT_GE(pid_, 0);
        if (pid_ == 0) {
            close(fds[0]);
            // quiet, and gone with us even if a test ends the process early
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            int null = open("/dev/null", O_RDWR);
            dup2(null, 1);
            dup2(null, 2);
            std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24",
                   "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number = readNumber(fds[0]);
        close(fds[0]);
        ASSERT_FALSE(number.empty())
            << "Xvfb did not start: the X11 tests need the xvfb package (Xvfb on the PATH)";
        serverDisplay = ":" + number;
        setenv("DISPLAY", serverDisplay.c_str(), 1);
    }

    void TearDown() override {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    static std::string readNumber(int fd) {
        std::string number;
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 15000) <= 0) return {};
            char c = 0;
            ssize_t n = read(fd, &c, 1);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0 || c == '\n') return number;
            number += c;
        }
    }

    pid_t pid_ = -1;
};

const auto* environment = ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

int shiftOf(unsigned long mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

} // namespace

const std::string& displayName() {
    return serverDisplay;
}

Connection::Connection() : display_(XOpenDisplay(serverDisplay.c_str())) {}

Connection::~Connection() {
    if (display_) XCloseDisplay(display_);
}

::Window makeHostWindow(Display* display, int x, int y, int width, int height) {
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = BlackPixel(display, DefaultScreen(display));
    ::Window window = XCreateWindow(display, DefaultRootWindow(display), x, y, unsigned(width),
                                    unsigned(height), 0, CopyFromParent, InputOutput,
                                    CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
    XMapWindow(display, window);
    XSync(display, False);
    return window;
}

raster::PixelBuffer grab(Display* display, ::Window window, int width, int height) {
    raster::PixelBuffer pixels(width, height);
    XImage* image =
        XGetImage(display, window, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image) return raster::PixelBuffer();
    int rs = shiftOf(image->red_mask);
    int gs = shiftOf(image->green_mask);
    int bs = shiftOf(image->blue_mask);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            unsigned long p = XGetPixel(image, x, y);
            pixels.set(x, y,
                       raster::rgb(uint32_t((p & image->red_mask) >> rs),
                                   uint32_t((p & image->green_mask) >> gs),
                                   uint32_t((p & image->blue_mask) >> bs)));
        }
    }
    XDestroyImage(image);
    return pixels;
}

bool waitFor(const std::function<bool()>& step, std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (step()) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void movePointer(Display* display, int x, int y) {
    XTestFakeMotionEvent(display, DefaultScreen(display), x, y, CurrentTime);
    XSync(display, False);
}

void pressButton(Display* display, unsigned button, bool down) {
    XTestFakeButtonEvent(display, button, down ? True : False, CurrentTime);
    XSync(display, False);
}

void pressKey(Display* display, unsigned long keysym, bool down) {
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, keysym), down ? True : False, CurrentTime);
    XSync(display, False);
}

void XTestHand::control(bool down) {
    pressKey(display_, XK_Control_L, down);
}

void XTestHand::wait(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

unsigned childCount(Display* display, ::Window window) {
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display, window, &root, &parent, &children, &count);
    if (children) XFree(children);
    return count;
}

int openDescriptors() {
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return -1;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') ++count;
    }
    closedir(dir);
    return count - 1; // the directory's own descriptor
}

} // namespace quorvane::x11test
