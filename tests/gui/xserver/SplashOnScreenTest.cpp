// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up as a user sees it: the workstation on a real X server with a window manager,
// the screen read back from the server while the start-up's pauses run.
#include "ProfileStoreFixture.h"
#include "Subprocess.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

// A display number nobody uses yet.
int freeDisplay() {
    for (int n = 150; n < 250; ++n)
        if (!std::filesystem::exists("/tmp/.X" + std::to_string(n) + "-lock") &&
            !std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n)))
            return n;
    throw std::runtime_error("no free X display number");
}

// Whether a window manager has taken the display: it names its check window on the root.
bool windowManagerRuns(const std::string& display) {
    Display* x = XOpenDisplay(display.c_str());
    if (!x)
        return false;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool runs =
        XGetWindowProperty(x, DefaultRootWindow(x),
                           XInternAtom(x, "_NET_SUPPORTING_WM_CHECK", False), 0, 1, False,
                           XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
        data && count == 1;
    if (data)
        XFree(data);
    XCloseDisplay(x);
    return runs;
}

struct SplashOnScreen : ProfileStoreFixture {
    void SetUp() override {
        ProfileStoreFixture::SetUp();
        copyProgramFolders({"Objects", "buttons", "Templates"});
        const int number = freeDisplay();
        display = ":" + std::to_string(number);
        server = std::make_unique<Subprocess>(
            "/usr/bin/Xvfb", std::vector<std::string>{display, "-screen", "0", screenSize(),
                                                      "-nolisten", "tcp", "-br"});
        const auto socket = "/tmp/.X11-unix/X" + std::to_string(number);
        for (int i = 0; i < 100 && !std::filesystem::exists(socket); ++i)
            std::this_thread::sleep_for(50ms);
        ASSERT_TRUE(std::filesystem::exists(socket)) << server->errorOutput();
        windowManager =
            std::make_unique<Subprocess>("/usr/bin/openbox", std::vector<std::string>{},
                                         std::map<std::string, std::string>{{"DISPLAY", display}});
        // The manager has taken the screen once it names itself on the root window.
        for (int i = 0; i < 100 && !windowManagerRuns(display); ++i)
            std::this_thread::sleep_for(50ms);
        std::this_thread::sleep_for(200ms);
    }
    void TearDown() override {
        workstation.reset();
        windowManager.reset();
        server.reset();
        ProfileStoreFixture::TearDown();
    }

    virtual std::string screenSize() const { return "1280x900x24"; }

    std::string display;
    std::unique_ptr<Subprocess> server, windowManager, workstation;
};

// Pixels in the middle of the screen, where the splash stands, that are not the black of the
// empty screen.
double paintedShare(const QImage& screen, QRect& middle) {
    middle = QRect(screen.width() / 2 - 200, screen.height() / 2 - 150, 400, 300);
    int painted = 0;
    for (int y = middle.top(); y <= middle.bottom(); ++y)
        for (int x = middle.left(); x <= middle.right(); ++x)
            painted += qGray(screen.pixel(x, y)) > 16 ? 1 : 0;
    return static_cast<double>(painted) / (middle.width() * middle.height());
}

} // namespace

