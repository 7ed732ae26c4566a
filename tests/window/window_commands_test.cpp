// The main window's commands: which WM_COMMAND values (and the close
// message) refresh, quit or show the About box, what the About box says, and
// which provider a refresh inspects.
#include <gtest/gtest.h>

#include "support/provider_window_test.h"

namespace {

// Line by line against AboutLines, each line ended by CR LF; a credit line
// (null there) holds an address.
void ExpectAboutText(const std::string& text) {
    size_t start = 0;
    for (const char* line : AboutLines) {
        size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos)
            << "fewer lines than expected, or the last not ended: " << text;
        const std::string read = text.substr(start, end - start);
        if (line) {
            EXPECT_EQ(read, line);
        } else {
            EXPECT_NE(read.find('@'), std::string::npos) << read;
        }
        start = end + 2;
    }
    EXPECT_EQ(text.substr(start), "") << "more lines than expected";
}

// Two providers that can't be opened: a refresh names the type of the one it
// inspects and then shows exactly one failure message, so the messages count
// the refreshes.
class Commands : public ProviderWindowTest {
  protected:
    void SetUp() override {
        catalogue.AddProvider("Alpha", PROV_RSA_FULL);
        catalogue.AddProvider("Beta", PROV_DSS);
        Build();
        ASSERT_EQ(Refreshes(), 1);
        watcher.seen.clear();
        SetWindowTextA(appState.typeField, "");
    }
    void TearDown() override {
        ProviderWindowTest::TearDown();
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            ;
    }
    // The boxes seen whose caption or text (`part`) is `value`.
    int Seen(std::string MessageBoxSeen::*part, const char* value) const {
        int count = 0;
        for (const MessageBoxSeen& box : watcher.seen)
            count += box.*part == value;
        return count;
    }
    int Refreshes() const {
        return Seen(&MessageBoxSeen::text, OpenFailedText);
    }
    static bool QuitPosted() {
        MSG message;
        return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && message.wParam == 0;
    }
    static COMBOBOXINFO ProviderBoxParts() {
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        GetComboBoxInfo(appState.providerCombo, &info);
        return info;
    }
    // Types into the provider box's edit part as the keyboard would.
    static void Type(const char* text) {
        for (const char* c = text; *c; ++c)
            SendMessageA(ProviderBoxParts().hwndItem, WM_CHAR, static_cast<unsigned char>(*c), 1);
    }
    // Makes a list entry current without touching the edit part's text.
    static void SelectInListOnly(int index) {
        SendMessageA(ProviderBoxParts().hwndList, LB_SETCURSEL, index, 0);
    }
};

struct CommandCase {
    UINT message;
    WPARAM wParam;
    int refreshes;
    bool quits;
    int aboutBoxes;
};

// The window stays either way: the process ends after the message loop.
TEST_F(Commands, EachCommandAndTheCloseMessageHaveTheirOneAction) {
    const CommandCase cases[] = {
        {WM_COMMAND, RefreshId, 1, false, 0}, // Refresh clicked
        {WM_COMMAND, ExitId, 0, true, 0},     // Exit clicked
        {WM_COMMAND, MAKEWPARAM(ProviderId, CBN_SELCHANGE), 1, false, 0},
        {WM_COMMAND, AboutId, 0, false, 1}, // About clicked
        {WM_COMMAND, MAKEWPARAM(ContainerId, CBN_SELCHANGE), 0, false, 0},
        {WM_COMMAND, MAKEWPARAM(ProviderId, CBN_EDITCHANGE), 0, false, 0},
        {WM_COMMAND, MAKEWPARAM(ProviderId, CBN_EDITUPDATE), 0, false, 0},
        {WM_COMMAND, MAKEWPARAM(ProviderId, CBN_SETFOCUS), 0, false, 0},
        {WM_COMMAND, MAKEWPARAM(ProviderId, CBN_CLOSEUP), 0, false, 0},
        {WM_COMMAND, 0, 0, false, 0},                        // no control at all
        {WM_COMMAND, ProviderId, 0, false, 0},               // the provider box's id alone
        {WM_COMMAND, ContainerId, 0, false, 0},              // the container box's id alone
        {WM_COMMAND, AlgorithmsId, 0, false, 0},             // the algorithm list's id
        {WM_COMMAND, MAKEWPARAM(RefreshId, 2), 0, false, 0}, // Refresh, but another notification
        {WM_COMMAND, MAKEWPARAM(ExitId, 1), 0, false, 0},    // Exit, but another notification
        {WM_COMMAND, MAKEWPARAM(AboutId, 1), 0, false, 0},   // About, but another notification
        {WM_CLOSE, 0, 0, true, 0},                           // the close message
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "message 0x" << std::hex << c.message << ", wParam 0x" << c.wParam);
        watcher.seen.clear();
        SetWindowTextA(appState.typeField, "");
        SendMessageA(appState.algorithmList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("stale"));

        EXPECT_EQ(SendMessageA(window, c.message, c.wParam, 0), 0);

        EXPECT_EQ(Refreshes(), c.refreshes);
        EXPECT_EQ(TypeText(), c.refreshes ? "PROV_RSA_FULL" : "");
        EXPECT_EQ(ListRows(appState.algorithmList).empty(), c.refreshes > 0);
        EXPECT_EQ(QuitPosted(), c.quits);
        EXPECT_EQ(Seen(&MessageBoxSeen::caption, AboutCaption), c.aboutBoxes);
        EXPECT_EQ(watcher.seen.size(), static_cast<size_t>(c.refreshes + c.aboutBoxes));
        EXPECT_TRUE(IsWindow(window));
        SendMessageA(appState.algorithmList, LB_RESETCONTENT, 0, 0);
    }
}

