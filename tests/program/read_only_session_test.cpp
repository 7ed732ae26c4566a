// Keyscry only reads. A whole session of the real executable (every provider
// of the prefix visited, Refresh, names typed, About, Exit) leaves the
// prefix's HKLM\Software and HKCU, every file and folder of its drive C:, and
// those of Keyscry's own and working folders as they were. That every open is
// a verification context is checked where the refresh is.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "support/keyscry_numbers.h"
#include "support/keyscry_texts.h"
#include "support/message_boxes.h"
#include "support/other_process.h"

namespace {

const char ExportPrefix[] = "read_only_";

// The registry below `root` as reg.exe exports it, one entry per value line,
// each prefixed with its key.
std::set<std::string> ExportedRegistry(const char* root, const std::string& name) {
    std::string file = BinaryFolder() + ExportPrefix + name + ".reg";
    EXPECT_EQ(RunToEnd("reg.exe export \"" + std::string(root) + "\" \"" + file + "\" /y"), 0u)
        << root;
    std::set<std::string> entries;
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return entries;
    std::wstring text(GetFileSize(handle, nullptr) / sizeof(wchar_t), L'\0');
    DWORD read = 0;
    ReadFile(handle, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read,
             nullptr);
    CloseHandle(handle);
    DeleteFileA(file.c_str());
    std::wstring key, line;
    for (wchar_t c : text) {
        if (c != L'\n') {
            if (c != L'\r')
                line += c;
            continue;
        }
        if (!line.empty() && line[0] == L'[')
            key = line;
        if (!line.empty()) {
            const std::wstring entry = line == key ? key : key + L" " + line;
            entries.insert(Narrow(entry.c_str(), static_cast<int>(entry.size()), CP_UTF8));
        }
        line.clear();
    }
    return entries;
}

// Every file and folder in `folder` (and below it when recursive), each file
// with its size and time of last write.
void ListFiles(const std::string& folder, bool recursive, std::map<std::string, std::string>& out) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == ".." || name.rfind(ExportPrefix, 0) == 0)
            continue;
        std::string path = folder + name;
        // A folder's own time changes with whatever happens inside it, which
        // shows in the listing of its content.
        bool isFolder = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        out[path] = isFolder ? "folder"
                             : std::to_string(found.nFileSizeLow) + " bytes, written " +
                                   std::to_string(found.ftLastWriteTime.dwHighDateTime) + ":" +
                                   std::to_string(found.ftLastWriteTime.dwLowDateTime);
        if (recursive && isFolder && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            ListFiles(path + "\\", true, out);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

std::map<std::string, std::string> FilesKeyscryCouldTouch() {
    std::map<std::string, std::string> files;
    ListFiles("C:\\", true, files);
    ListFiles(BinaryFolder(), false, files); // Keyscry's own folder
    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(MAX_PATH, current);
    ListFiles(std::string(current) + "\\", false, files); // and its working folder
    return files;
}

struct Snapshot {
    std::set<std::string> machine;
    std::set<std::string> user;
    std::map<std::string, std::string> files;
};

Snapshot TakeSnapshot(const std::string& when) {
    return {ExportedRegistry("HKLM\\Software", "machine_" + when),
            ExportedRegistry("HKCU", "user_" + when), FilesKeyscryCouldTouch()};
}

std::string Differences(const std::set<std::string>& before, const std::set<std::string>& after) {
    std::string differences;
    for (const std::string& entry : before)
        if (!after.count(entry))
            differences += "\n  gone: " + entry;
    for (const std::string& entry : after)
        if (!before.count(entry))
            differences += "\n  new:  " + entry;
    return differences;
}

std::set<std::string> Described(const std::map<std::string, std::string>& files) {
    std::set<std::string> described;
    for (const auto& [path, state] : files)
        described.insert(path + " " + state);
    return described;
}

// Keyscry's message boxes, answered with OK as a user would.
struct BoxAnswerer {
    const StartedProgram& keyscry;
    std::vector<std::string> captions;
    std::vector<std::string> texts;

    // Answers whatever box is up, once it is ready; false when there is none.
    bool AnswerOne() {
        HWND box = WaitForWindowOf(keyscry, MessageBoxClass, nullptr, 0);
        if (!box)
            return false;
        if (WaitUntilReady(box)) {
            captions.push_back(WindowTextOf(box));
            texts.push_back(WindowTextOf(GetDlgItem(box, MessageBoxTextId)));
        }
        // Answered even when it never got ready (the test has failed then),
        // so that the session goes on.
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }))
            << "a message box of Keyscry was still up after OK";
        return true;
    }
};

