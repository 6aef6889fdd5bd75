// The web editor: its request handling reached without a socket, as its fuzz target reaches
// it (access, answers, requests whose JSON has the wrong shape), and how the server stops.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "cli/edit_commands.h"
#include "module/zod.h"
#include "tests/cli/example_project.h"

namespace quintrel::cli::test {
namespace {

class EditRequestsTest : public ExampleProjectFixture {
protected:
  void SetUp() override {
    ExampleProjectFixture::SetUp();
    UseOwnRegistry();
    server_.emplace(Path("project/Sample.bpr"), Path("project/Sample.ZOD"));
  }
  void TearDown() override {
    server_.reset();
    module::TZod& zod = module::GlobalZOD();
    while (zod.GetModuleCount() > 0) zod.UnRegisterModule(0, false);
    registry_.reset();
    ExampleProjectFixture::TearDown();
  }
  std::string Get(const std::string& path, bool token = true) {
    return server_->Answer("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:0\r\n" +
                           (token ? "X-Quintrel-Token: " + server_->Token() + "\r\n" : "") + "\r\n");
  }
  std::string Post(const std::string& path, const std::string& body) {
    return server_->Answer("POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1:0\r\nX-Quintrel-Token: " + server_->Token() +
                           "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
                           "\r\n\r\n" + body);
  }
  static std::string Status(const std::string& answer) { return answer.substr(0, answer.find("\r\n")); }
  static std::string Body(const std::string& answer) { return answer.substr(answer.find("\r\n\r\n") + 4); }

  std::optional<TEditRequests> server_;
};

TEST_F(EditRequestsTest, AnswersOnlyRequestsWithTheTokenAndTheRightHost) {
  EXPECT_EQ(Status(Get("/api/info", false)), "HTTP/1.1 403 Forbidden");
  EXPECT_EQ(Status(server_->Answer("GET /api/info HTTP/1.1\r\nHost: evil.example:0\r\nX-Quintrel-Token: " +
                                   server_->Token() + "\r\n\r\n")),
            "HTTP/1.1 403 Forbidden");
  const std::string info = Get("/api/info");
  EXPECT_EQ(Status(info), "HTTP/1.1 200 OK");
  EXPECT_NE(Body(info).find("\"languages\""), std::string::npos) << info;
  EXPECT_EQ(Status(server_->Answer("garbage\r\n\r\n")), "HTTP/1.1 400 Bad Request");
}

TEST_F(EditRequestsTest, AWrittenTextIsShownAndBadlyShapedBodiesAreRefused) {
  // The first untranslated text: neither locked nor signed off.
  const std::string next = Body(Get("/api/next?target=de&from=0"));
  const size_t at = next.find("\"object\":");
  ASSERT_NE(at, std::string::npos) << next;
  const std::string object = std::to_string(std::stoul(next.substr(at + 9)));
  const std::string show = Body(Get("/api/show?base=en&target=de&object=" + object));
  const size_t target = show.find("\"target\":\"");
  ASSERT_NE(target, std::string::npos) << show;
  const std::string stored = show.substr(target + 10, show.find('"', target + 10) - target - 10);
  const std::string set = Post("/api/set", "{\"object\":" + object + ",\"lang\":\"de\",\"text\":\"Neu\",\"expected\":\"" +
                                                stored + "\"}");
  EXPECT_EQ(Status(set), "HTTP/1.1 200 OK") << set;
  EXPECT_NE(Body(Get("/api/show?base=en&target=de&object=" + object)).find("\"target\":\"Neu\""), std::string::npos);
  // Values of the wrong type are the request's fault (400), never the server's (500).
  for (const char* body : {"[]", "{\"object\":\"1\",\"lang\":\"de\"}", "{\"object\":1,\"lang\":5}",
                           "{\"object\":-1,\"lang\":\"de\"}", "{\"object\":1.5,\"lang\":\"de\"}", "{\"object\":"})
    EXPECT_EQ(Status(Post("/api/clear", body)), "HTTP/1.1 400 Bad Request") << body;
}

// Ctrl-C that comes while the editor is still opening the module (here: waiting for the
// lock another process holds) stops it cleanly once it listens; it must neither kill it
// half started nor be lost, leaving a server nobody can stop.
TEST_F(ExampleProjectFixture, CtrlCWhileTheEditorStartsStopsItOnceItListens) {
  const TScratchRegistry registry(Path("registry.ini"));
  const std::string module = Path("project/Sample.ZOD"), out = Path("edit.out"), err = Path("edit.err");
  const int held = ::open(module.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(held, 0);
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  ASSERT_EQ(::fcntl(held, F_OFD_SETLK, &whole), 0);
  struct stat file {};
  ASSERT_EQ(::fstat(held, &file), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (!freopen(out.c_str(), "w", stdout) || !freopen(err.c_str(), "w", stderr)) _exit(111);
    execl(QUINTREL_CLI, QUINTREL_CLI, "edit", "--target", "de", "--project", project_.c_str(), nullptr);
    _exit(112);
  }
  // The kernel lists a process waiting for a lock with "->" before the file's inode.
  const std::string inode = ":" + std::to_string(file.st_ino) + " ";
  bool waiting = false;
  for (int tick = 0; tick < 600 && !waiting; ++tick) {
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line) && !waiting;)
      waiting = line.find("->") != std::string::npos && line.find(inode) != std::string::npos;
    if (!waiting) ::usleep(100'000);
  }
  EXPECT_TRUE(waiting) << "the editor never waited for the module's lock";
  ASSERT_EQ(::kill(child, SIGINT), 0);
  ::usleep(100'000);
  ::close(held);
  int status = 0;
  pid_t done = 0;
  for (int tick = 0; tick < 600 && done == 0; ++tick) {
    done = ::waitpid(child, &status, WNOHANG);
    if (done == 0) ::usleep(100'000);
  }
  if (done == 0) {
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    FAIL() << "the editor did not stop within a minute of Ctrl-C\n" << Slurp(out) << Slurp(err);
  }
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status) << "\n" << Slurp(err);
  EXPECT_EQ(WEXITSTATUS(status), 0) << Slurp(err);
  EXPECT_NE(Slurp(out).find("Translation editor of "), std::string::npos) << Slurp(out);
  EXPECT_EQ(Slurp(err), "quintrel: the translation editor stopped\n");
}

}  // namespace
}  // namespace quintrel::cli::test
