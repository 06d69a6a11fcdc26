#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "oauth/credential_file.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

class CredentialFile : public ::testing::Test {
  protected:
    void SetUp() override {
        loadedToken = "earlier token";
        loadedTokenSecret = "earlier secret";
    }
    std::string write(const std::string& bytes) {
        const fs::path path = folder_ / "key.txt";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        return path.string();
    }

    std::string path() const { return (folder_ / "key.txt").string(); }

    std::string contents() const { return readBytes(path()); }

    TempFolder scratch_;
    const fs::path& folder_ = scratch_.path();
};

TEST_F(CredentialFile, ReadsTheFirstTwoLinesWithoutTheirLineEnds) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string token;
        std::string secret;
    };
    const Case cases[] = {
        {"LF ends", "tok-1\nsecret-1\n", "tok-1", "secret-1"},
        {"CR LF ends", "tok-2\r\nsecret-2\r\n", "tok-2", "secret-2"},
        {"mixed ends", "tok-3\r\nsecret-3\n", "tok-3", "secret-3"},
        {"last line without an end", "tok-4\r\nsecret-4", "tok-4", "secret-4"},
        {"line ends converted twice", "tok-5\r\r\nsecret-5\r\r\n", "tok-5", "secret-5"},
        {"further lines ignored", "tok-5\nsecret-5\nthird\nfourth\n", "tok-5", "secret-5"},
        {"two empty lines", "\r\n\r\n", "", ""},
        {"inner CR and spaces kept", " a\rb \n s \n", " a\rb ", " s "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        loadedToken = "stale";
        loadedTokenSecret = "stale";
        EXPECT_TRUE(LoadCredentialFile(write(c.bytes)));
        EXPECT_EQ(loadedToken, c.token);
        EXPECT_EQ(loadedTokenSecret, c.secret);
    }
}

TEST_F(CredentialFile, FailsWithoutTwoLinesAndKeepsWhatItRead) {
    EXPECT_FALSE(LoadCredentialFile((folder_ / "absent.txt").string()));
    EXPECT_EQ(loadedToken, "earlier token");
    EXPECT_EQ(loadedTokenSecret, "earlier secret");

    EXPECT_FALSE(LoadCredentialFile(write("")));
    EXPECT_EQ(loadedToken, "earlier token");

    for (const std::string oneLine : {"only-token\r\n", "only-token\n", "only-token"}) {
        SCOPED_TRACE(oneLine);
        loadedTokenSecret = "earlier secret";
        EXPECT_FALSE(LoadCredentialFile(write(oneLine)));
        EXPECT_EQ(loadedToken, "only-token");
        EXPECT_EQ(loadedTokenSecret, "earlier secret");
    }
}

TEST_F(CredentialFile, RefusesALineLongerThanTheLimitInsteadOfCuttingIt) {
    const std::string longest(kCredentialLineLimit, 't');
    const std::string tooLong(kCredentialLineLimit + 1, 't');

    EXPECT_TRUE(LoadCredentialFile(write(longest + "\r\n" + longest + "\r\n")));
    EXPECT_EQ(loadedToken, longest);
    EXPECT_EQ(loadedTokenSecret, longest);
    EXPECT_TRUE(LoadCredentialFile(write(longest + "\n" + longest)));
    EXPECT_EQ(loadedTokenSecret, longest);

    loadedToken = "earlier token";
    loadedTokenSecret = "earlier secret";
    EXPECT_FALSE(LoadCredentialFile(write(tooLong + "\nsecret\n")));
    EXPECT_EQ(loadedToken, "earlier token");
    EXPECT_EQ(loadedTokenSecret, "earlier secret");

    // A cut-off read would have taken the tail of the long line as the second value.
    EXPECT_FALSE(LoadCredentialFile(write(std::string(2 * kCredentialLineLimit, 'x') + "\n")));
    EXPECT_EQ(loadedToken, "earlier token");

    EXPECT_FALSE(LoadCredentialFile(write("token\r\n" + tooLong)));
    EXPECT_EQ(loadedToken, "token");
    EXPECT_EQ(loadedTokenSecret, "earlier secret");
}

