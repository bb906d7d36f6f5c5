// Drag and drop into the window from a test XDND source on another connection.

// before the X11 headers, whose macros (None, Bool) would break it
#include <gtest/gtest.h>

#include "gui/platform/x11/x11dndtarget.h"
#include "gui/platform/x11/x11window.h"
#include "xvfb.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include <X11/keysym.h>
#include <X11/Xatom.h>

namespace quorvane::x11test {

namespace {

namespace fs = std::filesystem;

struct Drop {
    std::vector<std::string> items;
    int32_t count;
    int32_t type;
    platform::Point where;
};

class DropRecorder : public platform::WindowEvents {
public:
    void onPaint(platform::Device&, const platform::Rect&) override {}
    void onButtonDown(platform::Point, int32_t) override {}
    bool onDrop(void** items, int32_t count, int32_t type, platform::Point where) override {
        Drop drop{{}, count, type, where};
        if (type == x11::kDropText)
            drop.items.emplace_back(static_cast<const char*>(items[0]), size_t(count));
        else
            for (int32_t i = 0; i < count; i++)
                drop.items.emplace_back(static_cast<const char*>(items[i]));
        drops.push_back(drop);
        return false;
    }
    std::vector<Drop> drops;
};

// The dragging application: offers types and one block of data, answers the target's data
// request and collects its status and finished messages.
class DragSource {
public:
    DragSource(Display* display, ::Window target, std::vector<std::string> types, std::string data)
        : display_(display), target_(target), data_(std::move(data)) {
        window_ = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
        for (const std::string& t : types)
            types_.push_back(atom(t.c_str()));
        XChangeProperty(display, window_, atom("XdndTypeList"), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(types_.data()), int(types_.size()));
        XSetSelectionOwner(display, atom("XdndSelection"), window_, CurrentTime);
        XSync(display, False);
    }
    ~DragSource() { XDestroyWindow(display_, window_); }

    void enter() {
        long more = types_.size() > 3 ? 1 : 0;
        long t[3] = {};
        for (size_t i = 0; i < 3 && i < types_.size(); i++)
            t[i] = long(types_[i]);
        send("XdndEnter", (5L << 24) | more, t[0], t[1], t[2]);
    }
    void position(int rootX, int rootY) {
        status = -1;
        send("XdndPosition", 0, (long(rootX) << 16) | rootY, CurrentTime,
             long(atom("XdndActionCopy")));
    }
    void drop() { send("XdndDrop", 0, CurrentTime, 0, 0); }
    void leave() { send("XdndLeave", 0, 0, 0, 0); }

    // Handles whatever reached the source.
    void pump() {
        while (XPending(display_) > 0) {
            XEvent e;
            XNextEvent(display_, &e);
            if (e.type == SelectionRequest) answer(e.xselectionrequest);
            if (e.type != ClientMessage) continue;
            if (e.xclient.message_type == atom("XdndStatus")) {
                status = e.xclient.data.l[1] & 1;
                statusAction = Atom(e.xclient.data.l[4]);
            } else if (e.xclient.message_type == atom("XdndFinished")) {
                finished = int(e.xclient.data.l[1] & 1);
            }
        }
    }

    Atom atom(const char* name) const { return XInternAtom(display_, name, False); }

    int status = -1;
    Atom statusAction = None;
    int finished = -1;

private:
    void send(const char* type, long l1, long l2, long l3, long l4) {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = target_;
        e.xclient.message_type = atom(type);
        e.xclient.format = 32;
        e.xclient.data.l[0] = long(window_);
        e.xclient.data.l[1] = l1;
        e.xclient.data.l[2] = l2;
        e.xclient.data.l[3] = l3;
        e.xclient.data.l[4] = l4;
        XSendEvent(display_, target_, False, NoEventMask, &e);
        XSync(display_, False);
    }
    void answer(const XSelectionRequestEvent& request) {
        XEvent reply{};
        reply.xselection.type = SelectionNotify;
        reply.xselection.requestor = request.requestor;
        reply.xselection.selection = request.selection;
        reply.xselection.target = request.target;
        reply.xselection.time = request.time;
        reply.xselection.property = None;
        for (Atom t : types_) {
            if (t != request.target) continue;
            XChangeProperty(display_, request.requestor, request.property, request.target, 8,
                            PropModeReplace, reinterpret_cast<const unsigned char*>(data_.data()),
                            int(data_.size()));
            reply.xselection.property = request.property;
        }
        XSendEvent(display_, request.requestor, False, NoEventMask, &reply);
        XSync(display_, False);
    }

