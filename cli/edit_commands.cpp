#include "cli/edit_commands.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>

#include "cli/common.h"
#include "cli/jsonl.h"
#include "cli/project_commands.h"
#include "cli/target.h"
#include "cli/zod_common.h"
#include "editors/formpreview.h"
#include "editors/termeditor.h"
#include "editors/webassets.h"
#include "module/languages.h"
#include "platform/rtl/sysutils.h"
#include "strings/qconsts.h"
#include "text/unicode.h"
#include "tools/exchange.h"
#include "tools/toolsession.h"

extern char** environ;

namespace quintrel::cli {

namespace {

namespace qs = quintrel::strings;
using nlohmann::json;

// Texts have no length limit of their own; a request does. A megabyte holds any text a
// form shows many times over.
constexpr std::size_t kMaxBody = 1 << 20;
// The page sends no JSON nested deeper than this; deeper input is refused before parsing.
constexpr int kMaxRequestDepth = 8;
constexpr const char* kTokenHeader = "X-Quintrel-Token";
constexpr std::size_t kTokenBytes = 16;

struct TEditOptions {
  TTarget Target;
  std::string Base, Language;
  int Port = 0;
  bool Open = false;
};

// A request the server refuses with its HTTP status and a message for the page.
struct ERequestRefused {
  int Status;
  std::string Message;
};

std::string RandomToken() {
  const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw ECommandFailed(rtl::Format(qs::_SEditorNoRandom, std::string(std::strerror(errno))));
  unsigned char bytes[kTokenBytes];
  std::size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = ::read(fd, bytes + got, sizeof bytes - got);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      ::close(fd);
      throw ECommandFailed(rtl::Format(qs::_SEditorNoRandom, std::string(n < 0 ? std::strerror(errno) : "end of file")));
    }
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token;
  for (unsigned char b : bytes) {
    token += kHex[b >> 4];
    token += kHex[b & 15];
  }
  return token;
}

// Compares in time independent of where the texts differ, so the token cannot be guessed
// a character at a time.
bool SameToken(std::string_view given, std::string_view token) {
  if (given.size() != token.size()) return false;
  unsigned char diff = 0;
  for (std::size_t i = 0; i < token.size(); ++i) diff |= static_cast<unsigned char>(given[i] ^ token[i]);
  return diff == 0;
}

json Body(const httplib::Request& request) {
  if (JsonDepth(request.body) > kMaxRequestDepth)
    throw ERequestRefused{400, rtl::Format(qs::_SEditorBadRequest, std::string("the JSON nests too deeply"))};
  json body = json::parse(request.body, nullptr, false);
  if (body.is_discarded() || !body.is_object())
    throw ERequestRefused{400, rtl::Format(qs::_SEditorBadRequest, std::string("the body is not a JSON object"))};
  return body;
}

std::string Param(const httplib::Request& request, const char* name) {
  if (!request.has_param(name))
    throw ERequestRefused{400, rtl::Format(qs::_SEditorBadRequest, "missing parameter " + std::string(name))};
  return request.get_param_value(name);
}

uint32_t ObjectNumber(std::string_view text) {
  uint32_t id = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
  if (error != std::errc() || end != text.data() + text.size())
    throw ERequestRefused{400, rtl::Format(qs::_SEditorBadRequest, "not an object number: " + std::string(text))};
  return id;
}

uint32_t ObjectInBody(const json& value) {
  if (!value.is_number_unsigned() || value.get<uint64_t>() > UINT32_MAX)
    throw ERequestRefused{400, rtl::Format(qs::_SEditorBadRequest, std::string("not an object number"))};
  return value.get<uint32_t>();
}

std::string Text(const json& body, const char* name) {
  const auto found = body.find(name);
  if (found == body.end() || !found->is_string())
    throw ERequestRefused{400, rtl::Format(qs::_SEditorBadRequest, "missing text " + std::string(name))};
  return found->get<std::string>();
}

void SendJson(httplib::Response& response, const json& value, int status = 200) {
  response.status = status;
  response.set_content(value.dump(-1, ' ', false, json::error_handler_t::replace), "application/json; charset=utf-8");
}

void SendError(httplib::Response& response, int status, const std::string& message) {
  SendJson(response, {{"error", message}}, status);
}

// The script a language is written in, for the page's choice of font.
std::string ScriptOf(uint8_t charset) {
  switch (charset) {
    case 177: return "hebrew";
    case 178: return "arabic";
    case 222: return "thai";
    case 128: case 129: case 130: case 134: case 136: return "cjk";
    default: return "";
  }
}

// A connection's bytes held in memory: what is read comes from the request given, what is
// written is kept as the answer.
class TMemoryStream : public httplib::Stream {
public:
  explicit TMemoryStream(std::string_view request) : request_(request) {}
  bool is_readable() const override { return true; }
  bool is_writable() const override { return true; }
  ssize_t read(char* ptr, size_t size) override {
    const size_t n = std::min(size, request_.size() - read_);
    std::memcpy(ptr, request_.data() + read_, n);
    read_ += n;
    return static_cast<ssize_t>(n);
  }
  ssize_t write(const char* ptr, size_t size) override {
    answer_.append(ptr, size);
    return static_cast<ssize_t>(size);
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    ip = "127.0.0.1";
    port = 0;
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    ip = "127.0.0.1";
    port = 0;
  }
  socket_t socket() const override { return INVALID_SOCKET; }
  const std::string& Answer() const { return answer_; }

private:
  std::string_view request_;
  size_t read_ = 0;
  std::string answer_;
};

// The server, able to answer a request from memory as well.
class THttpServer : public httplib::Server {
public:
  std::string Answer(std::string_view request) {
    TMemoryStream stream(request);
    bool closed = false;
    process_request(stream, true, closed, nullptr);
    return stream.Answer();
  }
};

// Blocks Ctrl-C and termination requests in this thread and every thread it starts, for as
// long as the editor lives: a signal that comes while the module is opened stays pending
// and stops the server as soon as it runs, instead of killing it half started.
class TStopSignals {
public:
  TStopSignals() { pthread_sigmask(SIG_BLOCK, &Set(), &previous_); }
  ~TStopSignals() {
    // A signal still pending (one that came after the server stopped) would act on
    // unblocking, with its default of killing the process: take it first.
    timespec none{};
    while (sigtimedwait(&Set(), nullptr, &none) > 0) {
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  TStopSignals(const TStopSignals&) = delete;
  TStopSignals& operator=(const TStopSignals&) = delete;

  static const sigset_t& Set() {
    static const sigset_t set = [] {
      sigset_t s;
      sigemptyset(&s);
      sigaddset(&s, SIGINT);
      sigaddset(&s, SIGTERM);
      return s;
    }();
    return set;
  }

private:
  sigset_t previous_{};
};

class TEditServer {
public:
  TEditServer(const std::string& projectFile, const std::string& moduleFile, const std::string& base,
              const std::string& target)
      : project_(OpenProject(projectFile)),
        module_(std::filesystem::absolute(moduleFile).lexically_normal().string()),
        token_(RandomToken()),
        editor_(module_.Zod(), module_.Index()) {
    module::TZod& zod = module_.Zod();
    const int m = module_.Index();
    std::vector<module::TLanguageId> ids;
    zod.GetLanguageList(m, ids);
    if (ids.empty()) throw ECommandFailed(rtl::Format(qs::_SEditorNoLanguages, module_.FileName()));
    // The languages the page starts with: the controller's choice unless others are asked for.
    if (!base.empty()) editor_.SetBase(ParseLanguageId(base));
    if (!target.empty()) editor_.SetTarget(ParseLanguageId(target));
    base_ = editor_.Base();
    target_ = editor_.Target();
    server_.set_payload_max_length(kMaxBody);
    Routes();
  }

  const std::string& Token() const { return token_; }
  std::string Answer(std::string_view request) { return server_.Answer(request); }

  void Run(int port, bool openBrowser) {
    server_.set_read_timeout(10, 0);
    // One worker: the module, the window manager and the translator are used from one
    // thread, in the order the requests come. A connection is closed after each answer, so
    // that the worker never waits on an idle kept-alive connection while another waits.
    server_.set_keep_alive_max_count(1);
    server_.new_task_queue = [] { return new httplib::ThreadPool(1); };
    if (port == 0) {
      port = server_.bind_to_any_port("127.0.0.1");
      if (port <= 0) throw ECommandFailed(rtl::Format(qs::_SEditorCannotListen, 0, std::string(std::strerror(errno))));
    } else if (!server_.bind_to_port("127.0.0.1", port)) {
      throw ECommandFailed(rtl::Format(qs::_SEditorCannotListen, port, std::string(std::strerror(errno))));
    }
    port_ = port;
    const std::string address = "http://127.0.0.1:" + std::to_string(port) + "/?token=" + token_;
    std::cout << rtl::Format(qs::_SEditorListening, module_.FileName(), address) << std::endl;
    if (openBrowser) OpenBrowser(address);

    // Ctrl-C and a termination request stop the server between requests: the signals are
    // taken by a thread of their own (every thread blocks them, from before the module was
    // opened, see TStopSignals), which asks the server to stop; a request in progress
    // finishes first, so no write is cut short. The server only stops once it runs, so a
    // signal that came while starting up waits for that.
    std::atomic<bool> signalled{false}, finished{false};
    std::thread watcher([&] {
      int signal = 0;
      sigwait(&TStopSignals::Set(), &signal);
      if (finished) return;
      signalled = true;
      while (!server_.is_running() && !finished) std::this_thread::sleep_for(std::chrono::milliseconds(2));
      server_.stop();
    });
    const bool listened = server_.listen_after_bind();
    finished = true;
    if (!signalled) pthread_kill(watcher.native_handle(), SIGTERM);
    watcher.join();
    if (!listened && !signalled)
      throw ECommandFailed(rtl::Format(qs::_SEditorCannotListen, port, std::string("the server stopped")));
    std::cerr << "quintrel: " << qs::_SEditorStopped << "\n";
  }

private:
  // --- access -------------------------------------------------------------------------

  // Only requests to the editor's own address that carry its token get through: another
  // page in the browser knows neither, and a name that merely resolves to 127.0.0.1 (a
  // rebinding attack) fails the host check. Writes must carry the token in the header,
  // which a form of another page cannot set.
  httplib::Server::HandlerResponse Admit(const httplib::Request& request, httplib::Response& response) const {
    const std::string host = request.get_header_value("Host");
    const std::string port = ":" + std::to_string(port_);
    if (host != "127.0.0.1" + port && host != "localhost" + port) {
      SendError(response, 403, qs::_SEditorBadHost);
      return httplib::Server::HandlerResponse::Handled;
    }
    const std::string header = request.get_header_value(kTokenHeader);
    const std::string query = request.method == "GET" && request.has_param("token") ? request.get_param_value("token") : "";
    if (!SameToken(header.empty() ? query : header, token_)) {
      SendError(response, 403, qs::_SEditorBadToken);
      return httplib::Server::HandlerResponse::Handled;
    }
    response.set_header("Cache-Control", "no-store");
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_header("Referrer-Policy", "no-referrer");
    response.set_header("Content-Security-Policy",
                        "default-src 'self'; img-src 'self' data:; style-src 'self' 'unsafe-inline'; "
                        "script-src 'self'; connect-src 'self'; frame-ancestors 'none'");
    return httplib::Server::HandlerResponse::Unhandled;
  }

  // Every handler runs under the lock and answers refusals and failures as JSON.
  template <class F>
  auto Guarded(F handler) {
    return [this, handler](const httplib::Request& request, httplib::Response& response) {
      std::lock_guard<std::mutex> lock(mutex_);
      try {
        handler(request, response);
      } catch (const ERequestRefused& e) {
        SendError(response, e.Status, e.Message);
      } catch (const editors::EEditConflict& e) {
        SendError(response, 409, e.Message());
      } catch (const editors::ETermEditorError& e) {
        SendError(response, 422, e.Message());
      } catch (const ECommandFailed& e) {
        SendError(response, 400, e.what());
      } catch (const rtl::Exception& e) {
        SendError(response, 422, e.Message());
      } catch (const std::exception& e) {
        SendError(response, 500, e.what());
      }
    };
  }

  void Routes() {
    server_.set_pre_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) { return Admit(request, response); });
    for (const editors::TWebAsset& asset : editors::WebAssets()) {
      const std::string path = asset.Name == "index.html" ? "/" : "/" + std::string(asset.Name);
      server_.Get(path, [this, &asset](const httplib::Request&, httplib::Response& response) {
        std::string bytes(asset.Bytes);
        if (asset.Name == "index.html")
          for (std::size_t at = bytes.find("{{TOKEN}}"); at != std::string::npos; at = bytes.find("{{TOKEN}}", at))
            bytes.replace(at, 9, token_);
        response.set_content(bytes, std::string(asset.ContentType));
      });
    }
    server_.Get("/api/info", Guarded([this](const httplib::Request&, httplib::Response& r) { SendJson(r, Info()); }));
    server_.Get("/api/stats", Guarded([this](const httplib::Request& q, httplib::Response& r) {
      SendJson(r, Stats(Language(Param(q, "lang"))));
    }));
    server_.Get("/api/preview", Guarded([this](const httplib::Request& q, httplib::Response& r) {
      const uint32_t object = ObjectNumber(Param(q, "object"));
      r.set_content(Preview(object, Language(Param(q, "target"))), "image/svg+xml; charset=utf-8");
    }));
    TermRoutes();
  }