TEST_F(CredentialFile, DefaultPathIsKeyTxtUnderTxtsOfTheWorkingDirectory) {
    fs::create_directory(folder_ / "txts");
    std::ofstream(folder_ / "txts" / "key.txt", std::ios::binary) << "dir-token\r\ndir-secret\r\n";
    const fs::path previous = fs::current_path();
    fs::current_path(folder_);
    const bool loaded = LoadCredentialFile();
    fs::current_path(previous);
    EXPECT_TRUE(loaded);
    EXPECT_EQ(loadedToken, "dir-token");
    EXPECT_EQ(loadedTokenSecret, "dir-secret");
}

TEST_F(CredentialFile, AStoredPairReadsBackAsExactlyTheTwoValues) {
    ASSERT_TRUE(StoreCredentialFile("access-token", "access-secret", path()));
    EXPECT_EQ(contents(), "access-token\naccess-secret\n");
    ASSERT_TRUE(LoadCredentialFile(path()));
    EXPECT_EQ(loadedToken, "access-token");
    EXPECT_EQ(loadedTokenSecret, "access-secret");

    const std::string longest(kCredentialLineLimit, 's');
    fs::remove(path());
    ASSERT_TRUE(StoreCredentialFile(longest, longest, path()));
    ASSERT_TRUE(LoadCredentialFile(path()));
    EXPECT_EQ(loadedToken, longest);
    EXPECT_EQ(loadedTokenSecret, longest);
}

TEST_F(CredentialFile, AFileThatIsNoPairIsReplacedNotAppendedTo) {
    const std::string tooLong(kCredentialLineLimit + 1, 't');
    for (const std::string& old :
         {std::string(""), std::string("old-token\r\n"), std::string("old-token"),
          tooLong + "\r\nold-secret\r\n", "old-token\r\n" + tooLong + "\r\n"}) {
        SCOPED_TRACE(old.substr(0, 20));
        write(old);
        ASSERT_TRUE(StoreCredentialFile("new-token", "new-secret", path()));
        EXPECT_EQ(contents(), "new-token\nnew-secret\n");
        ASSERT_TRUE(LoadCredentialFile(path()));
        EXPECT_EQ(loadedToken, "new-token");
        EXPECT_EQ(loadedTokenSecret, "new-secret");
        EXPECT_FALSE(fs::exists(path() + ".tmp"));
    }
}

TEST_F(CredentialFile, AReadablePairIsNeverOverwritten) {
    write("granted-token\r\ngranted-secret\r\n");
    ASSERT_TRUE(StoreCredentialFile("new-token", "new-secret", path()));
    EXPECT_EQ(contents(), "granted-token\r\ngranted-secret\r\nnew-token\nnew-secret\n");
    ASSERT_TRUE(LoadCredentialFile(path()));
    EXPECT_EQ(loadedToken, "granted-token");
}

TEST_F(CredentialFile, ValuesThatWouldNotReadBackAreRefusedAndNothingIsWritten) {
    const std::string tooLong(kCredentialLineLimit + 1, 'x');
    write("old-token\r\n");
    for (const auto& [token, secret] :
         {std::pair{std::string("tok\nen"), std::string("secret")},
          std::pair{std::string("token"), std::string("sec\rret")},
          std::pair{tooLong, std::string("s")}, std::pair{std::string("t"), tooLong}}) {
        SCOPED_TRACE(token.substr(0, 10) + "/" + secret.substr(0, 10));
        EXPECT_FALSE(IsStorableCredential(token) && IsStorableCredential(secret));
        EXPECT_FALSE(StoreCredentialFile(token, secret, path()));
        EXPECT_EQ(contents(), "old-token\r\n");
    }
}

TEST_F(CredentialFile, AMissingFolderTakesNothing) {
    const std::string inMissingFolder = (folder_ / "missing" / "key.txt").string();
    EXPECT_FALSE(StoreCredentialFile("token", "secret", inMissingFolder));
    EXPECT_FALSE(fs::exists(folder_ / "missing"));
}

}  // namespace
