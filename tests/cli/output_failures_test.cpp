// What the commands write, and what they leave when they cannot: exit 1, one
// line naming what could not be written, the registration not committed and
// the output's target as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/call_command.h"
#include "cli/recalc_command.h"
#include "db/demo_database.h"
#include "support/errors.h"
#include "tarvolin/db/company_database.h"

namespace tarvolin {
namespace {

namespace fs = std::filesystem;

std::string Sample() {
  return (fs::path(__FILE__).parent_path().parent_path().parent_path() / "data" / "samples" /
          "invoice.json")
      .string();
}

// A standard output that takes nothing, as a full disk or a closed pipe.
class RefusingBuffer : public std::streambuf {
 protected:
  int overflow(int) override { return traits_type::eof(); }
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

std::string ReadText(const fs::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(CommandOutput, AWriteThatFailsExitsOneAndChangesNothing) {
  testing_support::DemoDatabase demo;
  fs::create_directory(demo.dir() / "folder");
  const std::string old_out = (demo.dir() / "old.json").string();
  std::ofstream(old_out) << "old";
  const auto stored = [&] {
    return demo.connection()
        .Execute(
            "SELECT (SELECT COUNT(*) FROM DO73_DOCCONTROPARTITE) + "
            "(SELECT COUNT(*) FROM DO74_USATAX) AS N")
        ->Get("N")
        .CLng();
  };
  struct Case {
    std::vector<std::string> arguments;
    bool refusing_stdout;
    std::string error;
  };
  const std::string folder = (demo.dir() / "folder").string();
  const std::string missing = (demo.dir() / "missing" / "out.json").string();
  const Case cases[] = {
      {{"--out", folder},
       false,
       "error 75 in DocumentFile: Path/File access error: cannot write " + folder +
           ": it is a folder\n"},
      {{"--out", missing}, false, "cannot write " + missing + ": No such file or directory\n"},
      {{"--out", "/dev/full"}, false, "cannot write /dev/full: No space left on device\n"},
      {{"--format", "text"},
       true,
       "error 75 in tarvolin: Path/File access error: cannot write standard output\n"},
      {{}, true, "cannot write standard output\n"},
      // The file is prepared but standard output fails: the old file stays.
      {{"--format", "text", "--out", old_out}, true, "cannot write standard output\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments{Sample(), "--db", demo.path(), "--register"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    RefusingBuffer refusing;
    std::ostringstream taken;
    std::ostream out(c.refusing_stdout ? static_cast<std::streambuf*>(&refusing) : taken.rdbuf());
    std::ostringstream err;
    const int code = cli::RecalcMain(arguments, out, err);
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    EXPECT_EQ(code, 1);
    const std::string error = err.str();
    EXPECT_TRUE(error.ends_with(c.error)) << error;
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
    EXPECT_EQ(stored(), 0) << "registered although the output failed";
    EXPECT_EQ(ReadText(old_out), "old");
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_FALSE(fs::exists(demo.dir() / "missing"));
  }
  // No temporary file is left behind.
  for (const auto& entry : fs::directory_iterator(demo.dir())) {
    EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
  }

  // call: a result that cannot be printed leaves --out as it was.
  cli::CallOptions call{.member = "RoundN",
                        .arguments = {"2.675", "2"},
                        .document = Sample(),
                        .database = demo.path(),
                        .out = old_out};
  RefusingBuffer refusing;
  std::ostream refused(&refusing);
  std::ostringstream warnings;
  EXPECT_EQ(testing_support::ErrorOf([&] { cli::RunCall(call, refused, warnings); }).number(), 75);
  EXPECT_EQ(ReadText(old_out), "old");

  // db init over a folder or a device is refused before anything is built.
  EXPECT_EQ(
      testing_support::ErrorOf([&] { InitCompanyDatabase(folder, {.force = true}); }).number(), 75);
  EXPECT_EQ(testing_support::ErrorOf([&] {
              InitCompanyDatabase("/dev/null", {.demo = false, .force = true});
            }).number(),
            75);
}

// A device is written in place and a link keeps pointing where it did: the
// file it names is replaced, never the link or the device.
TEST(CommandOutput, DevicesAreWrittenInPlaceAndLinksFollowed) {
  testing_support::DemoDatabase demo;
  const fs::path to_null = demo.dir() / "discard.json";
  fs::create_symlink("/dev/null", to_null);
  const fs::path real = demo.dir() / "real.json";
  std::ofstream(real) << "old";
  ::chmod(real.c_str(), 0640);
  const fs::path link = demo.dir() / "link.json";
  fs::create_symlink(real, link);
  for (const fs::path& out : {to_null, link}) {
    std::ostringstream stdout_text, err;
    EXPECT_EQ(
        cli::RecalcMain({Sample(), "--db", demo.path(), "--out", out.string()}, stdout_text, err),
        0)
        << err.str();
    EXPECT_TRUE(fs::is_symlink(out)) << out;
  }
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_NE(ReadText(real).find("\"format\": 1"), std::string::npos);
  EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

}  // namespace
}  // namespace tarvolin
