#include "tester/tester.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>

#include "tester/folders.h"
#include "tester/judge/program_runner.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/recording_display.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_config.h"

namespace {

using Op = FaultyFileSystem::Op;

const char kBanner[] = "This is tester version 0.74 (last update HH:MM:SS Mmm DD YYYY)";

// The log with the build time and date of the banner made constant.
std::string with_fixed_banner(const std::string& log) {
  static const std::regex banner(
      R"(^This is tester version 0\.74 \(last update \d\d:\d\d:\d\d [A-Z][a-z]{2} [ \d]\d \d{4}\))");
  return std::regex_replace(log, banner, kBanner);
}

class TesterInitTest : public ::testing::Test {
 protected:
  StatusCode init(const std::string& ini) {
    temp_.write("Probator.ini", ini);
    return tester_.init(temp_.file("Probator.ini"));
  }
  std::string folders_section() const {
    return "[FOLDERS]\r\nsource=" + temp_.path() + "s/\r\nwork=" + temp_.path() +
           "w/\r\ntest=" + temp_.path() + "t/\r\n\r\n" + compiler_section("gcc");
  }
  std::string log() const { return with_fixed_banner(display_.log); }

  TempFolder temp_;
  RecordingDisplay display_;
  FaultyFileSystem faulty_;
  Tester tester_{&display_, &faulty_};
};

TEST_F(TesterInitTest, FullStartUpLog) {
  temp_.write("w/old/file", "x");
  ASSERT_EQ(init("[SOCKET]\r\nhostname=localhost\r\nport=7000\r\n\r\n" + folders_section()),
            ST_NO_ERROR);
  EXPECT_EQ(log(), std::string(kBanner) +
                       "\n\nLoading network settings..."
                       "\n\nLoad socket settings..."
                       "\nset hostname to \"localhost\""
                       "\nset port to \"7000\""
                       "\n\nLoading system folders..."
                       "\n\nLoad folder settings..."
                       "\nset source folder to \"" +
                       temp_.path() +
                       "s/\""
                       "\nset work folder to \"" +
                       temp_.path() +
                       "w/\""
                       "\nset test folder to \"" +
                       temp_.path() +
                       "t/\""
                       "\n\nCheck loaded settings..."
                       "\ncheck source folder ... not exist (creating done)"
                       "\ncheck work folder ... exist (clearing done)"
                       "\ncheck test files folder ... not exist (creating done)"
                       "\n\nInitialization internal compilers..." +
                       compiler_log("gcc") +
                       "\n\n1 compilator(s) was loaded succesfuly"
                       "\ncreated compilers string: 'gcc'"
                       "\n\nInitialization tester subsystem..."
                       "\n\nInitialization program complite.");
  EXPECT_FALSE(temp_.exists("w/old"));
}

TEST_F(TesterInitTest, FailuresOfTheFileItself) {
  EXPECT_EQ(tester_.init(temp_.file("missing.ini")), ST_INI_OPEN);
  EXPECT_EQ(display_.log, "") << "no banner before the file is read";
  faulty_.fail(Op::kRead, "read.ini");
  temp_.write("read.ini", "[SOCKET]");
  EXPECT_EQ(tester_.init(temp_.file("read.ini")), ST_INI_READ);
  faulty_.fail(Op::kReadClose, "close.ini");
  temp_.write("close.ini", "[SOCKET]");
  EXPECT_EQ(tester_.init(temp_.file("close.ini")), ST_INI_CLOSE);
  EXPECT_EQ(display_.log, "");
}

TEST_F(TesterInitTest, MissingSocketSection) {
  EXPECT_EQ(init(folders_section()), ST_INI_SECTION);
  EXPECT_EQ(log(), std::string(kBanner) + "\n\nLoading network settings...");
}

TEST_F(TesterInitTest, MissingPortLeavesTheLineUnfinished) {
  EXPECT_EQ(init("[SOCKET]\r\nhostname=h\r\n\r\n" + folders_section()), ST_INI_KEY);
  EXPECT_EQ(log(), std::string(kBanner) +
                       "\n\nLoading network settings...\n\nLoad socket settings..."
                       "\nset hostname to \"h\"\nset port to ");
}

TEST_F(TesterInitTest, MissingFolderKey) {
  EXPECT_EQ(init("[SOCKET]\r\nhostname=h\r\nport=1\r\n\r\n[FOLDERS]\r\nsource=" + temp_.path() +
                 "s/\r\n\r\n"),
            ST_INI_KEY);
  EXPECT_TRUE(log().ends_with("\nset work folder to ")) << log();
  EXPECT_EQ(tester_.folders().source_folder(), "") << "the folders read are released";
}

TEST_F(TesterInitTest, FolderThatCannotBePreparedEndsStartUp) {
  faulty_.fail_exactly(Op::kMakeFolder, temp_.path() + "w/");
  EXPECT_EQ(init("[SOCKET]\r\nhostname=h\r\nport=1\r\n\r\n" + folders_section()), ST_FOLDER_CREATE);
  EXPECT_TRUE(log().ends_with("\ncheck work folder ... not exist (creation fail)")) << log();
  EXPECT_FALSE(temp_.exists("t")) << "the test folder is left untouched";
}

TEST_F(TesterInitTest, LinkInPlaceOfAFolderIsNeverEmptiedThrough) {
  temp_.write("elsewhere/keep", "x");
  std::filesystem::create_directory_symlink(temp_.file("elsewhere"), temp_.file("w"));
  temp_.write("Probator.ini", "[SOCKET]\r\nhostname=h\r\nport=1\r\n\r\n" + folders_section());
  {
    Tester tester(&display_, &faulty_);
    EXPECT_EQ(tester.init(temp_.file("Probator.ini")), ST_FOLDER_CREATE);
    EXPECT_TRUE(log().ends_with("\ncheck work folder ... not exist (creation fail)")) << log();
  }
  EXPECT_EQ(temp_.read("elsewhere/keep"), "x") << "neither at start-up nor at the end";
}

TEST_F(TesterInitTest, RefusedConnectNamesTheServerAndTheReason) {
  // A port of 127.0.0.1 that was just free: nothing listens there.
  int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length), 0);
  close(probe);
  std::string port = std::to_string(ntohs(address.sin_port));
  ASSERT_EQ(init("[SOCKET]\r\nhostname=127.0.0.1\r\nport=" + port + "\r\n\r\n" +
                 folders_section()),
            ST_NO_ERROR);
  testing::internal::CaptureStderr();
  EXPECT_EQ(tester_.connect(), ST_CONNECT);
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find(" error connect: server=127.0.0.1:" + port +
                      " failed=\"Connection refused\""),
            std::string::npos)
      << said;
}

