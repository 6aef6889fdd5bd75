// quintrel edit: the translation editor as a local web page.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <string_view>

namespace quintrel::cli {

void RegisterEditCommands(CLI::App& app);

// The editor's server on a project and its module without a socket: a request given as the
// bytes a connection carries, answered with the bytes the server would send (status line,
// headers, body). The server's address is 127.0.0.1:0 here; Token() is the token every
// request must carry. For the fuzz target of the request handling.
class TEditRequests {
public:
  TEditRequests(const std::string& projectFile, const std::string& moduleFile);
  ~TEditRequests();
  const std::string& Token() const;
  std::string Answer(std::string_view request);

private:
  class TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace quintrel::cli