  // A language of the module; refused when the module has none of that identifier.
  module::TLanguageId Language(const std::string& text) {
    module::TLanguageId id = 0;
    try {
      id = ParseLanguageId(text);
      module_.RequireLanguage(id);
    } catch (const ECommandFailed& e) {
      throw ERequestRefused{400, e.what()};
    }
    return id;
  }

  // --- answers ------------------------------------------------------------------------

  json Info() {
    module::TZod& zod = module_.Zod();
    const int m = module_.Index();
    std::vector<module::TLanguageId> ids;
    zod.GetLanguageList(m, ids);
    json languages = json::array();
    for (module::TLanguageId id : ids) {
      module::TZodLanguage language;
      language.Identifier = id;
      zod.GetLanguage(m, language);
      languages.push_back({{"id", FormatLanguageId(id)},
                           {"name", language.Name ? text::WideToUtf8(*language.Name) : FormatLanguageId(id)},
                           {"charset", language.Charset},
                           {"rtl", editors::IsRightToLeftLanguage(zod, m, id)},
                           {"script", ScriptOf(language.Charset)}});
    }
    return {{"project", std::filesystem::path(project_.ProjectFile()).filename().string()},
            {"module", module_.FileName()},
            {"languages", languages},
            {"base", FormatLanguageId(base_)},
            {"target", FormatLanguageId(target_)}};
  }

