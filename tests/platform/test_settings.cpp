#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/reg_document.h"
#include "platform/registry.h"
#include "platform/settings_store.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

using test::TempDir;
using namespace std::string_literals;

// Points the process's settings at a fresh file for one test.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_file = m_dir.file("settings.reg");
        SettingsStore::use_file(m_file);
    }
    std::string contents() const { return test::read_file_bytes(m_file); }

    TempDir m_dir;
    std::string m_file;
};

const std::u16string kKey = u"HKEY_CURRENT_USER\\Software\\TEKU\\Vistrel";

TEST(SplitRoot, RecognisesTheRootsAsPrefixes) {
    EXPECT_EQ(split_root(u"HKEY_CURRENT_USER\\Software\\TEKU").root, RootKey::CurrentUser);
    EXPECT_EQ(split_root(u"HKEY_CURRENT_USER\\Software\\TEKU").sub_key, u"Software\\TEKU");
    EXPECT_EQ(split_root(u"HKEY_LOCAL_MACHINE\\X").root, RootKey::LocalMachine);
    EXPECT_EQ(split_root(u"HKEY_CLASSES_ROOT\\X").root, RootKey::ClassesRoot);
    EXPECT_EQ(split_root(u"HKEY_USERS\\X").root, RootKey::Users);
    EXPECT_EQ(split_root(u"HKEY_CURRENT_CONFIG\\X").root, RootKey::None);
    EXPECT_EQ(split_root(u"Software\\TEKU").root, RootKey::None);
    // Plain prefix: one character after the root name is skipped, whatever it is.
    EXPECT_EQ(split_root(u"HKEY_USERSx\\Y").sub_key, u"\\Y");
}

TEST_F(SettingsTest, StringAndNumberValuesRoundTrip) {
    EXPECT_TRUE(write_string(kKey, u"Skin", u"dark \"night\" \\ \u0416"));
    EXPECT_TRUE(write_dword(kKey, u"Count", 0xDEADBEEF));
    std::u16string text;
    uint32_t number = 0;
    EXPECT_TRUE(read_string(kKey, u"Skin", text));
    EXPECT_EQ(text, u"dark \"night\" \\ \u0416");
    EXPECT_TRUE(read_dword(kKey, u"Count", number));
    EXPECT_EQ(number, 0xDEADBEEFu);
    EXPECT_NE(contents().find("\"Count\"=dword:deadbeef"), std::string::npos);
    // Value names compare without regard to case, as registry names do.
    EXPECT_TRUE(read_string(kKey, u"SKIN", text));
}

TEST_F(SettingsTest, ReadingAMissingKeyCreatesItAndFails) {
    std::u16string text = u"unchanged";
    uint32_t number = 7;
    EXPECT_FALSE(read_string(kKey, u"Language", text));
    EXPECT_EQ(text, u"unchanged");
    EXPECT_NE(contents().find("[HKEY_CURRENT_USER\\Software\\TEKU\\Vistrel]"), std::string::npos);
    EXPECT_FALSE(read_dword(u"HKEY_CURRENT_USER\\Other", u"Log", number));
    EXPECT_EQ(number, 7u);
    EXPECT_NE(contents().find("[HKEY_CURRENT_USER\\Other]"), std::string::npos);
}

TEST_F(SettingsTest, EmptyStringReadsAsEmptyWithSuccess) {
    ASSERT_TRUE(write_string(kKey, u"Language", u""));
    std::u16string text = u"x";
    EXPECT_TRUE(read_string(kKey, u"Language", text));
    EXPECT_TRUE(text.empty());
}

TEST_F(SettingsTest, TypeMismatchesReadAsFalse) {
    ASSERT_TRUE(write_string(kKey, u"Log", u"1"));
    ASSERT_TRUE(write_dword(kKey, u"Skin", 1));
    std::u16string text = u"keep";
    uint32_t number = 9;
    EXPECT_FALSE(read_dword(kKey, u"Log", number));
    EXPECT_EQ(number, 9u);
    EXPECT_FALSE(read_string(kKey, u"Skin", text));
    EXPECT_EQ(text, u"keep");
}

TEST_F(SettingsTest, PathsWithoutAKnownRootFailWithoutTouchingTheFile) {
    std::u16string text;
    EXPECT_FALSE(write_string(u"HKEY_CURRENT_CONFIG\\X", u"A", u"b"));
    EXPECT_FALSE(read_string(u"Software\\TEKU", u"A", text));
    EXPECT_FALSE(write_dword(u"", u"A", 1));
    EXPECT_TRUE(contents().empty());
}

