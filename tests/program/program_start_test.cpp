// Keyscry as it starts and runs: the built executable under Wine, its window
// (where it stands, what it shows first), the single-instance guard, the
// About box, typing into it and the ways it ends.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/app.h"
#include "app/app_state.h"
#include "support/keyscry_texts.h"
#include "support/message_boxes.h"
#include "support/other_process.h"
#include "support/window_harness.h"

namespace {

HWND ChildWithStyle(HWND parent, const char* className, DWORD style) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[64] = "";
        GetClassNameA(child, name, sizeof name);
        if (lstrcmpiA(name, className) == 0 &&
            (static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE)) & style) == style)
            return child;
    }
    return nullptr;
}

// Answers the warning of a start that found another instance; returns its exit code.
DWORD ConfirmAlreadyRunning(StartedProgram& second) {
    HWND box = WaitForReadyBox(second);
    if (!box)
        return STILL_ACTIVE;
    EXPECT_EQ(WindowTextOf(box), AlreadyRunningCaption);
    EXPECT_EQ(WindowTextOf(GetDlgItem(box, MessageBoxTextId)), AlreadyRunningText);
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    EXPECT_TRUE(ChildWithStyle(box, "Static", SS_ICON)); // the warning icon
    EXPECT_TRUE(GetDlgItem(box, IDOK));
    EXPECT_FALSE(GetDlgItem(box, IDCANCEL));
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
    EXPECT_EQ(GetClassLongA(window, GCL_STYLE), CS_HREDRAW | CS_VREDRAW | CS_BYTEALIGNWINDOW);
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

TEST_F(RunningKeyscry, AboutBoxIsOwnedByTheWindowWhichWaitsForIt) {
    PostMessageA(GetDlgItem(window, 102), BM_CLICK, 0, 0);
    HWND box = WaitForReadyBox(keyscry);
    ASSERT_TRUE(box);
    EXPECT_EQ(WindowTextOf(box), AboutCaption);
    EXPECT_EQ(GetWindow(box, GW_OWNER), window);
    const std::string opening = std::string(AboutLines[0]) + "\r\n" + AboutLines[1] + "\r\n";
    EXPECT_EQ(WindowTextOf(GetDlgItem(box, MessageBoxTextId)).substr(0, opening.size()), opening);
    HWND icon = ChildWithStyle(box, "Static", SS_ICON);
    ASSERT_TRUE(icon);
    EXPECT_TRUE(SendMessageA(icon, STM_GETICON, 0, 0)); // Keyscry's own icon
    EXPECT_TRUE(GetDlgItem(box, IDOK));
    EXPECT_FALSE(GetDlgItem(box, IDCANCEL));
    EXPECT_FALSE(IsWindowEnabled(window));

    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(window) != FALSE; }))
        << "the window did not get its input back";
    EXPECT_EQ(WaitForExit(keyscry, 0), static_cast<DWORD>(STILL_ACTIVE));
}

// The manifest asks for version 6 of the common controls; the platform names
// that version's window classes after it ("6.0.2600.2982!Button" in Wine).
TEST_F(RunningKeyscry, ControlsAreTheVersionSixCommonControls) {
    int controls = 0;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[64] = "";
        char registered[128] = "";
        GetClassNameA(child, name, sizeof name);
        GlobalGetAtomNameA(static_cast<ATOM>(GetClassLongA(child, GCW_ATOM)), registered,
                           sizeof registered);
        const std::string versioned = registered;
        EXPECT_EQ(versioned.substr(0, 4), "6.0.") << name;
        EXPECT_EQ(versioned.substr(versioned.find('!') + 1), name);
        ++controls;
    }
    EXPECT_EQ(controls, 11);
}

