// The stand-in provider, driven through CryptoAPI the way Keyscry drives a
// real one: the other tests trust what it answers and records.
#include <gtest/gtest.h>

#include "fake_provider/fake_provider_config.h"
#include "support/common.h"
#include "support/keyscry_numbers.h"
#include "support/scratch_catalogue.h"

namespace {

const char Fake[] = "Fake Provider Under Test"; // not the DLL's own name

struct Answer {
    BOOL result;
    DWORD error;
    DWORD length;
    std::vector<BYTE> data; // the first `length` bytes written, on success
};

constexpr DWORD SizeQuery = 0xFFFFFFFF;

Answer Call(HCRYPTPROV handle, DWORD param, DWORD capacity, DWORD flags) {
    std::vector<BYTE> buffer(capacity == SizeQuery ? 0 : capacity + 1, 0xCC);
    DWORD length = capacity == SizeQuery ? 0 : capacity;
    SetLastError(0);
    BOOL result = CryptGetProvParam(handle, param, capacity == SizeQuery ? nullptr : buffer.data(),
                                    &length, flags);
    Answer answer{result, GetLastError(), length, {}};
    if (result && capacity != SizeQuery)
        answer.data.assign(buffer.begin(), buffer.begin() + std::min(length, capacity));
    return answer;
}

std::vector<BYTE> Bytes(const std::string& text) {
    return std::vector<BYTE>(text.c_str(), text.c_str() + text.size() + 1);
}

class FakeProvider : public testing::Test {
  protected:
    void SetUp() override {
        ClearFakeProvider(Fake);
        catalogue.AddProvider(Fake, PROV_RSA_FULL, FakeProviderPath());
    }
    void TearDown() override {
        if (handle)
            CryptReleaseContext(handle, 0);
        ClearFakeProvider(Fake);
    }
    bool Open(DWORD flags = CRYPT_VERIFYCONTEXT, const char* container = nullptr) {
        return CryptAcquireContextA(&handle, container, Fake, PROV_RSA_FULL, flags);
    }
    void Release() {
        CryptReleaseContext(handle, 0);
        handle = 0;
    }
    ScratchCatalogue catalogue;
    HCRYPTPROV handle = 0;
};

TEST_F(FakeProvider, KnowsItsNameAndRecordsOpens) {
    ASSERT_TRUE(Open());
    Release();
    ASSERT_TRUE(Open(0));
    EXPECT_EQ(FakeProviderRecord(Fake, "OpenCount"), 2u);
    EXPECT_EQ(FakeProviderRecord(Fake, "LastOpenFlags"), 0u);
    EXPECT_EQ(FakeProviderRecord(Fake, "OpensWithoutVerifyContext"), 1u);
    EXPECT_EQ(FakeProviderRecord(Fake, "SawCryptNext"), 0u);
    Call(handle, PP_ENUMCONTAINERS, SizeQuery, CRYPT_NEXT);
    EXPECT_EQ(FakeProviderRecord(Fake, "SawCryptNext"), 1u);
    Release();
    EXPECT_EQ(FakeProviderCallLog(Fake),
              (std::vector<std::string>{"open null 0", "containers 2 size 0>0 =0", "release 0"}));
    for (const char* container : {"", "kc"}) {
        ASSERT_TRUE(Open(0, container));
        EXPECT_EQ(FakeProviderCallLog(Fake)[0], "open \"" + std::string(container) + "\" 0");
        Release();
    }
}

TEST_F(FakeProvider, FailsToOpenWhenTold) {
    SetFakeProviderValue(Fake, "FailAcquire", 1);
    EXPECT_FALSE(Open());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NTE_BAD_KEYSET));
    EXPECT_EQ(FakeProviderRecord(Fake, "OpenCount"), 1u);
}

struct Step {
    DWORD capacity, flags;
    BOOL result;
    DWORD error; // checked when the call fails
    DWORD length;
    std::vector<BYTE> data;
};