    Display* display_;
    ::Window target_;
    ::Window window_;
    std::vector<Atom> types_;
    std::string data_;
};

class X11DropTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent = makeHostWindow(host, 30, 40, 900, 202);
        window = platform::createChildWindow(reinterpret_cast<void*>(uintptr_t(parent)), 900, 202,
                                             &events);
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(window->setDropEnabled(true));
        target = static_cast<x11::X11Window*>(window.get())->id();
    }
    void TearDown() override {
        window.reset();
        XDestroyWindow(host, parent);
        XSync(host, False);
    }
    // Lets both sides talk until the source has a status answer.
    bool statusArrives(DragSource& source) {
        return waitFor([&] {
            window->dispatchPendingEvents();
            source.pump();
            return source.status >= 0;
        });
    }
    // Drops and lets both sides talk until the source hears that the drop is finished.
    bool dropFinishes(DragSource& source) {
        source.drop();
        return waitFor([&] {
            window->dispatchPendingEvents();
            source.pump();
            return source.finished >= 0;
        });
    }

    Connection host;
    ::Window parent = 0;
    ::Window target = 0;
    DropRecorder events;
    std::unique_ptr<platform::Window> window;
};

} // namespace

TEST_F(X11DropTest, AnnouncesItselfOnlyWhileDropsAreEnabled) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Atom aware = XInternAtom(host, "XdndAware", False);
    XGetWindowProperty(host, target, aware, 0, 1, False, XA_ATOM, &type, &format, &count, &after,
                       &data);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(*reinterpret_cast<Atom*>(data), Atom(x11::DndTarget::kVersion));
    XFree(data);
    data = nullptr;
    ASSERT_TRUE(window->setDropEnabled(false));
    XGetWindowProperty(host, target, aware, 0, 1, False, XA_ATOM, &type, &format, &count, &after,
                       &data);
    EXPECT_EQ(type, Atom(None));
    if (data) XFree(data);
}

TEST_F(X11DropTest, PositionsAnswerMoveOrWithCtrlCopyAndRefuseOtherData) {
    DragSource files(host, target, {"text/uri-list"}, "file:///tmp/a\r\n");
    files.enter();
    files.position(100, 100);
    ASSERT_TRUE(statusArrives(files));
    EXPECT_EQ(files.status, 1);
    EXPECT_EQ(files.statusAction, files.atom("XdndActionMove"));
    pressKey(host, XK_Control_L, true);
    files.position(110, 100);
    ASSERT_TRUE(statusArrives(files));
    pressKey(host, XK_Control_L, false);
    EXPECT_EQ(files.status, 1);
    EXPECT_EQ(files.statusAction, files.atom("XdndActionCopy"));
    files.leave();

    DragSource image(host, target, {"image/png", "application/octet-stream"}, "PNG");
    image.enter();
    image.position(100, 100);
    ASSERT_TRUE(statusArrives(image));
    EXPECT_EQ(image.status, 0);
    EXPECT_EQ(image.statusAction, Atom(None));
    ASSERT_TRUE(dropFinishes(image));
    EXPECT_EQ(image.finished, 0);
    EXPECT_TRUE(events.drops.empty());
}

