#include "tester/configurable.h"

#include <gtest/gtest.h>

#include <string>

#include "tester/folders.h"
#include "tester/tester.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/recording_display.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_config.h"

namespace {

// Exposes the lookups of a component.
class Lookups : public Configurable {
 public:
  using Configurable::find_value;
  using Configurable::get_string;
  using Configurable::get_unsigned;
  using Configurable::value;

 protected:
  StatusCode load(ConfigText&) override { return ST_NO_ERROR; }
};

TEST(ConfigurableTest, ValueRunsFromTheFirstEqualsSignToTheLineEnd) {
  struct Row {
    std::string text;
    const char* key;
    bool found;
    std::string value;
    const char* why;
  } rows[] = {
      {"a=1\r\nkey=va lue \"q\"\r\nb=2", "key", true, "va lue \"q\"", "blanks and quotes kept"},
      {"key=value\nnext=1", "key", true, "value", "a bare LF ends the value"},
      {"key  junk =v\r\n", "key", true, "v", "anything between key and = is skipped"},
      {"key= v\r\n", "key", true, " v", "a blank after = stays"},
      {"key=\r\n", "key", true, "", "an empty value"},
      {"key=last", "key", true, "last", "the end of the text ends the value"},
      {"monkey=1\r\nkey=2\r\n", "key", true, "1", "found inside a longer word first"},
      {"other=1\r\n", "key", false, "", "missing"},
      {"key\r\nno equals sign anywhere", "key", false, "", "no = after the key"},
      {"key=" + std::string(102, 'x') + "\r\n", "key", true, std::string(102, 'x'), "102 fit"},
      {"key=" + std::string(103, 'x') + "\r\n", "key", false, "", "103 are too many"},
  };
  for (const Row& row : rows) {
    Lookups lookups;
    ConfigText text(row.text);
    std::string value;
    EXPECT_EQ(lookups.get_string(text, 0, row.key, &value), row.found) << row.why;
    if (row.found) {
      EXPECT_EQ(value, row.value) << row.why;
    }
  }
}

TEST(ConfigurableTest, NumbersConvertLikeTheCLibrary) {
  struct Row {
    const char* text;
    uint32_t value;
  } rows[] = {{"port=8080\r\n", 8080},
              {"port= 42\r\n", 42},
              {"port=+7x\r\n", 7},
              {"port=abc\r\n", 0},
              {"port=\r\n", 0},
              {"port=-1\r\n", 4294967295u},
              {"port=99999999999\r\n", 2147483647u},
              {"port=-99999999999\r\n", 2147483648u}};
  for (const Row& row : rows) {
    Lookups lookups;
    ConfigText text(row.text);
    uint32_t value = 99;
    ASSERT_TRUE(lookups.get_unsigned(text, 0, "port", &value)) << row.text;
    EXPECT_EQ(value, row.value) << row.text;
  }
}

TEST(ConfigurableTest, SectionEndsAtItsFirstEmptyLineAndIsRestored) {
  for (const char* blank : {"\r\n\r\n", "\n\n", "\n\r\n"}) {
    std::string bytes = std::string("[S]\r\na=1") + blank + "b=2\r\n";
    ConfigText text(bytes);
    Lookups lookups;
    {
      SectionCut cut(text, *text.find("[S]", 0));
      EXPECT_FALSE(cut.is_last());
      EXPECT_TRUE(lookups.find_value(text, 0, "a="));
      EXPECT_FALSE(lookups.find_value(text, 0, "b")) << "b lies after the cut";
    }
    EXPECT_EQ(std::string(text.data(), text.size()), bytes) << "the byte is put back";
  }
  ConfigText last("[S]\r\na=1\r\nb=2");
  SectionCut cut(last, 0);
  EXPECT_TRUE(cut.is_last());
  EXPECT_EQ(cut.end(), last.size());
}

// The readers of the two sections, with the lookup quirks that a real file
// can trigger.
class SectionReaderTest : public ::testing::Test {
 protected:
  StatusCode init(const std::string& ini) {
    bool has_compiler = ini.find("[COMPILER]") != std::string::npos;
    temp_.write("Probator.ini", has_compiler ? ini : ini + "\r\n\r\n" + compiler_section("gcc"));
    return tester_.init(temp_.file("Probator.ini"));
  }
  std::string folder(const char* name) { return temp_.path() + name + "/"; }

  TempFolder temp_;
  RecordingDisplay display_;
  Tester tester_{&display_};
};

TEST_F(SectionReaderTest, TestKeyFoundInsideAnEarlierPath) {
  // "contest" holds "test": the test folder takes the value after the next
  // "=", the work folder's. Two folders in one would corrupt each other:
  // start-up stops before anything is emptied.
  std::string ini =
      "[SOCKET]\r\nhostname=h\r\nport=1\r\n\r\n[FOLDERS]\r\nsource=" + folder("contest") +
      "\r\nwork=" + folder("w") + "\r\ntest=" + folder("t") + "\r\n\r\n";
  temp_.write("w/kept", "x");
  EXPECT_EQ(init(ini), ST_INI_KEY);
  EXPECT_EQ(tester_.folders().test_folder(), folder("w"));
  EXPECT_EQ(tester_.folders().work_folder(), folder("w"));
  EXPECT_EQ(temp_.read("w/kept"), "x");
}

TEST_F(SectionReaderTest, PortFoundInsideAFolderNamedReport) {
  std::string ini = "[FOLDERS]\r\nsource=" + folder("report") + "\r\nwork=" + folder("w") +
                    "\r\ntest=" + folder("t") + "\r\n\r\n[SOCKET]\r\nhostname=h\r\nport=99\r\n";
  EXPECT_EQ(init(ini), ST_NO_ERROR);
  EXPECT_EQ(tester_.port(), 0u) << "the value after \"report\" is a work folder path";
}

TEST_F(SectionReaderTest, BlanksAfterTheEqualsSign) {
  std::string ini =
      "[COMPILER]\nname=sh\noptions=?s\ndir=/tmp/\next=c\ntimeout=1\nfile=/bin/sh\n\n"
      "x[SOCKET]\nhostname= h\nport= 81\n\n[FOLDERS]\nsource=" +
      folder("s") + "\nwork=" + folder("w") + "\ntest=" + folder("t");
  EXPECT_EQ(init(ini), ST_NO_ERROR) << "a prefixed header counts; the last section runs to "
                                       "the end of the file";
  EXPECT_EQ(*tester_.hostname(), " h");
  EXPECT_EQ(tester_.port(), 81u);
  EXPECT_EQ(tester_.folders().test_folder(), folder("t"));
}

TEST_F(SectionReaderTest, KeyAfterTheEmptyLineIsMissing) {
  std::string ini = "[SOCKET]\r\nhostname=h\r\n\r\nport=1\r\n";
  EXPECT_EQ(init(ini), ST_INI_KEY);
  EXPECT_FALSE(tester_.hostname()) << "the host name is released on failure";
}

}  // namespace