// Asks for `param` once a step, each call answered as its step says.
void ExpectSteps(HCRYPTPROV handle, DWORD param, const std::vector<Step>& steps) {
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "param " << param << ", step " << i + 1);
        const Step& step = steps[i];
        Answer answer = Call(handle, param, step.capacity, step.flags);
        EXPECT_EQ(answer.result, step.result);
        if (!answer.result) {
            EXPECT_EQ(answer.error, step.error);
        }
        EXPECT_EQ(answer.length, step.length);
        EXPECT_EQ(answer.data, step.data);
    }
}

TEST_F(FakeProvider, EnumeratesContainersStepByStep) {
    std::vector<BYTE> raw(100, 'r');
    SetFakeProviderContainers(Fake, {"c", "bb"});
    SetFakeProviderContainerRaw(Fake, raw);
    ASSERT_TRUE(Open());
    ExpectSteps(handle, PP_ENUMCONTAINERS,
                {
                    {SizeQuery, CRYPT_FIRST, TRUE, 0, 2, {}},
                    {SizeQuery, 0, TRUE, 0, 2, {}}, // a size query doesn't move on
                    {1, CRYPT_FIRST, FALSE, ERROR_MORE_DATA, 2, {}},
                    {100, 0, TRUE, 0, 2, Bytes("c")},
                    {100, 0, TRUE, 0, 3, Bytes("bb")},
                    {99, 0, FALSE, ERROR_MORE_DATA, 100, {}},
                    {SizeQuery, 0, TRUE, 0, 100, {}},
                    {100, 0, TRUE, 0, 100, raw},
                    {SizeQuery, 0, FALSE, ERROR_NO_MORE_ITEMS, 0, {}},
                    {100, 0, FALSE, ERROR_NO_MORE_ITEMS, 100, {}},
                    {100, 0, FALSE, ERROR_NO_MORE_ITEMS, 100, {}}, // a call after the end
                    {100, CRYPT_FIRST, TRUE, 0, 2, Bytes("c")},    // starts over
                });
    EXPECT_EQ(FakeProviderRecord(Fake, "CallsAfterEnd"), 1u);
    Release();
    EXPECT_EQ(FakeProviderRecord(Fake, "ScriptedContainers"), 1u); // since CRYPT_FIRST
}

// A record's bytes, padded with zeros to `size`.
std::vector<BYTE> Padded(const PROV_ENUMALGS_EX& record, size_t size) {
    std::vector<BYTE> bytes(size, 0);
    std::memcpy(bytes.data(), &record, sizeof record);
    return bytes;
}

TEST_F(FakeProvider, SizesAndTrueValueAsConfigured) {
    PROV_ENUMALGS_EX first = FakeAlgorithm(CALG_RC2, "RC2", 0xF, "RC2 block cipher", 40, 128, 40);
    PROV_ENUMALGS_EX second = FakeAlgorithm(CALG_MD5, "MD5", 0, "MD5 hash", 128, 128, 128);
    SetFakeProviderAlgorithms(Fake, {first, second});
    SetFakeProviderValue(Fake, "AlgorithmSize", 100);
    SetFakeProviderContainers(Fake, {"abc"});
    SetFakeProviderValue(Fake, "ContainerSize", 6);
    SetFakeProviderValue(Fake, "TrueValue", 2);
    ASSERT_TRUE(Open());
    ExpectSteps(handle, PP_ENUMALGS_EX,
                {
                    {SizeQuery, CRYPT_FIRST, TRUE, 0, 100, {}},
                    {88, CRYPT_FIRST, FALSE, ERROR_MORE_DATA, 100, {}},
                    {100, 0, 2, 0, 100, Padded(first, 100)},
                    {100, 0, 2, 0, 100, Padded(second, 100)},
                    {100, 0, FALSE, ERROR_NO_MORE_ITEMS, 100, {}},
                });
    ExpectSteps(handle, PP_ENUMCONTAINERS, {{100, CRYPT_FIRST, 2, 0, 6, {'a', 'b', 'c', 0, 0, 0}}});
    ExpectSteps(handle, PP_KEYSET_SEC_DESCR,
                {{100, 0, FALSE, static_cast<DWORD>(NTE_BAD_TYPE), 100, {}}});
}

