// In-process harness: Keyscry's own window procedure in a test window, a
// private provider catalogue, and a watcher that answers message boxes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Builds a main window the way start-up does (WM_CREATE runs BuildMainWindow,
// which fills the provider box and runs the first refresh). AppState is reset
// to zero first, as it is when a process starts.
HWND CreateTestMainWindow();
void DestroyTestMainWindow(HWND window);

// Sends a command to the window as a control would.
void SendCommand(HWND window, WPARAM wParam);

// Makes entry `index` of the provider box current the way a user's choice
// does: the box's selection changes, then it notifies the main window.
void ChooseProviderAt(HWND window, int index);

// The message shown when a provider can't be opened.
inline const char OpenFailedText[] = "Impossible to open a Crytographic_Service_Provider !!!";

std::vector<std::string> ComboEntries(HWND combo);
std::string ComboShownText(HWND combo); // the text of the edit part
std::vector<std::string> ListRows(HWND list);
std::string TextOf(HWND window);

// HKEY_LOCAL_MACHINE seen through a scratch key below HKEY_CURRENT_USER, for
// this process only. The catalogue key starts empty; a test adds providers.
struct ScratchCatalogue {
    ScratchCatalogue();  // creates the catalogue key
    ~ScratchCatalogue(); // removes everything and restores HKEY_LOCAL_MACHINE
    ScratchCatalogue(const ScratchCatalogue&) = delete;
    ScratchCatalogue& operator=(const ScratchCatalogue&) = delete;

    // A provider subkey; with no image path, no "Image Path" value is written.
    void AddProvider(const std::string& name, DWORD type, const std::string& imagePath = "");
    // A provider subkey whose "Type" value has the given registry type and bytes.
    void AddProviderRaw(const std::string& name, DWORD valueType, const std::vector<BYTE>& bytes);
    void AddProviderWithoutType(const std::string& name);
    // Removes the catalogue key itself (Wine's providers are not in it).
    void RemoveCatalogueKey();
};

// The handles this process holds open, counted by asking the platform about
// every handle value in turn.
int OpenHandles();

// Path of fake_provider.dll beside the test executable.
std::string FakeProviderPath();

struct MessageBoxSeen {
    std::string caption;
    std::string text;
    HWND owner;
    DWORD style; // as the platform's message box received it
};

// While it lives, every message box that this thread opens is recorded and
// taken down before it is shown. With `report`, each is also written to
// stderr as it is taken down, for a box shown by code that ends the process.
struct MessageBoxWatcher {
    explicit MessageBoxWatcher(bool report = false);
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
    std::vector<MessageBoxSeen> seen;
};