// Keys come as a keyboard sends them, key-down and key-up through Keyscry's
// own queue, whose loop must turn them into characters and nothing else: the
// provider box's edit field takes them, the read-only type field doesn't,
// and Tab moves no focus, since the loop does no dialog navigation.
TEST_F(RunningKeyscry, TypedKeysReachTheProviderBoxNotTheTypeField) {
    HWND typed = FindWindowExA(GetDlgItem(window, IDC_PROVIDER), nullptr, "Edit", nullptr);
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

TEST(FirstRefresh, RunsWhileTheWindowIsCreated) {
    MessageBoxWatcher watcher;
    TestWindow window; // Wine's own providers
    std::vector<std::string> entries = ComboEntries(appState.providerCombo);
    ASSERT_FALSE(entries.empty());
    EXPECT_TRUE(std::is_sorted(entries.begin(), entries.end(),
                               [](const std::string& a, const std::string& b) {
                                   return lstrcmpiA(a.c_str(), b.c_str()) < 0;
                               }));
    EXPECT_EQ(entries[0], "Microsoft Base Cryptographic Provider v1.0");
    EXPECT_EQ(ComboShownText(appState.providerCombo), entries[0]);
    EXPECT_EQ(TextOf(appState.typeField), "PROV_RSA_FULL");
    std::vector<std::string> rows = ListRows(appState.algorithmList);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0].substr(0, 4), "RC2 ");
    EXPECT_TRUE(watcher.seen.empty());
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

struct CloseCase {
    const char* how;
    void (*close)(HWND window);
};

TEST(Closing, EveryWayOfClosingEndsWithZero) {
    const CloseCase cases[] = {
        {"Exit button", [](HWND window) { PostMessageA(GetDlgItem(window, 101), BM_CLICK, 0, 0); }},
        {"close command", [](HWND window) { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"close message", [](HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }},
    };
    for (const CloseCase& c : cases) {
        SCOPED_TRACE(c.how);
        StartedProgram keyscry = StartKeyscry();
        ASSERT_TRUE(keyscry.process);
        HWND window = WaitForShownKeyscryWindow(keyscry);
        ASSERT_TRUE(window);
        c.close(window);
        EXPECT_EQ(WaitForExit(keyscry, Patience), 0u);
        EndProgram(keyscry);
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

// A start that finds another instance warns in a box of its own and ends the
// process, so the box is reported from a child process that shows it.
TEST(StartUp, AnotherInstanceGetsAPlainWarning) {
    EXPECT_EXIT(
        {
            WNDCLASSA other{};
            other.lpfnWndProc = DefWindowProcA;
            other.hInstance = GetModuleHandleA(nullptr);
            other.lpszClassName = KeyscryClass;
            RegisterClassA(&other);
            CreateWindowExA(0, KeyscryClass, KeyscryTitle, WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                            nullptr, other.hInstance, nullptr);
            MessageBoxWatcher watcher(true);
            StartUp();
        },
        [](int) { return true; },
        "box 0x30 owner 0+ \"Keyscry\" \"This program is already running\\.\\.\\.\"\n");
}

LRESULT CALLBACK OtherProgramsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

struct OtherWindowCase {
    const char* className;
    const char* title;
    bool stopsTheStart;
};

TEST(OtherWindows, OnlyClassAndTitleTogetherStopAStart) {
    const OtherWindowCase cases[] = {
        {"KeyscryLookalike", KeyscryTitle, false},
        {KeyscryClass, "Keyscry", false},
        {KeyscryClass, KeyscryTitle, true},
    };
    for (const OtherWindowCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.className << " / " << c.title);
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = OtherProgramsProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = c.className;
        RegisterClassA(&windowClass);
        HWND other = CreateWindowExA(0, c.className, c.title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                     nullptr, nullptr, windowClass.hInstance, nullptr);
        ASSERT_TRUE(other);

        StartedProgram keyscry = StartKeyscry();
        if (c.stopsTheStart) {
            EXPECT_EQ(ConfirmAlreadyRunning(keyscry), 1u);
        } else {
            HWND window = WaitForShownKeyscryWindow(keyscry);
            EXPECT_TRUE(window);
            PostMessageA(window, WM_CLOSE, 0, 0);
            EXPECT_EQ(WaitForExit(keyscry, Patience), 0u);
        }
        EndProgram(keyscry);
        DestroyWindow(other);
        UnregisterClassA(c.className, windowClass.hInstance);
    }
}

} // namespace
