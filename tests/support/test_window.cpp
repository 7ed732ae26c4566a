#include "support/test_window.h"

#include "app/app.h"
#include "app/app_state.h"
#include "provider/provider.h"
#include "support/keyscry_process.h"

#include <cstdio>

namespace {
const char TestClassName[] = "KeyscryTestWindow";
const char ScratchRoot[] = "Software\\KeyscryTests\\Machine";
} // namespace

HWND CreateTestMainWindow() {
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
    HWND window = CreateWindowExA(0, TestClassName, "Keyscry test", WS_OVERLAPPED | WS_SYSMENU, 0,
                                  0, 645, 430, nullptr, nullptr, appState.instance, nullptr);
    appState.mainWindow = window;
    appState.aboutParams.hwndOwner = window;
    return window;
}

void DestroyTestMainWindow(HWND window) {
    DestroyWindow(window);
    appState = AppState{};
}

void SendCommand(HWND window, WPARAM wParam) {
    SendMessageA(window, WM_COMMAND, wParam, 0);
}

void ChooseProviderAt(HWND window, int index) {
    SendMessageA(appState.providerCombo, CB_SETCURSEL, index, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_PROVIDER, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(appState.providerCombo));
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

static std::string CatalogueKeyPath() {
    return std::string(ScratchRoot) + "\\" + ProviderKeyPath;
}

ScratchCatalogue::ScratchCatalogue() {
    RegDeleteTreeA(HKEY_CURRENT_USER, ScratchRoot);
    HKEY root = nullptr;
    RegCreateKeyA(HKEY_CURRENT_USER, ScratchRoot, &root);
    HKEY catalogue = nullptr;
    RegCreateKeyA(HKEY_CURRENT_USER, CatalogueKeyPath().c_str(), &catalogue);
    RegCloseKey(catalogue);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, root);
    RegCloseKey(root);
}

ScratchCatalogue::~ScratchCatalogue() {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, ScratchRoot);
}

// Created below the catalogue key rather than by its whole path: Wine's "A"
// registry calls take at most 260 characters of path, and a provider name may
// have up to 255.
static HKEY CreateProviderKey(const std::string& name) {
    HKEY catalogue = nullptr;
    RegOpenKeyA(HKEY_CURRENT_USER, CatalogueKeyPath().c_str(), &catalogue);
    HKEY key = nullptr;
    RegCreateKeyA(catalogue, name.c_str(), &key);
    RegCloseKey(catalogue);
    return key;
}

void ScratchCatalogue::AddProvider(const std::string& name, DWORD type,
                                   const std::string& imagePath) {
    HKEY key = CreateProviderKey(name);
    RegSetValueExA(key, "Type", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&type), sizeof type);
    if (!imagePath.empty())
        RegSetValueExA(key, "Image Path", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(imagePath.c_str()),
                       static_cast<DWORD>(imagePath.size() + 1));
    RegCloseKey(key);
}

void ScratchCatalogue::AddProviderRaw(const std::string& name, DWORD valueType,
                                      const std::vector<BYTE>& bytes) {
    HKEY key = CreateProviderKey(name);
    RegSetValueExA(key, "Type", 0, valueType, bytes.data(), static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
}

void ScratchCatalogue::AddProviderWithoutType(const std::string& name) {
    RegCloseKey(CreateProviderKey(name));
}

void ScratchCatalogue::RemoveCatalogueKey() {
    RegDeleteTreeA(HKEY_CURRENT_USER, CatalogueKeyPath().c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, CatalogueKeyPath().c_str());
}

int OpenHandles() {
    int count = 0;
    DWORD flags = 0;
    for (ULONG_PTR value = 4; value < 0x2000; value += 4)
        count += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) != FALSE;
    return count;
}

std::string FakeProviderPath() {
    return BinaryFolder() + "fake_provider.dll";
}

namespace {
MessageBoxWatcher* activeWatcher = nullptr;
HHOOK watcherHook = nullptr;
bool reportSeen = false;

// Each box is recorded and taken down as soon as its dialog is initialised,
// before it is shown: closing a shown box costs two seconds under Xvfb, where
// Wine's display driver waits in vain for a window manager when the owner
// becomes active again. Keyscry ignores what its message boxes return.
LRESULT CALLBACK TakeDownMessageBoxes(int code, WPARAM wParam, LPARAM lParam) {
    auto* handled = reinterpret_cast<CWPRETSTRUCT*>(lParam);
    char className[64] = "";
    if (code == HC_ACTION && handled->message == WM_INITDIALOG && activeWatcher &&
        GetClassNameA(handled->hwnd, className, sizeof className) &&
        lstrcmpA(className, "#32770") == 0) {
        HWND box = handled->hwnd;
        char text[2048] = "";
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        HWND owner = GetWindow(box, GW_OWNER);
        // A message box's dialog is given the box's parameters; on the way
        // there the A call has become a W one.
        DWORD style = reinterpret_cast<const MSGBOXPARAMSW*>(handled->lParam)->dwStyle;
        activeWatcher->seen.push_back({TextOf(box), text, owner, style});
        if (reportSeen)
            fprintf(stderr, "box 0x%lx owner %p \"%s\" \"%s\"\n", style, static_cast<void*>(owner),
                    TextOf(box).c_str(), text);
        // The modal loop ends when its window is gone; the owner it disabled
        // is given back its input.
        DestroyWindow(box);
        if (owner)
            EnableWindow(owner, TRUE);
    }
    return CallNextHookEx(watcherHook, code, wParam, lParam);
}
} // namespace

MessageBoxWatcher::MessageBoxWatcher(bool report) {
    activeWatcher = this;
    reportSeen = report;
    watcherHook =
        SetWindowsHookExA(WH_CALLWNDPROCRET, TakeDownMessageBoxes, nullptr, GetCurrentThreadId());
}

MessageBoxWatcher::~MessageBoxWatcher() {
    UnhookWindowsHookEx(watcherHook);
    activeWatcher = nullptr;
}
