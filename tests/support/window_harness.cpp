#include "support/window_harness.h"

#include "app/app.h"
#include "app/app_state.h"
#include "support/keyscry_numbers.h"

namespace {
const char TestClassName[] = "KeyscryTestWindow";
} // namespace

TestWindow::TestWindow() {
    appState = AppState{};
    appState.instance = GetModuleHandleA(nullptr);
    appState.aboutParams.hInstance = appState.instance;
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = appState.instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = TestClassName;
    RegisterClassExA(&windowClass); // fails harmlessly once registered
    handle = CreateWindowExA(0, TestClassName, "Keyscry test", WS_OVERLAPPED | WS_SYSMENU, 0, 0,
                             645, 430, nullptr, nullptr, appState.instance, nullptr);
    appState.mainWindow = handle;
    appState.aboutParams.hwndOwner = handle;
}

TestWindow::~TestWindow() {
    DestroyWindow(handle);
    appState = AppState{};
}

void SendCommand(HWND window, WPARAM wParam) {
    SendMessageA(window, WM_COMMAND, wParam, 0);
}

void ChooseProviderAt(HWND window, int index) {
    SendMessageA(appState.providerCombo, CB_SETCURSEL, index, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(ProviderId, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(appState.providerCombo));
}

bool ChooseProvider(HWND window, const std::string& name) {
    LRESULT index = SendMessageA(appState.providerCombo, CB_FINDSTRINGEXACT,
                                 static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    if (index == CB_ERR)
        return false;
    ChooseProviderAt(window, static_cast<int>(index));
    return true;
}

// The texts of a combo box's or a list box's entries, in the control's order.
static std::vector<std::string> ItemTexts(HWND control, UINT countMessage, UINT lengthMessage,
                                          UINT textMessage) {
    std::vector<std::string> texts;
    LRESULT count = SendMessageA(control, countMessage, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::string text(SendMessageA(control, lengthMessage, i, 0) + 1, '\0');
        SendMessageA(control, textMessage, i, reinterpret_cast<LPARAM>(text.data()));
        texts.push_back(text.c_str());
    }
    return texts;
}

std::vector<HWND> ChildrenOf(HWND window) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

std::vector<std::string> ComboEntries(HWND combo) {
    return ItemTexts(combo, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

std::string ComboShownText(HWND combo) {
    return TextOf(combo);
}

std::vector<std::string> ListRows(HWND list) {
    return ItemTexts(list, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
}

std::string TextOf(HWND window) {
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

bool Answers(HWND window) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) != 0;
}