// Folders that one agent uses are its own: a second agent on them, or on
// folders that overlap, stops before it empties anything.
TEST_F(TesterInitTest, FoldersAreGuardedAgainstASecondAgent) {
  const std::string socket = "[SOCKET]\r\nhostname=h\r\nport=1\r\n\r\n";
  ASSERT_EQ(init(socket + folders_section()), ST_NO_ERROR);
  struct Row {
    std::string source, work, test;
    StatusCode code;
    const char* says;
  } rows[] = {
      {"s/", "w/", "t/", ST_FOLDER_LIST, "source=" },
      {"s2/", "w2/", "t/", ST_FOLDER_LIST, "test=" },
      {"s2/", "s2/", "t2/", ST_INI_KEY, "work is the same folder as source"},
      {"s2/", "s2/w/", "t2/", ST_INI_KEY, "work is inside source"},
      {"t2/x/", "w2/", "t2/", ST_INI_KEY, "source is inside test"},
      {"s2/", "w2/../s2/", "t2/", ST_INI_KEY, "work is the same folder as source"},
  };
  for (const Row& row : rows) {
    temp_.write("s/mine", "x");
    temp_.write("s2/kept", "x");
    temp_.write("t2/x/kept", "x");
    RecordingDisplay display;
    StatusCode code;
    testing::internal::CaptureStderr();
    {
      Tester second(&display);
      temp_.write("Second.ini",
                  socket + "[FOLDERS]\r\nsource=" + temp_.path() + row.source + "\r\nwork=" +
                      temp_.path() + row.work + "\r\ntest=" + temp_.path() + row.test +
                      "\r\n\r\n" + compiler_section("gcc"));
      code = second.init(temp_.file("Second.ini"));
    }
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, row.code) << row.says;
    EXPECT_NE(said.find(row.says), std::string::npos) << said;
    if (row.code == ST_FOLDER_LIST) {
      EXPECT_NE(said.find("failed=\"held by another agent\""), std::string::npos) << said;
    }
    // Nothing of either agent was emptied or removed, at start-up nor at the end.
    EXPECT_EQ(temp_.read("s/mine"), "x") << row.says;
    EXPECT_EQ(temp_.read("s2/kept"), "x") << row.says;
    EXPECT_EQ(temp_.read("t2/x/kept"), "x") << row.says;
  }
}

