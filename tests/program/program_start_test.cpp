// Keyscry as it starts and runs: the built executable under Wine, its window
// (where it stands, what start-up gives it and its About box), the
// single-instance guard, typing into it and the ways it ends.
#include <gtest/gtest.h>

#include "app/app.h"
#include "app/app_state.h"
#include "support/keyscry_numbers.h"
#include "support/keyscry_texts.h"
#include "support/message_boxes.h"
#include "support/other_process.h"
#include "support/window_harness.h"

namespace {

// Answers the warning of a start that found another instance; returns its
// exit code. Its style and owner are checked in StartUp.AnotherInstance*.
DWORD ConfirmAlreadyRunning(StartedProgram& second) {
    HWND box = WaitForReadyBox(second);
    if (!box)
        return STILL_ACTIVE;
    EXPECT_EQ(WindowTextOf(box), AlreadyRunningCaption);
    EXPECT_EQ(WindowTextOf(GetDlgItem(box, MessageBoxTextId)), AlreadyRunningText);
    EXPECT_EQ(WaitForExit(second, 0), STILL_ACTIVE); // it waits for the answer
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return WaitForExit(second, Patience);
}

class RunningKeyscry : public testing::Test {
  protected:
    void SetUp() override {
        keyscry = StartKeyscry();
        ASSERT_TRUE(keyscry.process);
        window = WaitForShownKeyscryWindow(keyscry);
        ASSERT_TRUE(window);
    }
    void TearDown() override {
        EndProgram(keyscry);
    }
    StartedProgram keyscry;
    HWND window = nullptr;
};

TEST_F(RunningKeyscry, WindowIsCentredFixedInSizeAndOnTop) {
    RECT bounds;
    GetWindowRect(window, &bounds);
    EXPECT_EQ(bounds.left, GetSystemMetrics(SM_CXSCREEN) / 2 - 322);
    EXPECT_EQ(bounds.top, GetSystemMetrics(SM_CYSCREEN) / 2 - 215);
    EXPECT_EQ(bounds.right - bounds.left, 645);
    EXPECT_EQ(bounds.bottom - bounds.top, 430);

    const std::pair<DWORD, bool> styles[] = {
        {WS_CAPTION, true},      {WS_SYSMENU, true}, {WS_MINIMIZEBOX, true}, {WS_THICKFRAME, false},
        {WS_MAXIMIZEBOX, false}, {WS_CHILD, false},  {WS_POPUP, false},
    };
    DWORD style = GetWindowLongA(window, GWL_STYLE);
    for (const auto& [bit, present] : styles)
        EXPECT_EQ((style & bit) == bit, present) << std::hex << "bit 0x" << bit;
    DWORD extendedStyle = GetWindowLongA(window, GWL_EXSTYLE);
    EXPECT_TRUE(extendedStyle & WS_EX_TOPMOST);
    EXPECT_TRUE(extendedStyle & WS_EX_ACCEPTFILES);
}

TEST_F(RunningKeyscry, SecondStartWarnsAndEndsWithOneWhileTheFirstRunsOn) {
    StartedProgram second = StartKeyscry();
    ASSERT_TRUE(second.process);
    EXPECT_EQ(ConfirmAlreadyRunning(second), 1u);
    EXPECT_FALSE(WaitForKeyscryWindow(second, 0));
    EndProgram(second);

    EXPECT_EQ(WaitForExit(keyscry, 0), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(WaitForKeyscryWindow(keyscry, 0), window);
}

// Start-up gives the About box Keyscry's own module, whose icon it shows, and
// the window as its owner, which waits for it. What the box says and its
// style are checked where the command is (window/).
TEST_F(RunningKeyscry, AboutBoxHasKeyscrysIconAndTheWindowWaitsForIt) {
    PostMessageA(GetDlgItem(window, AboutId), BM_CLICK, 0, 0);
    HWND box = WaitForReadyBox(keyscry);
    ASSERT_TRUE(box);
    EXPECT_EQ(GetWindow(box, GW_OWNER), window);
    bool iconShown = false; // by the box's icon control, the one that holds an icon
    for (HWND child : ChildrenOf(box))
        iconShown = iconShown || SendMessageA(child, STM_GETICON, 0, 0);
    EXPECT_TRUE(iconShown);
    EXPECT_FALSE(IsWindowEnabled(window));

    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(window) != FALSE; }))
        << "the window did not get its input back";
    EXPECT_EQ(WaitForExit(keyscry, 0), static_cast<DWORD>(STILL_ACTIVE));
}

