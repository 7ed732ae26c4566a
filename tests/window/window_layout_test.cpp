// The main window's controls, fonts and colours, built in-process.
#include <gtest/gtest.h>

#include "bench/bare_start.h"
#include "support/provider_window_test.h"

namespace {

struct ControlRow {
    const char* className;
    int id;
    const char* text;        // null for the combo boxes, whose text is their entry
    int x, y, width, height; // a combo box's height is that of the box with its list open
    DWORD style;
    DWORD extendedStyle;
    LONG fontHeight;
    const char* fontFace;
    HWND AppState::*kept; // null when AppState doesn't keep the handle
};

// In creation order, which is also the children's order in the window.
const ControlRow Controls[] = {
    {"Static", 0, "Provider:", 10, 20, 100, 20, 0x50000000, 0, -11, "Tahoma", nullptr},
    {"ComboBox", ProviderId, nullptr, 110, 16, 520, 750, 0x50210142, 0, -12, "Tahoma",
     &AppState::providerCombo},
    {"Static", 0, "Provider Type:", 10, 48, 120, 20, 0x50000000, 0, -11, "Tahoma", nullptr},
    {"Edit", 0, " ", 110, 45, 220, 20, 0x50010881, WS_EX_STATICEDGE, -12, "Tahoma",
     &AppState::typeField},
    {"Static", 0, "Container:", 350, 48, 90, 20, 0x50000000, 0, -11, "Tahoma", nullptr},
    {"ComboBox", ContainerId, nullptr, 420, 45, 210, 100, 0x50210142, 0, -12, "Tahoma",
     &AppState::containerCombo},
    {"Button", RefreshId, "Refresh", 420, 370, 100, 24, 0x50010000, 0, -11, "Tahoma",
     &AppState::refreshButton},
    {"Button", ExitId, "Exit", 530, 370, 100, 24, 0x50010000, 0, -11, "Tahoma",
     &AppState::exitButton},
    {"Button", AboutId, "About", 10, 370, 100, 24, 0x50010000, 0, -11, "Tahoma", nullptr},
    {"ListBox", AlgorithmsId, nullptr, 10, 110, 620, 250, 0x50B05143, WS_EX_CLIENTEDGE, -12,
     "Courier New", &AppState::algorithmList},
    {"Static", 0, ColumnHeaderText, 10, 90, 620, 20, 0x50000000, 0, -12, "Courier New",
     &AppState::headerLabel},
};

bool IsComboBox(const char* className) {
    return lstrcmpiA(className, "ComboBox") == 0;
}

// A combo box drops WS_VSCROLL from its own style (its list keeps it).
DWORD ComparedStyle(const char* className, DWORD style) {
    return IsComboBox(className) ? style & ~WS_VSCROLL : style;
}

// A combo box window is only as high as its closed part; the height it was
// given is the box's with its list open. Wine's dropped rectangle covers the
// open list alone, 23 pixels (the closed part and a border) short of that.
int GivenHeight(HWND control, const char* className, const RECT& bounds) {
    if (!IsComboBox(className))
        return bounds.bottom - bounds.top;
    RECT dropped{};
    SendMessageA(control, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
    return dropped.bottom - dropped.top + 23;
}

// One provider without a "Type" value, so the type field keeps its first
// text and the first refresh only adds its failure message.
class Layout : public ProviderWindowTest {
  protected:
    void SetUp() override {
        catalogue.AddProviderWithoutType("Only Provider");
        Build();
    }
};

// The controls of `window` against the table; `keyscrys` for Keyscry's own,
// whose handles AppState keeps.
void ExpectControlsOfTheTable(HWND window, bool keyscrys) {
    std::vector<HWND> children = ChildrenOf(window);
    ASSERT_EQ(children.size(), std::size(Controls));
    for (size_t i = 0; i < children.size(); ++i) {
        const ControlRow& row = Controls[i];
        HWND control = children[i];
        SCOPED_TRACE(testing::Message() << "row " << i + 1 << " (" << row.className << ")");

        char className[64] = "";
        GetClassNameA(control, className, sizeof className);
        EXPECT_STRCASEEQ(className, row.className);
        EXPECT_EQ(GetDlgCtrlID(control), row.id);
        if (row.text) {
            EXPECT_EQ(TextOf(control), row.text);
        }

        RECT bounds;
        GetWindowRect(control, &bounds);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&bounds), 2);
        EXPECT_EQ(bounds.left, row.x);
        EXPECT_EQ(bounds.top, row.y);
        EXPECT_EQ(bounds.right - bounds.left, row.width);
        EXPECT_EQ(GivenHeight(control, row.className, bounds), row.height);

        EXPECT_EQ(ComparedStyle(row.className, GetWindowLongA(control, GWL_STYLE)),
                  ComparedStyle(row.className, row.style))
            << std::hex << GetWindowLongA(control, GWL_STYLE);
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(control, GWL_EXSTYLE)), row.extendedStyle)
            << std::hex << GetWindowLongA(control, GWL_EXSTYLE);

        LOGFONTA font{};
        HGDIOBJ fontHandle = reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0));
        ASSERT_EQ(GetObjectA(fontHandle, sizeof font, &font), static_cast<int>(sizeof font));
        EXPECT_EQ(font.lfHeight, row.fontHeight);
        EXPECT_STREQ(font.lfFaceName, row.fontFace);
        EXPECT_EQ(font.lfWidth, 0);
        EXPECT_EQ(font.lfWeight, FW_NORMAL);
        EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut);
        EXPECT_EQ(font.lfCharSet, DEFAULT_CHARSET);
        EXPECT_EQ(font.lfOutPrecision, OUT_STROKE_PRECIS);
        EXPECT_EQ(font.lfClipPrecision, CLIP_STROKE_PRECIS);
        EXPECT_EQ(font.lfQuality, DRAFT_QUALITY);
        EXPECT_EQ(font.lfPitchAndFamily, DEFAULT_PITCH | FF_DONTCARE);

        if (!keyscrys)
            continue;
        // Each font is one object that the controls share.
        EXPECT_TRUE(fontHandle == appState.uiFont || fontHandle == appState.labelFont ||
                    fontHandle == appState.fixedFont);
        if (row.kept) {
            EXPECT_EQ(appState.*row.kept, control);
        }
    }
}

