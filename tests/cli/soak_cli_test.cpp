// Several processes sharing one module for a while, as the IDE, the translation editor, the
// command line and the running application do: two writers through `term set`, two through
// the translation editor's controller (`terms set --expect`, which refuses when the text is
// no longer the one it last wrote), a reader of the writers' terms, the translator switching
// the main form between languages (`preview`), an export of the whole module and the
// integrity check, all at once.
//
// Every writer owns its terms and logs each write the command acknowledged (exit 0) and
// each it tried. At the end no process may still be running, the module must pass its
// check, each term must hold the last acknowledged write of its owner, and every text a
// reader saw must be one its owner tried (or the original). QUINTREL_SOAK_SECONDS sets how
// long they run (`make soak` runs minutes; a few seconds by default).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli/example_project.h"

extern char** environ;

namespace quintrel::cli::test {
namespace {

using Clock = std::chrono::steady_clock;

int SoakSeconds() {
  const char* text = std::getenv("QUINTREL_SOAK_SECONDS");
  const int seconds = text ? std::atoi(text) : 0;
  return seconds > 0 ? seconds : 4;
}

// One process of the soak: a loop of commands until the deadline, with what it did in a log
// of lines "ack KEY TEXT", "try KEY TEXT", "read KEY TEXT" and "fail CODE COMMAND: STDERR".
class TWorker {
public:
  TWorker(std::string name, std::filesystem::path dir) : name_(std::move(name)), dir_(std::move(dir)) {}
  virtual ~TWorker() = default;

  const std::string& Name() const { return name_; }
  std::filesystem::path LogFile() const { return dir_ / (name_ + ".log"); }

  // The child's loop; returns its exit status.
  int Loop(Clock::time_point deadline) {
    log_.open(LogFile(), std::ios::app);
    // At least one step each, however slow the machine.
    for (int step = 0; step == 0 || Clock::now() < deadline; ++step) Step(step);
    return 0;
  }

protected:
  virtual void Step(int step) = 0;

  struct TResult {
    int Code = -1;
    std::string Out, Err;
  };
  TResult Quintrel(const std::vector<std::string>& args) {
    std::vector<std::string> all = {QUINTREL_CLI};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string out = (dir_ / (name_ + ".out")).string(), err = (dir_ / (name_ + ".err")).string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    TResult r;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
      int status = 0;
      while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      r.Code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    r.Out = Slurp(out);
    r.Err = Slurp(err);
    if (r.Code != 0) {
      std::string command;
      for (const std::string& a : args) command += " " + a;
      log_ << "fail " << r.Code << command << ": " << r.Err.substr(0, r.Err.find('\n')) << "\n";
    }
    return r;
  }
  void Log(const char* what, const std::string& key, const std::string& text) {
    log_ << what << " " << key << " " << text << "\n" << std::flush;
  }

