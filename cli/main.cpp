// quintrel: the command line of the suite. Each noun registers its verbs; this file only
// checks the command line, parses, runs, and turns failures into one line on stderr and an
// exit code.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/common.h"
#include "cli/badlanguage.h"
#include "cli/browse_commands.h"
#include "cli/charset_commands.h"
#include "cli/completion_commands.h"
#include "cli/db_commands.h"
#include "cli/exchange_commands.h"
#include "cli/form_commands.h"
#include "cli/globalization_commands.h"
#include "cli/ide_commands.h"
#include "cli/intl_commands.h"
#include "cli/isolate_commands.h"
#include "cli/lang_commands.h"
#include "cli/leverage_commands.h"
#include "cli/module_commands.h"
#include "cli/object_commands.h"
#include "cli/project_commands.h"
#include "cli/source_commands.h"
#include "cli/switchbase_commands.h"
#include "cli/preview_commands.h"
#include "cli/edit_commands.h"
#include "cli/quality_commands.h"
#include "cli/resstr_commands.h"
#include "cli/term_commands.h"
#include "cli/terms_commands.h"
#include "cli/usage.h"
#include "cli/version.h"
#include "platform/rtl/sysutils.h"
#include "strings/qconsts.h"

int main(int argc, char** argv) {
  using namespace quintrel::cli;
  CLI::App app{"Quintrel: collect, translate, check and ship the texts of an application in one language module"};
  app.name("quintrel");
  app.set_version_flag("--version", quintrel::rtl::Format(quintrel::strings::_SCliVersion, kVersion, kCommit));
  app.require_subcommand(1);
  RegisterDbCommands(app);
  RegisterModuleCommands(app);
  RegisterLangCommands(app);
  RegisterCharsetCommands(app);
  RegisterFormCommands(app);
  RegisterTermCommands(app);
  RegisterTermsCommands(app);
  RegisterObjectCommands(app);
  RegisterProjectCommands(app);
  RegisterGlobalizationCommands(app);
  RegisterIdeCommands(app);
  RegisterPreviewCommands(app);
  RegisterEditCommands(app);
  RegisterSourceCommands(app);
  RegisterIntlCommands(app);
  RegisterBrowseCommands(app);
  RegisterResStrCommands(app);
  RegisterExchangeCommands(app);
  RegisterQualityCommands(app);
  RegisterIsolateCommands(app);
  RegisterLeverageCommands(app);
  RegisterSwitchBaseCommands(app);
  RegisterHelpCommand(app);
  RegisterCompletionCommand(app);
  // Set last, so that it stays on the list of commands and does not repeat under each one.
  app.footer(
      "'quintrel help COMMAND...' (or COMMAND --help) shows the help of a command. docs/guide walks a project "
      "through the whole workflow, docs/getting-started.md from a project folder to a previewed translation; "
      "docs/usage.md describes every command.");
  // Whether the command line holds a lone "--", which the parser takes for the end of the
  // options.
  const auto loneDashes = [&] {
    return std::find(argv + std::min(argc, 1), argv + argc, std::string_view("--")) != argv + argc;
  };
  // The command the arguments lead to, whose help a usage error points to.
  const CLI::App* command = &app;
  try {
    command = CheckCommandLine(app, std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    const std::string message = UsageMessage(e, command);
    return ReportUsage(loneDashes() ? quintrel::rtl::Format(quintrel::strings::_SCliLoneDashes, message) : message,
                       command);
  } catch (const EBadLanguageId& e) {
    // `lang remove FILE --`: the module's name arrives as the identifier.
    std::cerr << "quintrel: " << (loneDashes() ? quintrel::rtl::Format(quintrel::strings::_SCliLoneDashes, e.what()) : e.what())
              << "\n";
    return kExitFailure;
  } catch (const EUsage& e) {
    return ReportUsage(e.what(), e.Command());
  } catch (const TExitCode& e) {
    return e.code;
  } catch (const ECommandFailed& e) {
    std::cerr << "quintrel: " << e.what() << "\n";
    return kExitFailure;
  } catch (const quintrel::rtl::Exception& e) {
    std::cerr << "quintrel: " << e.Message() << "\n";
    return kExitFailure;
  } catch (const std::exception& e) {
    std::cerr << "quintrel: " << e.what() << "\n";
    return kExitFailure;
  }
  return kExitOk;
}