// The manifest asks for version 6 of the common controls; the platform names
// that version's window classes after it ("6.0.2600.2982!Button" in Wine).
TEST_F(RunningKeyscry, ControlsAreTheVersionSixCommonControls) {
    const std::vector<HWND> controls = ChildrenOf(window);
    EXPECT_EQ(controls.size(), 11u);
    for (HWND child : controls) {
        char name[64] = "";
        char registered[128] = "";
        GetClassNameA(child, name, sizeof name);
        GlobalGetAtomNameA(static_cast<ATOM>(GetClassLongA(child, GCW_ATOM)), registered,
                           sizeof registered);
        const std::string versioned = registered;
        EXPECT_EQ(versioned.substr(0, 4), "6.0.") << name;
        EXPECT_EQ(versioned.substr(versioned.find('!') + 1), name);
    }
}

// Keys come as a keyboard sends them, key-down and key-up through Keyscry's
// own queue, whose loop must turn them into characters and nothing else: the
// provider box's edit field takes them, the read-only type field doesn't,
// and Tab moves no focus, since the loop does no dialog navigation.
TEST_F(RunningKeyscry, TypedKeysReachTheProviderBoxNotTheTypeField) {
    HWND typed = FindWindowExA(GetDlgItem(window, ProviderId), nullptr, "Edit", nullptr);
    HWND typeField = FindWindowExA(window, nullptr, "Edit", nullptr);
    ASSERT_TRUE(typed && typeField);
    const std::string typeText = FieldTextOf(typeField);
    ASSERT_NE(typeText, " "); // the first refresh named the type
    auto type = [](HWND field, const char* keys) {
        for (const char* key = keys; *key; ++key) {
            UINT code = VkKeyScanA(*key) & 0xFF;
            LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(code, MAPVK_VK_TO_VSC)) << 16;
            PostMessageA(field, WM_KEYDOWN, code, scan | 1);
            PostMessageA(field, WM_KEYUP, code, scan | 0xC0000001);
        }
    };
    GUITHREADINFO focus{}, focusAfter{};
    focus.cbSize = focusAfter.cbSize = sizeof focus;
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    GetGUIThreadInfo(thread, &focus);
    SendMessageA(typed, EM_SETSEL, 0, -1); // the keys replace the name shown
    type(typeField, "typed\t");
    type(typed, "typed 42");
    EXPECT_TRUE(WaitUntil([&] { return FieldTextOf(typed) == "typed 42"; }))
        << "the provider box shows \"" << FieldTextOf(typed) << '"';
    EXPECT_EQ(FieldTextOf(typeField), typeText);
    GetGUIThreadInfo(thread, &focusAfter);
    EXPECT_EQ(focusAfter.hwndFocus, focus.hwndFocus);
}

struct CentreCase {
    unsigned screenWidth, screenHeight;
    int x, y;
};

TEST(CentreOffset, PlacesTheWindowInTheMiddleDroppingHalves) {
    const CentreCase cases[] = {
        {1024, 768, 190, 169}, {800, 600, 78, 85}, {1280, 1024, 318, 297}, {1025, 769, 190, 169},
        {1023, 767, 189, 168}, {644, 430, 0, 0},   {600, 400, -22, -15},   {0, 0, -322, -215},
    };
    for (const CentreCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.screenWidth << "x" << c.screenHeight);
        EXPECT_EQ(CentreOffset(645, c.screenWidth), c.x);
        EXPECT_EQ(CentreOffset(430, c.screenHeight), c.y);
    }
}

HHOOK refusalHook = nullptr;

// Refuses every window of Keyscry's class that this thread creates.
LRESULT CALLBACK RefuseKeyscryWindows(int code, WPARAM wParam, LPARAM lParam) {
    char className[64] = "";
    if (code == HCBT_CREATEWND &&
        GetClassNameA(reinterpret_cast<HWND>(wParam), className, sizeof className) &&
        lstrcmpA(className, KeyscryClass) == 0)
        return 1;
    return CallNextHookEx(refusalHook, code, wParam, lParam);
}