// The [SANDBOX] section and the box's trial at start-up: the reasons go to
// standard error, and the log keeps its lines.
class SandboxInitTest : public TesterInitTest {
 protected:
  ~SandboxInitTest() override {
    set_launcher_path_for_testing("");
    set_box_options(std::nullopt);
  }
  // Starts up with `section` after the others; returns the code and what
  // went to standard error.
  std::pair<StatusCode, std::string> start(const std::string& section) {
    testing::internal::CaptureStderr();
    StatusCode code =
        init("[SOCKET]\r\nhostname=localhost\r\nport=7000\r\n\r\n" + folders_section() + section);
    return {code, testing::internal::GetCapturedStderr()};
  }
};

TEST_F(SandboxInitTest, WrongSettingsStopStartUpAndSayWhich) {
  struct Row {
    const char* section;
    const char* says;
  } rows[] = {
      {"[SANDBOX]\r\nenable=1\r\n", "unknown key \"enable\""},
      {"[SANDBOX]\r\nenabled=yes\r\n", "bad value in \"enabled=yes\""},
      {"[SANDBOX]\nmax_processes=0\n", "bad value in \"max_processes=0\""},
      {"[SANDBOX]\r\nreadable=opt/jdk\r\n", "bad value in \"readable=opt/jdk\""},
  };
  for (const Row& row : rows) {
    auto [code, said] = start(row.section);
    EXPECT_EQ(code, ST_INI_KEY) << row.section;
    EXPECT_NE(said.find(row.says), std::string::npos) << said;
    EXPECT_EQ(log().find("complite"), std::string::npos) << row.section;
  }
}

TEST_F(SandboxInitTest, OffSaysSoAndStartsUp) {
  auto [off, said_off] = start("[SANDBOX]\r\n# judged elsewhere\r\nenabled=0\r\n");
  EXPECT_EQ(off, ST_NO_ERROR);
  EXPECT_NE(said_off.find("sandbox: off"), std::string::npos) << said_off;
  EXPECT_TRUE(log().ends_with("\n\nInitialization program complite.")) << log();
}

TEST_F(SandboxInitTest, ABoxThatCannotBeBuiltStopsStartUp) {
  // A launcher that reports, as spawnlet does, that it could not build the box.
  temp_.write("launcher",
              "#!/bin/sh\nwhile [ $# -gt 0 ]; do\n  if [ \"$1\" = '-?rep' ]; then\n"
              "    echo 'failed=namespaces: Operation not permitted' | "
              "tee \"$(echo \"$2\" | base64 -d)\" >/dev/null\n  fi\n  shift\ndone\nexit 204\n");
  std::filesystem::permissions(temp_.file("launcher"), std::filesystem::perms::owner_all);
  set_launcher_path_for_testing(temp_.file("launcher"));
  auto [code, said] = start("");
  EXPECT_EQ(code, ST_PROCESS_CREATE);
  EXPECT_NE(said.find("sandbox: cannot be built on this machine (namespaces: Operation not "
                      "permitted)"),
            std::string::npos)
      << said;
  EXPECT_TRUE(log().ends_with("\n\nInitialization tester subsystem...")) << log();
}

}  // namespace
