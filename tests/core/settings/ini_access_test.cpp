#include "core/settings/ini_access.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "core/base/error_handler.h"
#include "core/base/trace_state.h"
#include "core/sys/file_ops.h"
#include "core/sys/folder_ops.h"
#include "platform/cp1252.h"
#include "support/fake_clock.h"
#include "support/fake_event_pump.h"
#include "support/one_line_changed.h"
#include "support/recording_trace.h"
#include "support/run_as.h"
#include "support/temp_dir.h"

namespace ks {
namespace {

namespace fs = std::filesystem;
using test::OnlyOneLineChanged;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// Everything IniAccess needs, wired as the program wires it.
struct IniWorld {
    IniWorld() { errors.SetTrace(&trace); }

    TraceState state;
    test::FakeEventPump pump;
    ErrorHandler errors{state, pump};
    test::RecordingTrace trace;
    test::FakeClock clock;
    FileOps files{trace, errors, clock};
    FolderOps folders{trace, errors};
    IniAccess ini{errors, files, folders};

    // Reports of the common error handler (framed "Err: " lines).
    std::vector<std::string> ErrorReports() const {
        std::vector<std::string> reports;
        for (const auto& message : trace.Messages()) {
            if (message.starts_with("Err: ")) {
                reports.push_back(message);
            }
        }
        return reports;
    }
};

class IniAccessTest : public ::testing::Test {
  protected:
    std::string File(const std::string& name) const { return dir.Folder() + name; }
    std::string Write(const std::string& name, const std::string& bytes) const {
        return dir.Write(name, bytes);
    }
    static std::string Read(const std::string& file) { return test::TempDir::Read(file); }
    static fs::perms Permissions(const std::string& file) {
        return fs::status(file).permissions() & fs::perms::mask;
    }