// What the box says and how it is asked for; what start-up gives it (its
// owner, Keyscry's own icon) is checked where start-up is.
TEST_F(Commands, AboutBoxIsOwnedByTheWindowAndSaysWhatKeyscryIs) {
    SendMessageA(window, WM_COMMAND, AboutId, 0);
    SendMessageA(window, WM_COMMAND, AboutId, 0); // the record is filled again each time
    ASSERT_EQ(watcher.seen.size(), 2u);
    for (const MessageBoxSeen& box : watcher.seen) {
        EXPECT_EQ(box.caption, AboutCaption);
        ExpectAboutText(box.text);
        EXPECT_EQ(box.owner, window);
        EXPECT_EQ(box.style, static_cast<DWORD>(MB_OK | MB_USERICON));
    }
    EXPECT_EQ(appState.aboutParams.lpszIcon, MAKEINTRESOURCEA(IconId));
    EXPECT_EQ(appState.aboutParams.hInstance, GetModuleHandleA(nullptr));
}

TEST_F(Commands, RefreshInspectsTheCurrentEntryOrTheLastOneInspected) {
    // Each step prepares the provider box, then Refresh is clicked.
    struct Step {
        const char* what;
        int currentEntry; // -2: leave the box as typing left it
        const char* typed;
        int listOnlyEntry; // -2: none
        const char* inspected;
        const char* typeName;
    };
    const Step steps[] = {
        {"entry chosen without notification", 1, nullptr, -2, "Beta", "PROV_DSS"},
        {"name of another entry typed", -2, "Alpha", -2, "Beta", "PROV_DSS"},
        {"unknown name typed", -2, "Gamma", -2, "Beta", "PROV_DSS"},
        {"no current entry", -1, nullptr, -2, "Beta", "PROV_DSS"},
        {"name typed, another entry current", -2, "Beta", 0, "Alpha", "PROV_RSA_FULL"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.currentEntry != -2)
            SendMessageA(appState.providerCombo, CB_SETCURSEL, step.currentEntry, 0);
        if (step.typed) {
            SetWindowTextA(appState.providerCombo, "");
            watcher.seen.clear();
            Type(step.typed);
            EXPECT_EQ(Refreshes(), 0); // typing alone doesn't refresh
            EXPECT_EQ(ComboShownText(appState.providerCombo), step.typed);
        }
        if (step.listOnlyEntry != -2)
            SelectInListOnly(step.listOnlyEntry);
        watcher.seen.clear();
        SetWindowTextA(appState.typeField, "");

        SendMessageA(window, WM_COMMAND, RefreshId, 0);

        EXPECT_EQ(Refreshes(), 1);
        EXPECT_STREQ(appState.providerName, step.inspected);
        EXPECT_EQ(TypeText(), step.typeName);
    }
}

} // namespace