  json Stats(module::TLanguageId language) {
    const tools::TStatistics s = tools::GetAmounts(module_.Zod(), module_.Index(), language);
    return {{"language", FormatLanguageId(language)}, {"total", s.Total},         {"locked", s.Locked},
            {"untranslated", s.UnTranslated},         {"review", s.ForReview},    {"signedOff", s.SignedOff}};
  }

  std::string Preview(uint32_t object, module::TLanguageId language) {
    std::string form = editor_.Entry(object).Form;
    if (!form.empty() && form.front() == '*') form.erase(0, 1);
    if (!form.empty() && form.front() == '#')
      throw ERequestRefused{404, rtl::Format(qs::_SEditorNoFormForStrings, form.substr(1))};
    try {
      return editors::RenderFormPreview(project_, module_.FileName(), form, language, object);
    } catch (const tools::EToolError& e) {
      throw ERequestRefused{422, e.Message()};
    }
  }

  void TermRoutes();

  static void OpenBrowser(const std::string& address) {
    const char* browser = std::getenv("BROWSER");
    const std::string program = browser && *browser ? browser : "xdg-open";
    std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>(address.c_str()), nullptr};
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (error != 0) std::cerr << "quintrel: " << rtl::Format(qs::_SEditorNoBrowser, program, std::string(std::strerror(error))) << "\n";
  }