// StartUp ends the process with what RunMainWindow returns. It runs here in
// the test's own thread, whose hook makes the creation of the window fail.
// The class it registers stays behind, each of its fields read back; the
// executable's own resources give the icon.
TEST(Closing, WithoutItsWindowItEndsWithTwo) {
    appState = AppState{};
    appState.instance = LoadLibraryExA(KeyscryPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(appState.instance);
    refusalHook = SetWindowsHookExA(WH_CBT, RefuseKeyscryWindows, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(refusalHook);
    PostQuitMessage(99); // should the window be made after all, its loop ends at once
    int code = RunMainWindow(appState.instance, nullptr, GetCommandLineA(), SW_SHOWDEFAULT);
    UnhookWindowsHookEx(refusalHook);
    MSG quit;
    PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    HWND made = appState.mainWindow;
    if (made)
        DestroyWindow(made); // or later starts would find it and warn
    HINSTANCE instance = appState.instance;
    WNDCLASSEXA registered{};
    registered.cbSize = sizeof registered;
    BOOL found = GetClassInfoExA(instance, KeyscryClass, &registered);
    UnregisterClassA(KeyscryClass, instance);
    appState = AppState{};

    EXPECT_EQ(code, 2);
    EXPECT_EQ(made, nullptr);
    ASSERT_TRUE(found);
    EXPECT_EQ(registered.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW | CS_BYTEALIGNWINDOW));
    EXPECT_EQ(registered.lpfnWndProc, MainWindowProc);
    EXPECT_EQ(registered.cbClsExtra, 0);
    EXPECT_EQ(registered.cbWndExtra, 0);
    EXPECT_EQ(registered.hInstance, instance);
    EXPECT_TRUE(registered.hIcon);
    EXPECT_EQ(registered.hIconSm, registered.hIcon); // not one made small from it
    EXPECT_EQ(registered.hCursor, LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(registered.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    EXPECT_EQ(registered.lpszMenuName, nullptr);
    FreeLibrary(instance);
}

// A window as another program would make it, of a class registered here.
HWND OtherProgramsWindow(const char* className, const char* title) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                           nullptr, windowClass.hInstance, nullptr);
}

// A start that finds another instance warns in a box of its own and ends the
// process, so the box is reported from a child process that shows it.
TEST(StartUp, AnotherInstanceGetsAPlainWarning) {
    EXPECT_EXIT(
        {
            OtherProgramsWindow(KeyscryClass, KeyscryTitle);
            MessageBoxWatcher watcher(true);
            StartUp();
        },
        [](int) { return true; },
        "box 0x30 owner 0+ "); // its caption and text: ConfirmAlreadyRunning
}

void PostClose(HWND window) {
    PostMessageA(window, WM_CLOSE, 0, 0);
}

// Another program's window with Keyscry's class or its title, but not both,
// lets a start go on; with both it stops it. Every way of closing Keyscry
// ends it with 0.
TEST(StartAndEnd, OnlyClassAndTitleTogetherStopAStartEveryCloseEndsWithZero) {
    const struct {
        const char* otherClass; // null: no other window
        const char* otherTitle;
        void (*close)(HWND window); // null: the start stops at the warning
    } cases[] = {
        {nullptr, nullptr,
         [](HWND window) { PostMessageA(GetDlgItem(window, ExitId), BM_CLICK, 0, 0); }},
        {nullptr, nullptr, [](HWND window) { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {nullptr, nullptr, PostClose},
        {"KeyscryLookalike", KeyscryTitle, PostClose},
        {KeyscryClass, "Keyscry", PostClose},
        {KeyscryClass, KeyscryTitle, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << &c - cases + 1);
        HWND other = c.otherClass ? OtherProgramsWindow(c.otherClass, c.otherTitle) : nullptr;
        ASSERT_TRUE(other || !c.otherClass);

        StartedProgram keyscry = StartKeyscry();
        if (!c.close) {
            EXPECT_EQ(ConfirmAlreadyRunning(keyscry), 1u);
        } else if (HWND window = WaitForShownKeyscryWindow(keyscry)) {
            c.close(window);
            EXPECT_EQ(WaitForExit(keyscry, Patience), 0u);
        }
        EndProgram(keyscry);
        if (other) {
            DestroyWindow(other);
            UnregisterClassA(c.otherClass, GetModuleHandleA(nullptr));
        }
    }
}

} // namespace
