#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
  CLI::App app{"Quintrel localisation suite"};
  app.set_version_flag("--version", QUINTREL_VERSION);
  CLI11_PARSE(app, argc, argv);
  return 0;
}