TEST_F(Layout, ControlsFollowTheTable) {
    ExpectControlsOfTheTable(window, true);
}

// The start-up benchmark's bare program builds Keyscry's window by hand, and
// reads the same catalogue into its provider box.
TEST_F(Layout, BareStartBuildsTheSameWindow) {
    HWND bare = BuildBareWindow(GetModuleHandleA(nullptr));
    ExpectControlsOfTheTable(bare, false);
    EXPECT_EQ(ComboEntries(GetDlgItem(bare, ProviderId)), ComboEntries(appState.providerCombo));
    DestroyWindow(bare);
}

struct ColourCase {
    UINT message;
    bool keyscrysOwn; // otherwise the default procedure's colours and brush
    COLORREF text;
    COLORREF background;
};

TEST_F(Layout, EditAndListPartsDrawOnBlackOthersKeepTheDefaults) {
    const ColourCase cases[] = {
        {WM_CTLCOLOREDIT, true, RGB(255, 255, 255), RGB(0, 0, 0)},
        {WM_CTLCOLORLISTBOX, true, RGB(0, 255, 0), RGB(0, 0, 0)},
        {WM_CTLCOLORSTATIC, false, 0, 0},
        {WM_CTLCOLORBTN, false, 0, 0},
        {WM_CTLCOLORSCROLLBAR, false, 0, 0},
        {WM_CTLCOLORDLG, false, 0, 0},
        {WM_CTLCOLORMSGBOX, false, 0, 0},
    };
    for (const ColourCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "message 0x" << std::hex << c.message);
        HDC dc = CreateCompatibleDC(nullptr);
        HDC reference = CreateCompatibleDC(nullptr);
        // A colour that nobody would choose, to see whether anything was set.
        for (HDC each : {dc, reference}) {
            SetTextColor(each, RGB(1, 2, 3));
            SetBkColor(each, RGB(4, 5, 6));
        }
        LPARAM control = reinterpret_cast<LPARAM>(appState.typeField);
        LRESULT brush = SendMessageA(window, c.message, reinterpret_cast<WPARAM>(dc), control);
        if (c.keyscrysOwn) {
            EXPECT_EQ(brush, reinterpret_cast<LRESULT>(GetStockObject(BLACK_BRUSH)));
            EXPECT_EQ(GetTextColor(dc), c.text);
            EXPECT_EQ(GetBkColor(dc), c.background);
        } else {
            LRESULT defaultBrush =
                DefWindowProcA(window, c.message, reinterpret_cast<WPARAM>(reference), control);
            EXPECT_EQ(brush, defaultBrush);
            EXPECT_EQ(GetTextColor(dc), GetTextColor(reference));
            EXPECT_EQ(GetBkColor(dc), GetBkColor(reference));
        }
        DeleteDC(dc);
        DeleteDC(reference);
    }
}

} // namespace