TEST_F(SplashOnScreen, TheSplashIsPaintedAndItsProgressMovesDuringTheStartUp) {
    workstation = std::make_unique<Subprocess>(
        NEPHODAR_PROGRAM_DIR "/Nephodar",
        std::vector<std::string>{"--program-dir", temp_.path("program")},
        std::map<std::string, std::string>{{"DISPLAY", display}, {"QT_QPA_PLATFORM", "xcb"}});
    const auto started = std::chrono::steady_clock::now();

    setenv("DISPLAY", display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    int argc = 1;
    char name[] = "splash_on_screen_tests";
    char* argv[] = {name, nullptr};
    QGuiApplication reader(argc, argv);
    const auto grabAt = [&](std::chrono::milliseconds after) {
        std::this_thread::sleep_until(started + after);
        return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    };
    // The 17 steps take 8.5 s; these two fall in the middle of them.
    const QImage early = grabAt(3000ms);
    const QImage later = grabAt(5000ms);
    ASSERT_EQ(workstation->wait(0), -1) << "still starting\n" << workstation->errorOutput();

    QRect middle;
    EXPECT_GT(paintedShare(early, middle), 0.9) << "the splash is painted, not a black box";
    EXPECT_GT(paintedShare(later, middle), 0.9);
    int changed = 0;
    for (int y = middle.top(); y <= middle.bottom(); ++y)
        for (int x = middle.left(); x <= middle.right(); ++x)
            changed += early.pixel(x, y) != later.pixel(x, y) ? 1 : 0;
    EXPECT_GT(changed, 500) << "the progress bar moved between the steps";
}

namespace {

// A screen the size labs have, with the workstation on it.
struct WindowOnScreen : SplashOnScreen, testing::WithParamInterface<QSize> {
    std::string screenSize() const override {
        return std::to_string(GetParam().width()) + "x" + std::to_string(GetParam().height()) +
               "x24";
    }
};

// Where the window manager shows the top-level window of that name, frame included, as the X
// server has it; empty when there is none.
QRect framedWindow(const std::string& display, const std::string& name) {
    Display* x = XOpenDisplay(display.c_str());
    if (!x)
        return {};
    QRect found;
    std::vector<Window> pending{DefaultRootWindow(x)};
    while (!pending.empty() && found.isNull()) {
        const Window window = pending.back();
        pending.pop_back();
        char* title = nullptr;
        XWindowAttributes attributes;
        if (XFetchName(x, window, &title) && title && name == title &&
            XGetWindowAttributes(x, window, &attributes) && attributes.map_state == IsViewable) {
            int left = 0, top = 0;
            Window child = 0;
            XTranslateCoordinates(x, window, DefaultRootWindow(x), 0, 0, &left, &top, &child);
            // The frame's borders and title bar, as the window manager reports them.
            long extents[4] = {0, 0, 0, 0};
            Atom type = 0;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(x, window, XInternAtom(x, "_NET_FRAME_EXTENTS", False), 0, 4,
                                   False, XA_CARDINAL, &type, &format, &count, &after,
                                   &data) == Success &&
                data && count == 4) {
                for (int i = 0; i < 4; ++i)
                    extents[i] = reinterpret_cast<long*>(data)[i];
            }
            if (data)
                XFree(data);
            found = QRect(left - static_cast<int>(extents[0]), top - static_cast<int>(extents[2]),
                          attributes.width + static_cast<int>(extents[0] + extents[1]),
                          attributes.height + static_cast<int>(extents[2] + extents[3]));
        }
        if (title)
            XFree(title);
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int n = 0;
        if (XQueryTree(x, window, &root, &parent, &children, &n)) {
            pending.insert(pending.end(), children, children + n);
            if (children)
                XFree(children);
        }
    }
    XCloseDisplay(x);
    return found;
}

} // namespace

// The main window opens wholly on the screen, its close box and Connect included.
TEST_P(WindowOnScreen, TheMainWindowOpensWhollyOnTheScreen) {
    workstation = std::make_unique<Subprocess>(
        NEPHODAR_PROGRAM_DIR "/Nephodar",
        std::vector<std::string>{"--program-dir", temp_.path("program")},
        std::map<std::string, std::string>{{"DISPLAY", display}, {"QT_QPA_PLATFORM", "xcb"}});
    const QRect screen(QPoint(0, 0), GetParam());
    QRect window, before;
    // It is shown before the start-up's steps begin; on a busy machine the window manager may
    // frame and place it a moment after it appears, so its place counts once it holds still.
    for (int i = 0; i < 100 && (window.isNull() || window != before); ++i) {
        std::this_thread::sleep_for(100ms);
        before = window;
        window = framedWindow(display, "Nephodar v2.0");
    }
    ASSERT_FALSE(window.isNull()) << workstation->errorOutput();
    EXPECT_TRUE(screen.contains(window))
        << window.x() << "," << window.y() << " " << window.width() << "x" << window.height();
}

INSTANTIATE_TEST_SUITE_P(Screens, WindowOnScreen,
                         testing::Values(QSize(1024, 768), QSize(1920, 1080)),
                         [](const testing::TestParamInfo<QSize>& paramInfo) {
                             return std::to_string(paramInfo.param.width()) + "x" +
                                    std::to_string(paramInfo.param.height());
                         });