  host::TProject project_;
  TModuleFile module_;
  std::string token_;
  editors::TTermEditor editor_;
  module::TLanguageId base_ = 0, target_ = 0;
  int port_ = 0;
  std::mutex mutex_;
  THttpServer server_;
};

json EntryJson(const editors::TEntry& entry) {
  return {{"id", entry.Object},
          {"label", entry.Component.empty() ? entry.Property : entry.Component + "." + entry.Property},
          {"path", entry.Path},
          {"status", std::string(editors::StateName(entry.State))}};
}

// The term operations are the controller's; the server only turns requests into its calls
// and its answers into JSON. The languages come with every request, so that two pages on
// one server may show different ones.
void TEditServer::TermRoutes() {
  const auto languages = [this](const httplib::Request& q) {
    editor_.SetBase(Language(Param(q, "base")));
    editor_.SetTarget(Language(Param(q, "target")));
  };
  server_.Get("/api/tree", Guarded([this, languages](const httplib::Request& q, httplib::Response& r) {
    languages(q);
    json forms = json::array();
    for (const editors::TTreeForm& form : editor_.Tree()) {
      json objects = json::array();
      for (const editors::TTreeComponent& component : form.Components)
        for (const editors::TEntry& entry : component.Entries) objects.push_back(EntryJson(entry));
      forms.push_back({{"name", form.Name}, {"objects", objects}});
    }
    SendJson(r, {{"forms", forms}});
  }));
  server_.Get("/api/show", Guarded([this, languages](const httplib::Request& q, httplib::Response& r) {
    languages(q);
    const editors::TEntryView view = editor_.Show(ObjectNumber(Param(q, "object")));
    const editors::TEntryState state = view.Entry.State;
    SendJson(r, {{"id", view.Entry.Object},
                 {"form", view.Entry.Form},
                 {"component", view.Entry.Component},
                 {"property", view.Entry.Property},
                 {"type", std::string(view.TypeName)},
                 {"picture", view.Picture},
                 {"pictureClass", view.PictureClass},
                 {"base", text::WideToUtf8(view.Base.Text)},
                 {"target", text::WideToUtf8(view.Target.Text)},
                 {"status", std::string(editors::StateName(state))},
                 {"comment", text::WideToUtf8(view.Comment)},
                 {"suggestion", view.Suggestion ? json(text::WideToUtf8(*view.Suggestion)) : json(nullptr)},
                 // Locked objects and signed-off terms take no translation here.
                 {"editable", !view.Picture && state != editors::TEntryState::Locked &&
                                  state != editors::TEntryState::SignedOff},
                 {"canTranslate", !view.Picture && editor_.CanTranslate()}});
  }));
  server_.Post("/api/set", Guarded([this](const httplib::Request& q, httplib::Response& r) {
    const json body = Body(q);
    const uint32_t object = ObjectInBody(body.value("object", json()));
    const std::u16string text = text::Utf8ToWide(Text(body, "text"));
    const std::u16string expected = text::Utf8ToWide(Text(body, "expected"));
    const bool changed = editor_.Set(object, Language(Text(body, "lang")), text, expected);
    SendJson(r, {{"changed", changed}});
  }));
  server_.Post("/api/clear", Guarded([this](const httplib::Request& q, httplib::Response& r) {
    const json body = Body(q);
    SendJson(r, {{"changed", editor_.Clear(ObjectInBody(body.value("object", json())), Language(Text(body, "lang")))}});
  }));
  server_.Post("/api/status", Guarded([this](const httplib::Request& q, httplib::Response& r) {
    const json body = Body(q);
    const std::string status = Text(body, "status");
    if (status != "review" && status != "signed-off")
      throw ERequestRefused{400, rtl::Format(qs::_SEditorBadRequest, "status must be review or signed-off")};
    SendJson(r, {{"changed", editor_.SetStatus(ObjectInBody(body.value("object", json())), Language(Text(body, "lang")),
                                               status == "review" ? module::usForReview : module::usSignedOff)}});
  }));
  for (const bool forward : {true, false}) {
    server_.Get(forward ? "/api/next" : "/api/prev", Guarded([this, forward](const httplib::Request& q, httplib::Response& r) {
      editor_.SetTarget(Language(Param(q, "target")));
      const uint32_t from = ObjectNumber(Param(q, "from"));
      const std::optional<uint32_t> found =
          forward ? editor_.Next(from ? std::optional(from) : std::nullopt)
                  : editor_.Prev(from ? std::optional(from) : std::nullopt);
      SendJson(r, {{"object", found ? json(*found) : json(nullptr)}});
    }));
  }
  server_.Post("/api/translate", Guarded([this](const httplib::Request& q, httplib::Response& r) {
    const json body = Body(q);
    editor_.SetBase(Language(Text(body, "base")));
    editor_.SetTarget(Language(Text(body, "target")));
    const std::optional<std::u16string> text = editor_.Translate(ObjectInBody(body.value("object", json())));
    SendJson(r, {{"text", text ? json(text::WideToUtf8(*text)) : json(nullptr)}});
  }));
}

}  // namespace