    test::TempDir dir;
    IniWorld world;
    IniAccess& ini = world.ini;
};

// --- reading --------------------------------------------------------------------------------

TEST_F(IniAccessTest, MissingKeySectionOrFileGiveTheDefaultButAnEmptyValueIsEmpty) {
    const std::string file = Write("KS.ini", "[Data]\r\nFrequency=60\r\nLast_Timing=\r\n");
    EXPECT_EQ(ini.LectureIni(file, "Data", "Frequency", "15"), "60");
    EXPECT_EQ(ini.LectureIni(file, "Data", "Last_Timing", "never"), "");
    EXPECT_EQ(ini.LectureIni(file, "Data", "Missing", "15"), "15");
    EXPECT_EQ(ini.LectureIni(file, "Missing", "Frequency", "15"), "15");
    EXPECT_EQ(ini.LectureIni(File("absent.ini"), "Data", "Frequency", "15"), "15");
    EXPECT_THAT(world.ErrorReports(), IsEmpty());
}

TEST_F(IniAccessTest, FileNameIsLookedUpWithoutRegardToCase) {
    Write("ks3_systeme.INI", "[Base_01]\r\nDossier_Data=//srv/data/\r\n");
    EXPECT_EQ(ini.LectureIni(File("KS3_Systeme.ini"), "Base_01", "Dossier_Data", ""),
              "//srv/data/");
}

TEST_F(IniAccessTest, ValueOfThreeHundredCharactersReadsBackAsItsFirst254) {
    std::string value;
    for (int i = 0; i < 300; ++i) {
        value += static_cast<char>('a' + i % 26);
    }
    const std::string file = File("long.ini");
    ASSERT_TRUE(ini.EcritureIni(file, "S", "k", value));
    EXPECT_THAT(Read(file), HasSubstr("k=" + value + "\r\n"));  // stored whole
    EXPECT_EQ(ini.LectureIni(file, "S", "k", ""), value.substr(0, 254));
}

TEST_F(IniAccessTest, DefaultComesBackWithoutTrailingBlanksAndCutTo254) {
    const std::string file = File("absent.ini");
    EXPECT_EQ(ini.LectureIni(file, "S", "k", "  x  "), "  x");
    EXPECT_EQ(ini.LectureIni(file, "S", "k", std::string(300, 'd')), std::string(254, 'd'));
}

TEST_F(IniAccessTest, FileNameWithWildcardOrQuoteIsNeverTouched) {
    // Such a file can exist on Linux; it must still not be read or written.
    const std::string file = Write("a?.ini", "[S]\r\nk=on disk\r\n");
    EXPECT_EQ(ini.LectureIni(file, "S", "k", "default  "), "default  ");
    EXPECT_FALSE(ini.EcritureIni(file, "S", "k", "new"));
    EXPECT_EQ(Read(file), "[S]\r\nk=on disk\r\n");
    int32_t count = -1;
    EXPECT_THAT(ini.LectureIniListeDesClesDansUneSection(file, "S", count), IsEmpty());
    EXPECT_EQ(count, 0);
    for (const char* name : {"b*.ini", "c\".ini", "d|.ini"}) {
        EXPECT_FALSE(ini.EcritureIni(File(name), "S", "k", "v")) << name;
        EXPECT_FALSE(fs::exists(File(name))) << name;
    }
}

TEST_F(IniAccessTest, NomFichierCorrectRefusesOnlyTheFourCharacters) {
    EXPECT_TRUE(ini.NomFichierCorrect(""));
    EXPECT_TRUE(ini.NomFichierCorrect("/opt/ks/Settings/KS3 Config (copie).ini"));
    EXPECT_FALSE(ini.NomFichierCorrect("a*b"));
    EXPECT_FALSE(ini.NomFichierCorrect("a?b"));
    EXPECT_FALSE(ini.NomFichierCorrect("a\"b"));
    EXPECT_FALSE(ini.NomFichierCorrect("a|b"));
}

// --- writing --------------------------------------------------------------------------------

TEST_F(IniAccessTest, BlankSectionOrKeyWritesNothing) {
    const std::string before = "[Data]\r\nFrequency=60\r\n";
    const std::string file = Write("KS.ini", before);
    EXPECT_FALSE(ini.EcritureIni(file, "Data", "", "v"));
    EXPECT_FALSE(ini.EcritureIni(file, "Data", "   ", "v"));
    EXPECT_FALSE(ini.EcritureIni(file, "  ", "Frequency", "v"));
    EXPECT_EQ(Read(file), before);
    EXPECT_FALSE(ini.EcritureIni(File("new.ini"), "", "k", "v"));
    EXPECT_FALSE(fs::exists(File("new.ini")));
}

TEST_F(IniAccessTest, FirstWriteCreatesFileAndSectionThenReplacesInPlace) {
    const std::string file = File("KS.ini");
    ASSERT_TRUE(ini.EcritureIni(file, "Data", "Frequency", "60"));
    ASSERT_TRUE(ini.EcritureIni(file, "Folder", "Source", "//srv/data/"));
    ASSERT_TRUE(ini.EcritureIni(file, "DATA", "frequency", "120"));
    EXPECT_EQ(Read(file), "[Data]\r\nFrequency=120\r\n[Folder]\r\nSource=//srv/data/\r\n");
}

TEST_F(IniAccessTest, WritingIntoAMissingFolderCreatesFolderAndFile) {
    const std::string file = File("Settings/KS_Diffuseurs_Secours/KS_Diffuseurs_Secours.ini");
    ASSERT_TRUE(ini.EcritureIni(file, "Data", "Frequency", "60"));
    EXPECT_EQ(Read(file), "[Data]\r\nFrequency=60\r\n");
    EXPECT_THAT(world.ErrorReports(), IsEmpty());
}

TEST_F(IniAccessTest, ValueWithALineBreakIsRefusedBeforeAnyStep) {
    const std::string before = "[Data]\r\nFrequency=60\r\n";
    const std::string file = Write("KS.ini", before);
    EXPECT_FALSE(ini.EcritureIni(file, "Data", "Frequency", "60\r\n[Folder]\r\nSource=/"));
    EXPECT_FALSE(ini.EcritureIni(file, "Data", "Frequency", "a\nb"));
    EXPECT_EQ(Read(file), before);
    // Not even the folder of a new file is created for it.
    EXPECT_FALSE(ini.EcritureIni(File("sub/KS.ini"), "Data", "Frequency", "a\rb"));
    EXPECT_FALSE(fs::exists(File("sub")));
}

TEST_F(IniAccessTest, AccentedNamesAreWindows1252HereAndUtf8OnDisk) {
    // The program names files in Windows-1252; the disk holds UTF-8 names. A write into a
    // missing accented folder creates it under its UTF-8 name, and reads and listings find it.
    const std::string file = File("Données/Réglages.ini"_cp);
    const std::string name = "Fréquence Sud"_cp;
    ASSERT_TRUE(ini.EcritureIni(file, "Station", "Lib", name));
    EXPECT_EQ(Read((dir.Path() / "Données" / "Réglages.ini").string()),
              "[Station]\r\nLib=" + name + "\r\n");
    EXPECT_EQ(ini.LectureIni(file, "station", "LIB", ""), name);
    std::int32_t count = 0;
    EXPECT_THAT(ini.LectureIniListeDesClesDansUneSection(file, "Station", count),
                ElementsAre("Lib=" + name));
    EXPECT_EQ(count, 1);
    EXPECT_THAT(world.ErrorReports(), IsEmpty());
}

TEST_F(IniAccessTest, RewriteKeepsEveryOtherLineAndTheLineEndsOfTheFile) {
    const std::string crlf = "; Kestrel\r\n[Data]\r\nFrequency = 60\r\n\r\n[Folder]\r\nTemp=\r\n";
    const std::string lf = "; Kestrel\n[Data]\nFrequency = 60\n\n[Folder]\nTemp=\n";
    for (const std::string& before : {crlf, lf}) {
        const std::string file = Write("KS.ini", before);
        ASSERT_TRUE(ini.EcritureIni(file, "data", "FREQUENCY", "30"));
        EXPECT_TRUE(OnlyOneLineChanged(before, Read(file)));
        ASSERT_TRUE(ini.EcritureIni(file, "Station", "Serveur", "1"));
        const std::string after = Read(file);
        const std::string end = before == crlf ? "\r\n" : "\n";
        EXPECT_TRUE(after.ends_with(end + "[Station]" + end + "Serveur=1" + end)) << after;
        EXPECT_EQ(ini.LectureIni(file, "Data", "Frequency", ""), "30");
    }
}

TEST_F(IniAccessTest, RewriteKeepsThePermissionOfTheFileAndLeavesNoTemporaryFile) {
    const std::string file = Write("KS.ini", "[Data]\r\nFrequency=60\r\n");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(ini.EcritureIni(file, "Data", "Frequency", "30"));
    EXPECT_EQ(Permissions(file),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST_F(IniAccessTest, ReadOnlyFileHasItsAttributeClearedAndIsWritten) {
    // The read-only attribute is the owner write bit, honoured even by root: the write fails
    // first, the attribute is cleared, the second write succeeds.
    const std::string file = Write("KS.ini", "[Data]\r\nFrequency=60\r\n");
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ASSERT_TRUE(ini.EcritureIni(file, "Data", "Frequency", "30"));
    EXPECT_EQ(Read(file), "[Data]\r\nFrequency=30\r\n");
    EXPECT_EQ(Permissions(file), fs::perms::owner_read | fs::perms::owner_write |
                                     fs::perms::group_read | fs::perms::others_read);
}

TEST_F(IniAccessTest, SymbolicLinkKeepsPointingAtTheRewrittenFile) {
    const std::string target = Write("real.ini", "[S]\nk=1\n");
    const std::string link = File("link.ini");
    fs::create_symlink(target, link);
    ASSERT_TRUE(ini.EcritureIni(link, "S", "k", "2"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Read(target), "[S]\nk=2\n");
}

TEST_F(IniAccessTest, UnusablePathsGiveTheDefaultAndFalseWithoutAnyReport) {
    fs::create_directory(dir.Path() / "folder.ini");
    const std::string notAFolder = Write("plain.txt", "x");
    for (const std::string& file : {File("folder.ini"), notAFolder + "/KS.ini"}) {
        EXPECT_EQ(ini.LectureIni(file, "S", "k", "def"), "def") << file;
        EXPECT_FALSE(ini.EcritureIni(file, "S", "k", "v")) << file;
        int32_t count = -1;
        EXPECT_THAT(ini.LectureIniListeDesClesDansUneSection(file, "S", count), IsEmpty());
        EXPECT_EQ(count, 0);
    }
    EXPECT_TRUE(fs::is_directory(dir.Path() / "folder.ini"));
    EXPECT_EQ(Read(notAFolder), "x");
    EXPECT_THAT(world.ErrorReports(), IsEmpty());
}

// --- listing a section ----------------------------------------------------------------------

TEST_F(IniAccessTest, SectionOfFortyEntriesOfTwentyCharactersIsReturnedWhole) {
    const std::string file = File("list.ini");
    std::vector<std::string> expected;
    for (int i = 0; i < 40; ++i) {
        const std::string key = "Key_" + std::to_string(100 + i);         // 7 characters
        const std::string value = "value_" + std::to_string(100000 + i);  // 12 characters
        ASSERT_TRUE(ini.EcritureIni(file, "Big", key, value));
        expected.push_back(key + "=" + value);
        ASSERT_EQ(expected.back().size(), 20U);
    }
    int32_t count = 0;
    EXPECT_EQ(ini.LectureIniListeDesClesDansUneSection(file, "big", count), expected);
    EXPECT_EQ(count, 40);
}

TEST_F(IniAccessTest, ListingLeavesOutCommentsAndGivesNothingForMissingParts) {
    const std::string file =
        Write("sched.ini", "[Base_01]\r\n;Station_01_Saved=O\r\nStation_02_Saved=O\r\n");
    int32_t count = 0;
    EXPECT_THAT(ini.LectureIniListeDesClesDansUneSection(file, "Base_01", count),
                ElementsAre("Station_02_Saved=O"));
    EXPECT_EQ(count, 1);
    EXPECT_THAT(ini.LectureIniListeDesClesDansUneSection(file, "Base_02", count), IsEmpty());
    EXPECT_EQ(count, 0);
    count = 7;
    EXPECT_THAT(ini.LectureIniListeDesClesDansUneSection(File("none.ini"), "Base_01", count),
                IsEmpty());
    EXPECT_EQ(count, 0);
}

// --- hostile files --------------------------------------------------------------------------

struct HostileFile {
    const char* name;
    std::string bytes;
    std::vector<std::string> dataEntries;  // what the listing of [Data] gives
};

std::string Garbage() {
    std::mt19937 random(1207);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes(64 * 1024, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(byte(random));
    }
    return bytes;
}

std::vector<HostileFile> HostileFiles() {
    const std::string mebibyte(1 << 20, 'm');
    return {
        {"crlf", "[Data]\r\nFrequency=60\r\n", {"Frequency=60"}},
        {"lf", "[Data]\nFrequency=60\n", {"Frequency=60"}},
        {"byte order mark", "\xEF\xBB\xBF[Data]\r\nFrequency=60\r\n", {"Frequency=60"}},
        {"duplicate sections", "[Data]\r\nA=1\r\n[Other]\r\n[DATA]\r\nB=2\r\n", {"A=1"}},
        {"key outside any section", "Frequency=99\r\n[Data]\r\nA=1\r\n", {"A=1"}},
        {"one mebibyte line", "[Data]\r\nLong=" + mebibyte + "\r\n", {"Long=" + mebibyte}},
        {"one mebibyte line without line end", mebibyte, {}},
        {"binary garbage", Garbage(), {}},
        {"empty", "", {}},
    };
}

TEST_F(IniAccessTest, HostileFilesGiveDefaultsAndAreRewrittenOneLineOnly) {
    for (const HostileFile& hostile : HostileFiles()) {
        SCOPED_TRACE(hostile.name);
        const std::string file = Write("hostile.ini", hostile.bytes);
        EXPECT_EQ(ini.LectureIni(file, "Data", "Missing_Key", "default"), "default");
        EXPECT_EQ(ini.LectureIni(file, "Nowhere", "Frequency", "default"), "default");
        int32_t count = -1;
        EXPECT_EQ(ini.LectureIniListeDesClesDansUneSection(file, "Data", count),
                  hostile.dataEntries);
        EXPECT_EQ(count, static_cast<int32_t>(hostile.dataEntries.size()));

        ASSERT_TRUE(ini.EcritureIni(file, "Data", "Last_Timing", "07/12/2026 09:05:07"));
        const std::string after = Read(file);
        EXPECT_TRUE(OnlyOneLineChanged(hostile.bytes, after));
        EXPECT_EQ(ini.LectureIni(file, "Data", "Last_Timing", ""), "07/12/2026 09:05:07");
    }
    EXPECT_THAT(world.ErrorReports(), IsEmpty());
}

// --- another user -----------------------------------------------------------------------------

// Run as a child of the tests below, as another user: performs the write that KS_INI_WRITE
// describes ("file|section|key|value") and prints its result.
TEST(IniAccessAsAnotherUser, ChildWrite) {
    const char* request = std::getenv("KS_INI_WRITE");
    if (request == nullptr) {
        GTEST_SKIP() << "runs only as the child of the other-user tests";
    }
    std::vector<std::string> parts;
    std::string part;
    for (const char* c = request; *c != '\0'; ++c) {
        if (*c == '|') {
            parts.push_back(part);
            part.clear();
        } else {
            part += *c;
        }
    }
    parts.push_back(part);
    ASSERT_EQ(parts.size(), 4U);
    IniWorld world;
    const bool stored = world.ini.EcritureIni(parts[0], parts[1], parts[2], parts[3]);
    std::cout << "EcritureIni=" << (stored ? "true" : "false") << std::endl;
}

class IniAccessAsAnotherUserTest : public IniAccessTest {
  protected:
    void SetUp() override {
        if (!test::CanRunAsNobody()) {
            GTEST_SKIP() << "needs root and setpriv";
        }
    }

    static test::RunResult WriteAsNobody(const std::string& file, const std::string& value) {
        return test::RunAsNobody(
            {"/usr/bin/env", "KS_INI_WRITE=" + file + "|Data|Frequency|" + value,
             test::SelfExecutable(), "--gtest_filter=IniAccessAsAnotherUser.ChildWrite"});
    }

    static void GiveToNobody(const std::string& file) {
        const passwd* nobody = ::getpwnam("nobody");
        ASSERT_NE(nobody, nullptr);
        ASSERT_EQ(::chown(file.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    }

    static uid_t Owner(const std::string& file) {
        struct stat info {};
        ::stat(file.c_str(), &info);
        return info.st_uid;
    }
};

TEST_F(IniAccessAsAnotherUserTest, ReadOnlyFileOfThatUserIsMadeWritableAndWritten) {
    const std::string file = Write("KS.ini", "; mine\n[Data]\nFrequency=60\n");
    GiveToNobody(file);
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read);

    const test::RunResult result = WriteAsNobody(file, "30");
    EXPECT_THAT(result.output, HasSubstr("EcritureIni=true")) << result.output;
    EXPECT_EQ(Read(file), "; mine\n[Data]\nFrequency=30\n");
    EXPECT_EQ(Permissions(file),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(Owner(file), ::getpwnam("nobody")->pw_uid);
}

TEST_F(IniAccessAsAnotherUserTest, FileOfSomeoneElseIsNotReplacedThroughTheFolder) {
    // The folder is writable by everyone, so a rename would succeed; the file itself is not
    // writable by that user, and stays as it was.
    const std::string before = "[Data]\nFrequency=60\n";
    const std::string file = Write("KS.ini", before);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::others_read);

    const test::RunResult result = WriteAsNobody(file, "30");
    EXPECT_THAT(result.output, HasSubstr("EcritureIni=false")) << result.output;
    EXPECT_EQ(Read(file), before);
    EXPECT_EQ(Owner(file), 0U);
}

}  // namespace
}  // namespace ks