struct SentMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// 1 when the handling was over within the time.
DWORD WINAPI SendFromThread(void* param) {
    auto* sent = static_cast<SentMessage*>(param);
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(sent->window, sent->message, sent->wParam, sent->lParam, SMTO_NORMAL,
                               60000, &result) != 0;
}

// Sends the message and answers every box that its handling opens, until
// the handling is over.
void SendAnsweringBoxes(BoxAnswerer& answerer, SentMessage message) {
    HANDLE thread = CreateThread(nullptr, 0, SendFromThread, &message, 0, nullptr);
    while (WaitForSingleObject(thread, 50) == WAIT_TIMEOUT)
        answerer.AnswerOne();
    DWORD handled = 0;
    GetExitCodeThread(thread, &handled);
    EXPECT_EQ(handled, 1u) << "Keyscry did not finish handling message 0x" << std::hex
                           << message.message << ", wParam 0x" << message.wParam;
    CloseHandle(thread);
}

} // namespace

TEST(NothingWritten, WholeSessionOfTheRealExecutable) {
    Snapshot before = TakeSnapshot("before");
    ASSERT_FALSE(before.machine.empty());

    StartedProgram keyscry = StartKeyscry();
    ASSERT_TRUE(keyscry.process);
    HWND window = WaitForKeyscryWindow(keyscry);
    ASSERT_TRUE(window);
    BoxAnswerer answerer{keyscry, {}, {}};
    // The first refresh runs before the window is shown; it may fail, and
    // its box is answered meanwhile.
    ASSERT_TRUE(WaitUntil([&] {
        answerer.AnswerOne();
        return IsWindowVisible(window) != FALSE;
    })) << "Keyscry's window was not shown";

    HWND providerCombo = GetDlgItem(window, ProviderId);
    HWND algorithmList = GetDlgItem(window, AlgorithmsId);
    LRESULT providers = SendMessageA(providerCombo, CB_GETCOUNT, 0, 0);
    EXPECT_GT(providers, 0);
    LRESULT providersWithRows = 0;
    for (LRESULT i = 0; i < providers; ++i) {
        SendMessageA(providerCombo, CB_SETCURSEL, i, 0);
        SendAnsweringBoxes(answerer, {window, WM_COMMAND, MAKEWPARAM(ProviderId, CBN_SELCHANGE),
                                      reinterpret_cast<LPARAM>(providerCombo)});
        providersWithRows += SendMessageA(algorithmList, LB_GETCOUNT, 0, 0) > 0;
    }
    EXPECT_GT(providersWithRows, 0); // the session did open real providers
    SendAnsweringBoxes(answerer, {window, WM_COMMAND, RefreshId, 0});
    // Names typed into the box, one without a key and one too long for the key
    // path; Refresh reads the box's list, not the typed text.
    HWND typedInto = FindWindowExA(providerCombo, nullptr, "Edit", nullptr);
    for (const std::string& typed :
         {std::string("No Such Provider"), std::string(LongestNameLookedUp + 1, 'k')}) {
        SendMessageA(typedInto, EM_SETSEL, 0, -1);
        for (char c : typed)
            PostMessageA(typedInto, WM_CHAR, static_cast<unsigned char>(c), 1);
        EXPECT_TRUE(WaitUntil([&] { return FieldTextOf(typedInto) == typed; })) << typed;
        SendAnsweringBoxes(answerer, {window, WM_COMMAND, RefreshId, 0});
    }
    for (const std::string& text : answerer.texts)
        EXPECT_EQ(text, OpenFailedText);

    size_t boxesBeforeAbout = answerer.captions.size();
    SendAnsweringBoxes(answerer, {window, WM_COMMAND, AboutId, 0});
    ASSERT_EQ(answerer.captions.size(), boxesBeforeAbout + 1);
    EXPECT_EQ(answerer.captions.back(), AboutCaption);

    PostMessageA(window, WM_COMMAND, ExitId, 0);
    EXPECT_EQ(WaitForExit(keyscry, Patience), 0u);
    EndProgram(keyscry);

    Snapshot after = TakeSnapshot("after");
    EXPECT_EQ(Differences(before.machine, after.machine), "") << "HKLM\\Software changed";
    EXPECT_EQ(Differences(before.user, after.user), "") << "HKCU changed";
    EXPECT_EQ(Differences(Described(before.files), Described(after.files)), "") << "files changed";
}
