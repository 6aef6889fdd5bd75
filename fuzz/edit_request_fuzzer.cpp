// libFuzzer target: the translation editor's web server as requests land on it, without a
// socket: the bytes of one HTTP request (line, headers, query, JSON body) answered by the
// server of `quintrel edit` on a small project and module (fuzz/exchange_module.h). "{{TOKEN}}"
// in the input stands for the server's token, so that mutations get past the access check.
//
// Every request gets an HTTP answer; a refusal is a 4xx with a JSON error. A 500 means a
// handler let an unexpected exception through (a JSON value of the wrong type, say), and
// is a finding. Writes go into the module across runs, as a long session's do.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "cli/edit_commands.h"
#include "fuzz/exchange_module.h"
#include "fuzz/module_input.h"

using namespace quintrel;

namespace {

std::unique_ptr<cli::TEditRequests> server;
std::filesystem::path folder;

void Setup() {
  namespace fs = std::filesystem;
  ::setenv("QUINTREL_CONFIG", "/nonexistent/quintrel-fuzz/registry.ini", 1);
  folder = fs::temp_directory_path() / ("quintrel-edit-fuzz-" + std::to_string(::getpid()));
  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::create_directories(folder);
  std::atexit([] {
    server.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  });
  std::ofstream(folder / "App.bpr") << "OBJFILES = App.obj Main.obj\r\n";
  std::ofstream(folder / "App.cpp") << "USEFORM(\"Main.cpp\", MainForm);\r\n";
  std::ofstream(folder / "App.ZOD", std::ios::binary) << fuzz::ExchangeModuleBytes();
  server = std::make_unique<cli::TEditRequests>((folder / "App.bpr").string(), (folder / "App.ZOD").string());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!server) Setup();
  std::string request(reinterpret_cast<const char*>(data), size);
  for (size_t at = request.find("{{TOKEN}}"); at != std::string::npos; at = request.find("{{TOKEN}}", at))
    request.replace(at, 9, server->Token());
  const std::string answer = server->Answer(request);
  if (answer.rfind("HTTP/1.1 500", 0) == 0) fuzz::Finding("500: " + answer.substr(0, 2000));
  return 0;
}