// Data calls answered in a row from CRYPT_FIRST on, up to `limit`, and the
// last entry answered.
std::pair<DWORD, std::vector<BYTE>> AnsweredInARow(HCRYPTPROV handle, DWORD param, DWORD limit) {
    std::pair<DWORD, std::vector<BYTE>> answered;
    for (DWORD flags = CRYPT_FIRST; answered.first < limit; flags = 0) {
        Answer answer = Call(handle, param, 100, flags);
        if (!answer.result)
            break;
        ++answered.first;
        answered.second = answer.data;
    }
    return answered;
}

// The algorithm template answers its count of records, taking over from the
// list of algorithms; an endless enumeration answers past any bound.
TEST_F(FakeProvider, TemplateRepeatsAndEndlessEnumerationsAnswerPastAnyBound) {
    constexpr DWORD Past = 2 * EntriesBound; // beyond any script too
    char lastEndless[24]; // the last container asked for: "Endless ", its index in ten digits
    wsprintfA(lastEndless, "Endless %010lu", Past - 1);
    const PROV_ENUMALGS_EX record = FakeAlgorithm(CALG_MD5, "MD5", 0, "MD5 hash", 128, 128, 128);
    const std::vector<BYTE> recordBytes = Padded(record, sizeof record);
    const struct {
        DWORD endless;
        DWORD containers, algorithms;
        std::vector<BYTE> lastContainer;
        size_t logRows; // the open, the calls (255 at most), the release
    } cases[] = {
        {0, 1, 2, Bytes("only"), 7},
        {FakeEndlessContainers, Past, 2, Bytes(lastEndless), 257},
        {FakeEndlessAlgorithms, 1, Past, Bytes("only"), 257},
        {FakeEndlessContainers | FakeEndlessAlgorithms, Past, Past, Bytes(lastEndless), 257},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.endless);
        ClearFakeProvider(Fake);
        SetFakeProviderContainers(Fake, {"only"});
        SetFakeProviderAlgorithms(Fake, {record, record, record, record});
        SetFakeProviderAlgorithmTemplate(Fake, record, 2);
        SetFakeProviderValue(Fake, "Endless", test.endless);
        ASSERT_TRUE(Open());
        auto containers = AnsweredInARow(handle, PP_ENUMCONTAINERS, Past);
        auto algorithms = AnsweredInARow(handle, PP_ENUMALGS_EX, Past);
        Release();
        EXPECT_EQ(FakeProviderCallLog(Fake).size(), test.logRows);
        EXPECT_EQ(containers.first, test.containers);
        EXPECT_EQ(containers.second, test.lastContainer);
        EXPECT_EQ(algorithms.first, test.algorithms);
        EXPECT_EQ(algorithms.second, recordBytes);
    }
}

// Every answer of one open, in order, as text: what a seed makes happen.
std::string ScriptedRun(HCRYPTPROV handle) {
    std::string run;
    for (DWORD param : {PP_ENUMCONTAINERS, PP_ENUMALGS_EX}) {
        DWORD flags = CRYPT_FIRST;
        for (int call = 0; call < 250000; ++call, flags = 0) {
            Answer size = Call(handle, param, SizeQuery, flags);
            Answer data = Call(handle, param, 1000, flags); // every scripted entry fits
            run += std::to_string(size.result) + ":" + std::to_string(size.length) + "/" +
                   std::to_string(data.result) + ":" + std::to_string(data.length) + " ";
            if (!data.result && data.error == ERROR_NO_MORE_ITEMS) {
                run += "end";
                break;
            }
        }
        run += "\n";
    }
    return run;
}

TEST_F(FakeProvider, SeededScriptRepeatsItselfAndEnds) {
    std::vector<std::string> runs;
    for (DWORD seed : {7u, 7u, 8u}) {
        SetFakeProviderValue(Fake, "Seed", seed);
        if (!Open()) {
            runs.push_back("failed to open");
            continue;
        }
        runs.push_back(ScriptedRun(handle));
        Release();
        EXPECT_LT(FakeProviderRecord(Fake, "ScriptedContainers"), 100001u);
    }
    EXPECT_EQ(runs[0], runs[1]);
    EXPECT_NE(runs[0], runs[2]);
    EXPECT_EQ(runs[0].substr(runs[0].size() - 4), "end\n");
    EXPECT_NE(runs[0].find("end\n"), runs[0].size() - 4); // both enumerations ended
}

} // namespace