TEST_F(SettingsTest, DamagedFilesReadAsAbsentAndKeepWhatWasNotChanged) {
    test::write_file(m_file,
                     "garbage line\n\xff\xfe\x00 not utf-8 \xc3\x28\n"
                     "[HKEY_CURRENT_USER\\Software\\TEKU\\Vistrel]\n"
                     "\"Bad\"=dword:xyz\n"
                     "\"Wide\"=hex(2):41,00,00,00\n"
                     "\"Cut\"=\"no end\n"
                     "\"Skin\"=\"kept\"\n"
                     "\xc3\x28 broken line\n"
                     "\"Log\"=dword:0000"s);  // cut short, yet well-formed
    std::u16string text;
    uint32_t number = 5;
    EXPECT_FALSE(read_dword(kKey, u"Bad", number));
    EXPECT_FALSE(read_string(kKey, u"Wide", text));
    EXPECT_FALSE(read_string(kKey, u"Cut", text));
    EXPECT_TRUE(read_dword(kKey, u"Log", number));
    EXPECT_EQ(number, 0u);
    ASSERT_TRUE(write_string(kKey, u"Language", u"english"));
    const std::string after = contents();
    EXPECT_NE(after.find("\"Skin\"=\"kept\""), std::string::npos);
    EXPECT_NE(after.find("\"Wide\"=hex(2):41,00,00,00"), std::string::npos);
    EXPECT_NE(after.find("garbage line"), std::string::npos);
    EXPECT_NE(after.find("\xc3\x28 broken line"), std::string::npos);
    EXPECT_NE(after.find("\"Language\"=\"english\""), std::string::npos);
}

TEST_F(SettingsTest, Utf16ExportsFromOtherToolsAreRead) {
    const std::string utf8 =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\TEKU]\r\n"
        "\"Log\"=dword:00000001\r\n";
    std::string bytes = "\xFF\xFE";
    for (char c : utf8) bytes += std::string{c, '\0'};
    test::write_file(m_file, bytes);
    uint32_t number = 0;
    EXPECT_TRUE(read_dword(u"HKEY_CURRENT_USER\\Software\\TEKU", u"Log", number));
    EXPECT_EQ(number, 1u);
}

TEST_F(SettingsTest, ChangesMadeOnDiskAreSeenByTheNextRead) {
    ASSERT_TRUE(write_string(kKey, u"Skin", u"default"));
    // Another program replaces the file.
    test::write_file(m_file + ".new", "[HKEY_CURRENT_USER\\Software\\TEKU\\Vistrel]\n\"Skin\"=\"blue\"\n");
    ASSERT_EQ(std::rename((m_file + ".new").c_str(), m_file.c_str()), 0);
    std::u16string text;
    EXPECT_TRUE(read_string(kKey, u"Skin", text));
    EXPECT_EQ(text, u"blue");
}

TEST_F(SettingsTest, TextWithLineBreaksIsRefused) {
    EXPECT_FALSE(write_string(kKey, u"Skin", u"two\nlines"));
    EXPECT_FALSE(write_string(kKey, u"A\rB", u"x"));
}

TEST_F(SettingsTest, ConcurrentWritersFromSeveralProcessesLoseNoValue) {
    constexpr int kProcesses = 4;
    constexpr int kValues = 15;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            SettingsStore store(m_file);
            bool ok = true;
            for (int v = 0; v < kValues; ++v) {
                const std::u16string name = u"p" + to_u16(p) + u"v" + to_u16(v);
                ok &= store.set(kKey, name, RegValue::number(uint32_t(p * 100 + v)));
            }
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int p = 0; p < kProcesses; ++p) {
        for (int v = 0; v < kValues; ++v) {
            uint32_t number = 0;
            EXPECT_TRUE(read_dword(kKey, u"p" + to_u16(p) + u"v" + to_u16(v), number));
            EXPECT_EQ(number, uint32_t(p * 100 + v));
        }
    }
}

TEST(RegDocument, SerialisedFormReadsBackTheSame) {
    RegDocument doc;
    doc.set(u"HKEY_CURRENT_USER\\A", u"S", RegValue::string(u"x\"y\\z"));
    doc.set(u"HKEY_CURRENT_USER\\A", u"", RegValue::string(u"default value"));
    doc.set(u"HKEY_CURRENT_USER\\B", u"N", RegValue::number(42));
    const std::string text = doc.serialize();
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
    EXPECT_NE(text.find("@=\"default value\""), std::string::npos);
    const RegDocument again = RegDocument::parse(text);
    EXPECT_EQ(again.serialize(), text);
    ASSERT_TRUE(again.get(u"hkey_current_user\\a", u"s"));
    EXPECT_EQ(again.get(u"HKEY_CURRENT_USER\\A", u"S")->text, u"x\"y\\z");
    EXPECT_EQ(again.get(u"HKEY_CURRENT_USER\\B", u"N")->dword, 42u);
    EXPECT_EQ(again.keys().size(), 2u);
}

}  // namespace
}  // namespace vistrel
