#include "tester/judge/compiler_registry.h"

#include <gtest/gtest.h>

#include <string>

#include "tester/folders.h"
#include "tests/support/recording_display.h"
#include "tests/support/temp_folder.h"

namespace {

class Registry : public CompilerRegistry {
 public:
  using CompilerRegistry::CompilerRegistry;
  using CompilerRegistry::load;
};

class CompilerRegistryTest : public ::testing::Test {
 protected:
  std::string section(const std::string& name, const std::string& file) {
    return "[COMPILER]\r\nname=" + name + "\r\nfile=" + file +
           "\r\noptions=?s -o x\r\ndir=/tmp/\r\next=c\r\ntimeout=5000\r\n\r\n";
  }
  StatusCode load(const std::string& ini) {
    ConfigText text(ini);
    StatusCode result = registry_.load(text);
    EXPECT_EQ(std::string(text.data(), text.size()), ini) << "the text is left unchanged";
    return result;
  }
  std::string existing() {
    temp_.write("cc", "#!/bin/sh\n");
    return temp_.file("cc");
  }

  TempFolder temp_;
  RecordingDisplay display_;
  Folders folders_{&display_};
  Registry registry_{&folders_, &display_};
};

TEST_F(CompilerRegistryTest, LogOfOneCompiler) {
  ASSERT_EQ(load(section("gcc", existing())), ST_NO_ERROR);
  EXPECT_EQ(display_.log,
            "\n\nLoad compiler \"gcc\" :"
            "\nexecute file \"" +
                temp_.file("cc") +
                "\""
                "\ncommand line to \"?s -o x\""
                "\nextension to \"c\""
                "\nwork folder to \"/tmp/\""
                "\ntime limit to 5000ms"
                "\ncheck compiler file name ... done"
                "\n\n1 compilator(s) was loaded succesfuly"
                "\ncreated compilers string: 'gcc'");
}

TEST_F(CompilerRegistryTest, MissingExecutableDropsOnlyThatCompiler) {
  std::string file = existing();
  ASSERT_EQ(load(section("a", file) + section("b", temp_.file("nope")) + section("c", file)),
            ST_NO_ERROR);
  EXPECT_EQ(registry_.compilers_string(), "c;a");
  EXPECT_NE(display_.log.find("\ncheck compiler file name ... error"
                              "\ncompiler file does not exist. check ini file."
                              "\nI will remove it from compilers list."),
            std::string::npos);
  EXPECT_TRUE(
      display_.log.ends_with("\n\n2 compilator(s) was loaded succesfuly"
                             "\ncreated compilers string: 'c;a'"));
}

TEST_F(CompilerRegistryTest, SectionsAndTheirQuirks) {
  std::string file = existing();
  std::string last = section("z", file);
  last.resize(last.size() - 4);  // the last text of the file, no empty line
  EXPECT_EQ(load(section("x", file) + section("x", file) + last), ST_NO_ERROR);
  EXPECT_EQ(registry_.compilers_string(), "z;x;x") << "same names are both kept";

  Registry joined(&folders_, &display_);
  std::string two = section("p", file);
  two.resize(two.size() - 2);  // no empty line between the two sections
  ConfigText text(two + section("q", file));
  ASSERT_EQ(joined.load(text), ST_NO_ERROR);
  EXPECT_EQ(joined.compilers_string(), "p") << "one section: the first values count";
}

TEST_F(CompilerRegistryTest, FailuresOfTheWholeRegistry) {
  EXPECT_EQ(load("[SOCKET]\r\n\r\n"), ST_NO_COMPILERS);
  testing::internal::CaptureStderr();
  EXPECT_EQ(load(section("gone", temp_.file("nope"))), ST_NO_COMPILERS);
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find(" warn compiler: name=gone file=" + temp_.file("nope") +
                      " dropped=\"No such file or directory\""),
            std::string::npos)
      << said;
  Registry broken(&folders_, &display_);
  ConfigText text(section("ok", existing()) + "[COMPILER]\r\nname=bad\r\nfile=x\r\n\r\n");
  EXPECT_EQ(broken.load(text), ST_INI_KEY);
  EXPECT_EQ(broken.compilers_string(), "");
  EXPECT_EQ(broken.compile(temp_.file("src"), "ok"), ST_WRONG_COMPILER_LINE)
      << "no compiler is kept";
}

TEST_F(CompilerRegistryTest, KeyFoundInsideAnEarlierValue) {
  // "dir" stands in the file path before the dir line: the dir value becomes
  // whatever follows the next "=", the options.
  temp_.write("bindir/cc", "#!/bin/sh\n");
  std::string file = temp_.file("bindir/cc");
  ConfigText text("[COMPILER]\r\nname=n\r\nfile=" + file +
                  "\r\noptions=OPT\r\ndir=/d/\r\next=c\r\ntimeout=1\r\n\r\n");
  ASSERT_EQ(registry_.load(text), ST_NO_ERROR);
  EXPECT_NE(display_.log.find("\nwork folder to \"OPT\""), std::string::npos);
}

}  // namespace