TEST_F(X11DropTest, FileListArrivesAsDecodedPathsWithLinksResolvedAndLongPathsSkipped) {
    // files: a plain one with a space in its name, a link to another, and a path too long
    fs::path dir = fs::temp_directory_path() / ("quorvane-dnd-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "a b.txt") << "a";
    std::ofstream(dir / "target.txt") << "t";
    fs::create_symlink(dir / "target.txt", dir / "link.txt");
    std::string longPath = "/" + std::string(1100, 'x');
    std::string list = "# dragged\r\nfile://" + (dir / "a%20b.txt").string() + "\r\nfile://" +
                       longPath + "\r\nfile://localhost" + (dir / "link.txt").string() +
                       "\r\nhttp://example.invalid/x\r\n";

    DragSource source(host, target, {"text/plain", "text/uri-list"}, list);
    source.enter();
    source.position(30 + 200, 40 + 60);
    ASSERT_TRUE(statusArrives(source));
    ASSERT_TRUE(dropFinishes(source));
    EXPECT_EQ(source.finished, 1);
    ASSERT_EQ(events.drops.size(), 1u);
    const Drop& drop = events.drops[0];
    EXPECT_EQ(drop.type, x11::kDropFiles);
    EXPECT_EQ(drop.count, 2);
    ASSERT_EQ(drop.items.size(), 2u);
    EXPECT_EQ(drop.items[0], (dir / "a b.txt").string());
    EXPECT_EQ(drop.items[1], fs::canonical(dir / "target.txt").string());
    EXPECT_EQ(drop.where.x, 200);
    EXPECT_EQ(drop.where.y, 60);
    fs::remove_all(dir);
}

TEST_F(X11DropTest, AFileListWithoutOneUsablePathNeverReachesTheOwner) {
    const std::string lists[] = {
        "# only a comment\r\n",
        "http://example.invalid/a\r\nftp://example.invalid/b\r\n",
        "file:///" + std::string(1100, 'x') + "\r\n",
        "file://elsewhere.invalid/tmp/a\r\n",
    };
    for (const std::string& list : lists) {
        DragSource source(host, target, {"text/uri-list"}, list);
        source.enter();
        source.position(100, 100);
        ASSERT_TRUE(statusArrives(source));
        ASSERT_TRUE(dropFinishes(source));
        EXPECT_EQ(source.finished, 0) << list.substr(0, 40);
        EXPECT_TRUE(events.drops.empty()) << list.substr(0, 40);
        events.drops.clear();
    }
}

TEST_F(X11DropTest, TextArrivesAsOneItemWithItsByteCount) {
    const std::string text = "ducking \xC3\xBC"
                             "ber alles";
    DragSource source(host, target, {"text/plain"}, text);
    source.enter();
    source.position(30 + 5, 40 + 6);
    ASSERT_TRUE(statusArrives(source));
    ASSERT_TRUE(dropFinishes(source));
    ASSERT_EQ(events.drops.size(), 1u);
    EXPECT_EQ(events.drops[0].type, x11::kDropText);
    EXPECT_EQ(events.drops[0].count, int32_t(text.size()));
    EXPECT_EQ(events.drops[0].items[0], text);
    EXPECT_EQ(events.drops[0].where.x, 5);
    EXPECT_EQ(events.drops[0].where.y, 6);
}

TEST_F(X11DropTest, TypesBeyondTheFirstThreeAreReadFromTheSourcesList) {
    DragSource source(host, target, {"image/png", "x-a", "x-b", "text/plain"}, "late");
    source.enter();
    source.position(100, 100);
    ASSERT_TRUE(statusArrives(source));
    EXPECT_EQ(source.status, 1);
    ASSERT_TRUE(dropFinishes(source));
    ASSERT_EQ(events.drops.size(), 1u);
    EXPECT_EQ(events.drops[0].items[0], "late");
}

TEST_F(X11DropTest, NothingIsTakenWhileDropsAreDisabled) {
    ASSERT_TRUE(window->setDropEnabled(false));
    DragSource source(host, target, {"text/plain"}, "no");
    source.enter();
    source.position(100, 100);
    EXPECT_FALSE(waitFor(
        [&] {
            window->dispatchPendingEvents();
            source.pump();
            return source.status >= 0;
        },
        std::chrono::milliseconds(200)));
    EXPECT_TRUE(events.drops.empty());
}

} // namespace quorvane::x11test