class TEditRequests::TImpl {
public:
  TImpl(const std::string& projectFile, const std::string& moduleFile) : server(projectFile, moduleFile, "", "") {}
  TEditServer server;
};

TEditRequests::TEditRequests(const std::string& projectFile, const std::string& moduleFile)
    : impl_(std::make_unique<TImpl>(projectFile, moduleFile)) {}
TEditRequests::~TEditRequests() = default;
const std::string& TEditRequests::Token() const { return impl_->server.Token(); }
std::string TEditRequests::Answer(std::string_view request) { return impl_->server.Answer(request); }

void RegisterEditCommands(CLI::App& app) {
  auto o = std::make_shared<TEditOptions>();
  CLI::App* edit = app.add_subcommand(
      "edit",
      "The translation editor as a local web page: serves it on 127.0.0.1 and prints its address, with a random "
      "token that every request must carry. The tree of forms and texts with their status, the base text beside "
      "the translation, the next and previous untranslated text a key away (Page Down, Page Up), the form as the "
      "application shows it, and the language's statistics. Ctrl-C stops it");
  o->Target.AddModule(edit, false);
  edit->add_option("--target", o->Language,
                   "Language to translate (default: the first of the module's languages that is not the base)");
  edit->add_option("--base", o->Base, "Language shown as the reference (default: the design language)");
  edit->add_option("--port", o->Port, "Port to listen on (default: one the system chooses)")->check(CLI::Range(0, 65535));
  edit->add_flag("--open", o->Open, "Open the page in the browser ($BROWSER, else xdg-open)");
  edit->callback([o] {
    const TStopSignals stopSignals;
    const std::string project = o->Target.ProjectFile();
    TEditServer(project, o->Target.ModuleFile(), o->Base, o->Language).Run(o->Port, o->Open);
  });
}

}  // namespace quintrel::cli
