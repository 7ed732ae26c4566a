// The provider's type: the catalogue's "Type" value read for the name in the
// provider box, shown as a name, and passed on to the open. Values of any
// registry type and size, and names at and past the length the key path
// takes.
#include <algorithm>

#include "provider/provider.h"
#include "support/provider_window_test.h"

namespace {

std::string KeyPathOf(const std::string& name) {
    return "SOFTWARE\\Microsoft\\Cryptography\\Defaults\\Provider\\" + name;
}

// Nothing was written past the end of keyPath: containerName follows it, and
// no test here lists a container.
bool ContainerNameUntouched() {
    const char* bytes = appState.containerName;
    return std::all_of(bytes, bytes + sizeof appState.containerName,
                       [](char byte) { return byte == 0; });
}

class ProviderType : public ProviderWindowTest {
  protected:
    DWORD LookUp(const std::string& name) {
        return LookUpProviderType(KeyPathOf(name).c_str());
    }
};

TEST_F(ProviderType, NumbersAsNames) {
    const struct {
        DWORD type;
        const char* name;
    } table[] = {
        {1, "PROV_RSA_FULL"},      {2, "PROV_RSA_SIG"},         {3, "PROV_DSS"},
        {4, "PROV_FORTEZZA"},      {5, "PROV_MS_EXCHANGE"},     {6, "PROV_SSL"},
        {12, "PROV_RSA_SCHANNEL"}, {13, "PROV_DSS_DH"},         {14, "PROV_EC_ECDSA_SIG"},
        {15, "PROV_EC_ECNRA_SIG"}, {16, "PROV_EC_ECDSA_FULL"},  {17, "PROV_EC_ECNRA_FULL"},
        {18, "PROV_DH_SCHANNEL"},  {20, "PROV_SPYRUS_LYNKS"},   {24, "PROV_RSA_AES"},
        {0, "PROV_UNKNOW"},        {7, "PROV_UNKNOW"},          {11, "PROV_UNKNOW"},
        {19, "PROV_UNKNOW"},       {21, "PROV_UNKNOW"},         {23, "PROV_UNKNOW"},
        {25, "PROV_UNKNOW"},       {0xFFFFFFFF, "PROV_UNKNOW"},
    };
    Build();
    for (const auto& entry : table) {
        catalogue.AddProvider("Typed", entry.type);
        EXPECT_EQ(LookUp("Typed"), entry.type);
        EXPECT_EQ(TypeText(), entry.name) << entry.type;
    }
}

TEST_F(ProviderType, FieldStartsBlankUntilATypeIsRead) {
    catalogue.AddProviderWithoutType("Untyped");
    Build();
    EXPECT_EQ(TypeText(), " ");
}

TEST_F(ProviderType, ProviderWithoutTypeKeepsThePreviousName) {
    AddFake("A typed", PROV_RSA_AES);
    catalogue.AddProviderWithoutType("B untyped");
    Build();
    ASSERT_EQ(TypeText(), "PROV_RSA_AES");
    Choose("B untyped");
    EXPECT_EQ(TypeText(), "PROV_RSA_AES");
}

// How the platform answers the open that follows the lookup.
enum class Open {
    Refused, // the number can't be right: refused before the provider is loaded
    Opens,
    Either, // the platform reads a short value into a number of its own; not pinned
};

// The value's bytes are a little-endian number whatever their registry type;
// shorter values fill the low-order bytes, longer ones aren't read at all and
// leave the previous provider's name standing.
TEST_F(ProviderType, ValuesOfAnyRegistryTypeAndSize) {
    const char* kept = "PROV_RSA_SIG"; // the previous provider's
    const struct {
        const char* what;
        DWORD valueType;
        std::vector<BYTE> bytes;
        DWORD number; // what the lookup returns, and the open is given
        const char* shown;
        Open open;
    } cases[] = {
        {"REG_SZ of one character", REG_SZ, {0x18, 0}, 24, "PROV_RSA_AES", Open::Either},
        // The platform reads 0x20AC, its UTF-16, so the type it is given is not the
        // provider's: it refuses and leaves its own key open, on both builds.
        {"REG_SZ of a character past ASCII", REG_SZ, {0x80, 0}, 128, "PROV_UNKNOW", Open::Refused},
        {"REG_SZ of a type name",
         REG_SZ,
         {'P', 'R', 'O', 'V', '_', 'D', 'S', 'S', 0},
         0,
         kept,
         Open::Refused},
        {"REG_BINARY of 0 bytes", REG_BINARY, {}, 0, "PROV_UNKNOW", Open::Refused},
        {"REG_BINARY of 1 byte, 1", REG_BINARY, {0x01}, 1, "PROV_RSA_FULL", Open::Either},
        {"REG_BINARY of 1 byte, 24", REG_BINARY, {0x18}, 24, "PROV_RSA_AES", Open::Either},
        {"REG_BINARY of 2 bytes", REG_BINARY, {0x0C, 0x00}, 12, "PROV_RSA_SCHANNEL", Open::Either},
        {"REG_BINARY of 2 bytes, high one set",
         REG_BINARY,
         {0x0C, 0x01},
         0x10C,
         "PROV_UNKNOW",
         Open::Either},
        {"REG_BINARY of 2 bytes, both 1",
         REG_BINARY,
         {0x01, 0x01},
         0x101,
         "PROV_UNKNOW",
         Open::Either},
        {"REG_BINARY of 3 bytes", REG_BINARY, {0x0D, 0x00, 0x00}, 13, "PROV_DSS_DH", Open::Either},
        {"REG_BINARY of 8 bytes", REG_BINARY, {1, 0, 0, 0, 0, 0, 0, 0}, 0, kept, Open::Refused},
        {"REG_BINARY of 300 bytes", REG_BINARY, std::vector<BYTE>(300, 1), 0, kept, Open::Refused},
        {"REG_DWORD 0", REG_DWORD, {0, 0, 0, 0}, 0, "PROV_UNKNOW", Open::Refused},
        {"REG_DWORD 24", REG_DWORD, {24, 0, 0, 0}, 24, "PROV_RSA_AES", Open::Opens},
        {"REG_DWORD 1000", REG_DWORD, {0xE8, 0x03, 0, 0}, 1000, "PROV_UNKNOW", Open::Refused},
        {"REG_DWORD 0xFFFFFFFF",
         REG_DWORD,
         {0xFF, 0xFF, 0xFF, 0xFF},
         0xFFFFFFFF,
         "PROV_UNKNOW",
         Open::Refused},
        {"REG_DWORD_BIG_ENDIAN 1",
         REG_DWORD_BIG_ENDIAN,
         {0, 0, 0, 1},
         0x01000000,
         "PROV_UNKNOW",
         Open::Refused},
    };
    AddFake("A previous", PROV_RSA_SIG);
    AddFake("B odd type");
    Build();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Choose("A previous");
        ASSERT_EQ(TypeText(), kept);
        catalogue.AddProviderRaw("B odd type", c.valueType, c.bytes);
        ClearFakeProvider("B odd type");
        watcher.seen.clear();

        Choose("B odd type");
        EXPECT_EQ(appState.providerName, std::string("B odd type"));
        EXPECT_EQ(TypeText(), c.shown);
        if (c.open != Open::Either) {
            bool refused = c.open == Open::Refused;
            EXPECT_EQ(FakeProviderRecord("B odd type", "OpenCount"), refused ? 0u : 1u);
            ASSERT_EQ(watcher.seen.size(), refused ? 1u : 0u);
            if (refused) {
                EXPECT_EQ(watcher.seen[0].text, OpenFailedText);
            }
        }
        EXPECT_TRUE(Answers(window));
        EXPECT_EQ(LookUp("B odd type"), c.number);
        EXPECT_EQ(TypeText(), c.shown);
    }
}

