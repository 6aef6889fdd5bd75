// The Debian package of the build, made by cpack as `make package` makes it: what it holds
// and depends on, and a quintrel unpacked from it into a scratch root that runs the example
// job.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/run.h"

namespace quintrel::cli {
namespace {

namespace fs = std::filesystem;

class Package : public test::CliFixture {
protected:
  // Runs a shell command with its output in log.txt; whether it succeeded.
  bool Shell(const std::string& command) {
    return std::system(("{ " + command + "; } >" + Quote(Path("log.txt")) + " 2>&1").c_str()) == 0;
  }
  std::string Log() { return Slurp(Path("log.txt")); }
};

TEST_F(Package, HoldsTheProgramItsPagesAndTheTranslatorAndRunsFromAnUnpackedRoot) {
  const fs::path build = fs::path(QUINTREL_CLI).parent_path();
  ASSERT_TRUE(Shell("cd " + Quote(dir_.string()) + " && cpack -G DEB -B " + Quote(Path("out")) + " --config " +
                    Quote((build / "CPackConfig.cmake").string())))
      << Log();
  std::string deb;
  for (const auto& file : fs::directory_iterator(Path("out")))
    if (file.path().extension() == ".deb") deb = file.path().string();
  ASSERT_FALSE(deb.empty()) << Log();

  // The libraries the program links (found by dpkg-shlibdeps) and what it reads at run time.
  ASSERT_TRUE(Shell("dpkg-deb --field " + Quote(deb) + " Package Depends Maintainer")) << Log();
  const std::string fields = Log();
  EXPECT_THAT(fields, HasSubstr("Package: quintrel\n"));
  // Debian's tools want a maintainer they can write to: "Name <address>".
  const size_t maintainer = fields.find("Maintainer: ");
  ASSERT_NE(maintainer, std::string::npos) << fields;
  const std::string address = fields.substr(maintainer, fields.find('\n', maintainer) - maintainer);
  EXPECT_TRUE(address.ends_with(">") && address.find(" <") != std::string::npos && address.find('@') != std::string::npos)
      << address;
  for (const char* depends : {"libc6 (>=", "libfreetype6", "libharfbuzz0b", "locales", "fonts-liberation2"})
    EXPECT_NE(fields.find(depends), std::string::npos) << depends << " in " << fields;

  ASSERT_TRUE(Shell("c++ -print-multiarch")) << Log();
  const std::string lib = "./usr/lib/" + Log().substr(0, Log().find('\n'));
  ASSERT_TRUE(Shell("dpkg -c " + Quote(deb))) << Log();
  const std::string contents = Log();
  // The man pages compressed and the copyright file where Debian's policy has them, the
  // libraries in the multiarch folder.
  for (const std::string& path : std::vector<std::string>{"./usr/bin/quintrel\n", "./usr/share/man/man1/quintrel.1.gz\n",
                                 "./usr/share/man/man1/quintrel-export.1.gz\n",
                                 "./usr/share/bash-completion/completions/quintrel\n",
                                 "./usr/share/zsh/vendor-completions/_quintrel\n", "./usr/share/doc/quintrel/copyright\n",
                                 "./usr/share/doc/quintrel/changelog.gz\n",
                                 "./usr/share/doc/quintrel/usage.md\n", "./usr/share/doc/quintrel/guide/01-install.md\n",
                                 "./usr/share/doc/quintrel/images/guide-form-he.png\n",
                                 lib + "/libquintrel_runtime.a\n", "./usr/include/quintrel/runtime/quintrel.h\n",
                                 lib + "/cmake/Quintrel/QuintrelConfig.cmake\n", lib + "/pkgconfig/quintrel.pc\n"})
    EXPECT_NE(contents.find(path), std::string::npos) << path << " not in the package";
  EXPECT_EQ(contents.find("./usr/share/man/man1/quintrel.1\n"), std::string::npos);
  // Only the headers of the translator's layers, not the tools' or the command line's.
  EXPECT_EQ(contents.find("./usr/include/quintrel/tools/"), std::string::npos);
  EXPECT_EQ(contents.find("./usr/include/quintrel/cli/"), std::string::npos);

  const std::string root = Path("root");
  ASSERT_TRUE(Shell("dpkg -x " + Quote(deb) + " " + Quote(root))) << Log();
  const std::string program = root + "/usr/bin/quintrel";
  ASSERT_TRUE(Shell(Quote(program) + " --version")) << Log();
  EXPECT_EQ(Log(), Run({"--version"}).out);
  // The package's program does the whole job on a copy of the example project.
  fs::create_symlink(program, Path("quintrel"));
  const fs::path source = Root();
  ASSERT_TRUE(Shell("cd " + Quote(source.string()) + " && scripts/run-example " + Quote(Path("quintrel")))) << Log();
  EXPECT_THAT(Log(), HasSubstr("db check, ship         no problems found"));
  EXPECT_EQ(Log().find("quintrel: "), std::string::npos) << Log();
}

}  // namespace
}  // namespace quintrel::cli