  std::string name_;
  std::filesystem::path dir_;
  std::ofstream log_;
};

// Writes its terms in turn through `term set`.
class TTermWriter : public TWorker {
public:
  TTermWriter(std::string name, std::filesystem::path dir, std::string project, std::vector<std::string> terms)
      : TWorker(std::move(name), std::move(dir)), project_(std::move(project)), terms_(std::move(terms)) {}

private:
  void Step(int step) override {
    const std::string& term = terms_[step % terms_.size()];
    const std::string text = name_ + "-" + std::to_string(step);
    Log("try", term, text);
    if (Quintrel({"term", "set", "--project", project_, "de", term, text}).Code == 0) Log("ack", term, text);
  }
  std::string project_;
  std::vector<std::string> terms_;
};

// Writes its objects through the translation editor's controller, each time expecting the
// text it wrote last: a refusal means another write got in or its own went missing.
class TEditorWriter : public TWorker {
public:
  TEditorWriter(std::string name, std::filesystem::path dir, std::string project, std::map<std::string, std::string> objects)
      : TWorker(std::move(name), std::move(dir)), project_(std::move(project)), objects_(std::move(objects)) {}

private:
  void Step(int step) override {
    auto it = objects_.begin();
    std::advance(it, step % objects_.size());
    const std::string text = name_ + "-" + std::to_string(step);
    Log("try", it->first, text);
    if (Quintrel({"terms", "set", it->first, text, "--lang", "de", "--expect", it->second, "--project", project_}).Code == 0) {
      Log("ack", it->first, text);
      it->second = text;
    }
  }
  std::string project_;
  std::map<std::string, std::string> objects_;  // object id -> the text it holds
};

// Runs one command in turn from a list; with `key`, what it prints is a text read.
class TReader : public TWorker {
public:
  struct TCommand {
    std::vector<std::string> Args;
    std::string Key;  // empty: output not logged
  };
  TReader(std::string name, std::filesystem::path dir, std::vector<TCommand> commands)
      : TWorker(std::move(name), std::move(dir)), commands_(std::move(commands)) {}

private:
  void Step(int step) override {
    const TCommand& c = commands_[step % commands_.size()];
    const TResult r = Quintrel(c.Args);
    if (r.Code == 0 && !c.Key.empty()) Log("read", c.Key, r.Out.substr(0, r.Out.find('\n')));
  }
  std::vector<TCommand> commands_;
};

struct TLogLine {
  std::string What, Key, Text;
};

std::vector<TLogLine> ReadLog(const std::filesystem::path& file) {
  std::vector<TLogLine> lines;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    TLogLine l;
    fields >> l.What >> l.Key;
    std::getline(fields >> std::ws, l.Text);
    lines.push_back(l);
  }
  return lines;
}

class SoakCliTest : public ExampleProjectFixture {
protected:
  // Object id -> term id of the module's string objects of the main form, from `object list`.
  std::vector<std::pair<std::string, std::string>> Objects() {
    const TRunResult r = In({"object", "list"});
    EXPECT_EQ(r.code, 0) << r.err;
    std::vector<std::pair<std::string, std::string>> objects;
    std::istringstream lines(r.out);
    std::string line;
    std::getline(lines, line);  // heading
    while (std::getline(lines, line)) {
      std::vector<std::string> f;
      std::istringstream cells(line);
      for (std::string cell; std::getline(cells, cell, '\t');) f.push_back(cell);
      if (f.size() >= 6 && f[2] == "MainForm" && f[5] == "utString") objects.emplace_back(f[0], f[1]);
    }
    return objects;
  }
  std::string German(const std::string& term) {
    const TRunResult r = In({"term", "get", "de", term});
    return r.code == 0 ? r.out.substr(0, r.out.find('\n')) : "(" + r.err + ")";
  }
};

TEST_F(SoakCliTest, ProcessesSharingAModuleLoseNoAcknowledgedWrite) {
  const auto objects = Objects();
  ASSERT_GE(objects.size(), 8u) << "the example's main form has too few texts for the soak";
  const std::filesystem::path logs = dir_ / "soak";
  std::filesystem::create_directories(logs);

  // Each writer owns two objects; the editor writers name them by object, the others by term.
  std::map<std::string, std::string> termOf, original;  // key -> term id, term id -> text
  std::vector<std::unique_ptr<TWorker>> workers;
  std::vector<TReader::TCommand> reads;
  for (int w = 0; w < 4; ++w) {
    const auto& a = objects[2 * w];
    const auto& b = objects[2 * w + 1];
    for (const auto* o : {&a, &b}) {
      // Every owned term exists with a known text before the processes start.
      original[o->second] = "start";
      const TRunResult r = In({"term", "set", "de", o->second, "start"});
      ASSERT_EQ(r.code, 0) << r.err;
      reads.push_back({{"term", "get", "--project", project_, "de", o->second}, o->second});
    }
    const std::string name = std::string(w < 2 ? "term" : "editor") + std::to_string(w);
    if (w < 2) {
      workers.push_back(std::make_unique<TTermWriter>(name, logs, project_, std::vector{a.second, b.second}));
      termOf[a.second] = a.second;
      termOf[b.second] = b.second;
    } else {
      std::map<std::string, std::string> owned = {{a.first, original[a.second]}, {b.first, original[b.second]}};
      workers.push_back(std::make_unique<TEditorWriter>(name, logs, project_, owned));
      termOf[a.first] = a.second;
      termOf[b.first] = b.second;
    }
  }
  workers.push_back(std::make_unique<TReader>("reader", logs, reads));
  std::vector<TReader::TCommand> switches;
  for (const char* lang : {"de", "ru", "en", "he"})
    switches.push_back({{"preview", "--project", project_, "--lang", lang, "--form", "MainForm"}, ""});
  workers.push_back(std::make_unique<TReader>("translator", logs, switches));
  // A reader of the whole module in one read bracket, while the writers write.
  workers.push_back(std::make_unique<TReader>(
      "export", logs,
      std::vector<TReader::TCommand>{{{"export", "--project", project_, "--base", "en", "--target", "de", "--all",
                                       "-o", (logs / "export.xlf").string()},
                                      ""}}));
  workers.push_back(std::make_unique<TReader>(
      "check", logs, std::vector<TReader::TCommand>{{{"db", "check", Path("project/Sample.ZOD")}, ""}}));

  // Each worker in a process group of its own, so that one that hangs goes with its command.
  const int seconds = SoakSeconds();
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(seconds);
  std::map<pid_t, std::string> running;
  for (const auto& worker : workers) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      setpgid(0, 0);
      _exit(worker->Loop(deadline));
    }
    setpgid(pid, pid);
    running[pid] = worker->Name();
  }
  // A command may take long on a loaded machine, but not this long.
  const Clock::time_point limit = deadline + std::chrono::seconds(120);
  while (!running.empty() && Clock::now() < limit) {
    int status = 0;
    const pid_t pid = waitpid(-1, &status, WNOHANG);
    if (pid > 0) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << running[pid] << " ended with status " << status;
      running.erase(pid);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  for (const auto& [pid, name] : running) {
    ADD_FAILURE() << name << " did not finish within 120 s after the end (deadlock?); killed";
    kill(-pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }

  // What the workers did.
  std::map<std::string, std::string> lastAck;
  std::map<std::string, std::set<std::string>> tried;
  std::vector<std::pair<std::string, std::string>> seen;
  size_t acks = 0, steps = 0;
  for (const auto& worker : workers) {
    size_t own = 0;
    for (const TLogLine& l : ReadLog(worker->LogFile())) {
      ++steps;
      if (l.What == "fail") ADD_FAILURE() << worker->Name() << ": " << l.Key << " " << l.Text;
      if (l.What == "try") tried[termOf[l.Key]].insert(l.Text);
      if (l.What == "ack") {
        lastAck[termOf[l.Key]] = l.Text;
        ++own;
      }
      if (l.What == "read") seen.emplace_back(l.Key, l.Text);
    }
    if (dynamic_cast<TReader*>(worker.get()) == nullptr) {
      EXPECT_GT(own, 0u) << worker->Name() << " got no write acknowledged";
    }
    acks += own;
  }
  std::cout << "soak: " << workers.size() << " processes, " << seconds << " s, " << steps << " log lines, " << acks
            << " acknowledged writes, " << seen.size() << " reads\n";

  // Nothing lost, nothing torn, nothing damaged.
  const TRunResult check = Run({"db", "check", Path("project/Sample.ZOD")});
  EXPECT_EQ(check.code, 0) << check.out << check.err;
  for (const auto& [term, text] : lastAck) EXPECT_EQ(German(term), text) << "term " << term;
  for (const auto& [term, text] : seen)
    EXPECT_TRUE(text == original[term] || tried[term].count(text)) << "term " << term << " read as '" << text << "'";
}

}  // namespace
}  // namespace quintrel::cli::test