// keyPath holds the catalogue path, a backslash and LongestNameLookedUp
// characters of name; the catalogue lists names up to LongestNameListed. A
// name too long for keyPath is opened by its whole name without a lookup, so
// the previous provider's type stays and no number is passed: the open fails.
TEST(ProviderNames, AtAndPastTheBufferLimits) {
    const struct {
        size_t length;
        bool listedWhole; // false: the enumeration can't take it, the entry is empty
        bool typeLookedUp;
    } cases[] = {
        {1, true, true},
        {LongestNameLookedUp, true, true},
        {LongestNameLookedUp + 1, true, false},
        {230, true, false},
        {LongestNameListed, true, false},
        {LongestNameListed + 1, false, false},
    };
    const std::string other = "zz short"; // sorts after every long name
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        std::string name;
        for (size_t i = 0; i < c.length; ++i)
            name += static_cast<char>('a' + i % 26);
        const std::string entry = c.listedWhole ? name : "";
        const bool keyPathBuilt = entry.size() <= LongestNameLookedUp;
        ScratchCatalogue catalogue;
        for (const std::string& each : {name, other})
            ClearFakeProvider(each);
        catalogue.AddProvider(name, PROV_RSA_FULL, FakeProviderPath());
        catalogue.AddProvider(other, PROV_RSA_AES, FakeProviderPath());

        MessageBoxWatcher watcher;
        TestWindow window; // its first refresh inspects the long name
        EXPECT_EQ(ComboEntries(appState.providerCombo), (Names{entry, other}));
        EXPECT_EQ(ComboShownText(appState.providerCombo), entry);
        EXPECT_EQ(appState.providerName, entry);
        EXPECT_EQ(TextOf(appState.typeField), c.typeLookedUp ? "PROV_RSA_FULL" : " ");
        EXPECT_EQ(appState.keyPath, keyPathBuilt ? KeyPathOf(entry) : "");
        EXPECT_EQ(FakeProviderRecord(name, "OpenCount"), c.typeLookedUp ? 1u : 0u);
        ASSERT_EQ(watcher.seen.size(), c.typeLookedUp ? 0u : 1u);
        if (!c.typeLookedUp) {
            EXPECT_EQ(watcher.seen[0].text, OpenFailedText);
            // Owned by the window being built, before CreateWindowExA has returned.
            EXPECT_EQ(watcher.seen[0].owner, window);
        }

        ChooseProviderAt(window, 1);
        ASSERT_EQ(TextOf(appState.typeField), "PROV_RSA_AES");
        watcher.seen.clear();
        ChooseProviderAt(window, 0);
        EXPECT_EQ(appState.providerName, entry); // opened by its whole name
        EXPECT_EQ(TextOf(appState.typeField), c.typeLookedUp ? "PROV_RSA_FULL" : "PROV_RSA_AES");
        EXPECT_EQ(appState.keyPath, KeyPathOf(keyPathBuilt ? entry : other));
        EXPECT_TRUE(ContainerNameUntouched());
        EXPECT_EQ(watcher.seen.size(), c.typeLookedUp ? 0u : 1u);
        if (!watcher.seen.empty()) {
            EXPECT_EQ(watcher.seen[0].owner, window);
        }
        EXPECT_TRUE(Answers(window));
        for (const std::string& each : {name, other})
            ClearFakeProvider(each);
    }
}

} // namespace
