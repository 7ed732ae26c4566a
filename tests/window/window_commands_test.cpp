// The main window's commands: which WM_COMMAND values refresh, quit or show
// the About box, and which provider a refresh inspects.
#include <gtest/gtest.h>

#include <optional>

#include "app/app_state.h"
#include "support/keyscry_texts.h"
#include "support/message_boxes.h"
#include "support/scratch_catalogue.h"
#include "support/window_harness.h"

namespace {

// Lines parted by CR LF, the last one ended by them too; an unended last
// line comes back with a marker so that it can't pass.
std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size())
        lines.push_back("(not ended) " + text.substr(start));
    return lines;
}

void ExpectAboutText(const std::string& text) {
    std::vector<std::string> lines = CrLfLines(text);
    ASSERT_EQ(lines.size(), std::size(AboutLines)) << text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (AboutLines[i]) {
            EXPECT_EQ(lines[i], AboutLines[i]) << "line " << i + 1;
        } else {
            EXPECT_NE(lines[i].find('@'), std::string::npos) << "line " << i + 1; // an address
        }
    }
}

// Two providers that can't be opened: a refresh names the type of the one it
// inspects and then shows exactly one failure message, so the messages count
// the refreshes.
class Commands : public testing::Test {
  protected:
    void SetUp() override {
        catalogue.AddProvider("Alpha", PROV_RSA_FULL);
        catalogue.AddProvider("Beta", PROV_DSS);
        window = built.emplace();
        ASSERT_EQ(Refreshes(), 1);
        watcher.seen.clear();
        SetWindowTextA(appState.typeField, "");
    }
    void TearDown() override {
        built.reset();
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            ;
    }
    int Refreshes() const {
        int count = 0;
        for (const MessageBoxSeen& box : watcher.seen)
            count += box.text == OpenFailedText;
        return count;
    }
    int AboutBoxes() const {
        int count = 0;
        for (const MessageBoxSeen& box : watcher.seen)
            count += box.caption == AboutCaption;
        return count;
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

    ScratchCatalogue catalogue;
    MessageBoxWatcher watcher;
    std::optional<TestWindow> built;
    HWND window = nullptr;
};

struct CommandCase {
    WPARAM wParam;
    int refreshes;
    bool quits;
    int aboutBoxes;
};

TEST_F(Commands, EachValueOfWParamHasItsOneAction) {
    const CommandCase cases[] = {
        {100, 1, false, 0},        // Refresh clicked
        {101, 0, true, 0},         // Exit clicked
        {0x00010096, 1, false, 0}, // a new choice in the provider box
        {102, 0, false, 1},        // About clicked
        {0x00010097, 0, false, 0}, // a new choice in the container box
        {0x00050096, 0, false, 0}, // typing into the provider box
        {0x00060096, 0, false, 0}, // the provider box's text about to change
        {0x00030096, 0, false, 0}, // the provider box takes the focus
        {0x00080096, 0, false, 0}, // the provider box's list closes
        {0, 0, false, 0},          // no control at all
        {150, 0, false, 0},        // the provider box's id alone
        {151, 0, false, 0},        // the container box's id alone
        {600, 0, false, 0},        // the algorithm list's id
        {0x00020064, 0, false, 0}, // Refresh, but another notification
        {0x00010065, 0, false, 0}, // Exit, but another notification
        {0x00010066, 0, false, 0}, // About, but another notification
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "wParam 0x" << std::hex << c.wParam);
        watcher.seen.clear();
        SetWindowTextA(appState.typeField, "");
        SendMessageA(appState.algorithmList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("stale"));

        EXPECT_EQ(SendMessageA(window, WM_COMMAND, c.wParam, 0), 0);

        EXPECT_EQ(Refreshes(), c.refreshes);
        EXPECT_EQ(TextOf(appState.typeField), c.refreshes ? "PROV_RSA_FULL" : "");
        EXPECT_EQ(ListRows(appState.algorithmList).empty(), c.refreshes > 0);
        EXPECT_EQ(QuitPosted(), c.quits);
        EXPECT_EQ(AboutBoxes(), c.aboutBoxes);
        EXPECT_EQ(watcher.seen.size(), static_cast<size_t>(c.refreshes + c.aboutBoxes));
        SendMessageA(appState.algorithmList, LB_RESETCONTENT, 0, 0);
    }
}

TEST_F(Commands, CloseCommandOnlyPostsTheQuitMessage) {
    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(QuitPosted());
    EXPECT_TRUE(IsWindow(window)); // the process ends after the loop instead
}

TEST_F(Commands, AboutBoxIsOwnedByTheWindowAndSaysWhatKeyscryIs) {
    SendMessageA(window, WM_COMMAND, 102, 0);
    SendMessageA(window, WM_COMMAND, 102, 0); // the record is filled again each time
    ASSERT_EQ(watcher.seen.size(), 2u);
    for (const MessageBoxSeen& box : watcher.seen) {
        EXPECT_EQ(box.caption, AboutCaption);
        ExpectAboutText(box.text);
        EXPECT_EQ(box.owner, window);
        EXPECT_EQ(box.style, static_cast<DWORD>(MB_OK | MB_USERICON));
    }
    EXPECT_EQ(appState.aboutParams.dwStyle, static_cast<DWORD>(MB_USERICON));
    EXPECT_EQ(appState.aboutParams.lpszIcon, MAKEINTRESOURCEA(500));
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

        SendMessageA(window, WM_COMMAND, 100, 0);

        EXPECT_EQ(Refreshes(), 1);
        EXPECT_STREQ(appState.providerName, step.inspected);
        EXPECT_EQ(TextOf(appState.typeField), step.typeName);
    }
}

} // namespace
