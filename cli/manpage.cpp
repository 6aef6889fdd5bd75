#include "cli/manpage.h"

#include <cstdio>
#include <memory>
#include <sstream>
#include <vector>

#include "cli/usage.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/utf8.h"
#include "strings/qconsts.h"

namespace quintrel::cli {

namespace qs = quintrel::strings;

namespace {

// Text for a line of the page: the characters roff would read as requests, escapes or
// typographic hyphens and quotes are escaped (so that an option renders as the ASCII one
// a reader copies), every character beyond ASCII is written by its code point, and the
// lines of a text are kept as lines. `lineStart`: the text begins a line of the page (rather
// than following a font change on it).
std::string Roff(std::string_view text, bool lineStart = true) {
  std::string out;
  const std::u16string wide = rtl::Utf8ToWide(text);
  for (size_t i = 0; i < wide.size(); ++i) {
    char32_t c = wide[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
    if (c == '\n') {
      out += "\n.br\n";
      lineStart = true;
      continue;
    }
    // A blank at the start of a line would break it where the text does not.
    if (lineStart && (c == ' ' || c == '\t')) continue;
    if (lineStart && c == '.') out += "\\&";
    lineStart = false;
    switch (c) {
      case '\\': out += "\\e"; break;
      case '-': out += "\\-"; break;
      case '\'': out += "\\(aq"; break;
      case '`': out += "\\(ga"; break;
      default:
        if (c < 0x80) {
          out += static_cast<char>(c);
        } else {
          char escape[16];
          std::snprintf(escape, sizeof escape, "\\[u%04X]", static_cast<unsigned>(c));
          out += escape;
        }
    }
  }
  return out;
}

// The description's opening phrase, for the NAME line that lists put beside the page's name.
std::string Summary(std::string_view description) {
  // "Quintrel: collect, translate, ..." names the program before the colon: the phrase is
  // what follows. Elsewhere a colon introduces the details, which the phrase leaves out.
  const size_t colon = description.find(": ");
  if (colon != std::string_view::npos && description.find(' ') >= colon) description.remove_prefix(colon + 2);
  size_t end = description.size();
  for (const char* stop : {". ", ": ", "; ", " (", "\n"}) end = std::min(end, description.find(stop));
  std::string summary(description.substr(0, end));
  if (summary.ends_with('.')) summary.pop_back();
  return summary;
}

std::shared_ptr<const CLI::Formatter> FormatterOf(const CLI::App* command) {
  if (auto formatter = std::dynamic_pointer_cast<const CLI::Formatter>(command->get_formatter())) return formatter;
  return std::make_shared<const CLI::Formatter>();
}

// "quintrel db info [OPTIONS] FILE", the command's words in bold.
std::string Synopsis(const CLI::App* command) {
  const std::string path = CommandPath(command);
  std::string usage = FormatterOf(command)->make_usage(command, path);
  const size_t start = usage.find(path);
  usage = start == std::string::npos ? path : usage.substr(start + path.size());
  while (!usage.empty() && (usage.back() == '\n' || usage.back() == ' ')) usage.pop_back();
  return "\\fB" + Roff(path) + "\\fR" + Roff(usage, false) + "\n.br\n";
}

// The positionals, then the options, each as its --help line shows it: name, value and
// marks ("\-o,\-\-output TEXT REQUIRED"), then the description.
std::string Options(const CLI::App* command, bool withHelp) {
  const auto formatter = FormatterOf(command);
  std::string out;
  for (const bool positional : {true, false}) {
    for (const CLI::Option* option : command->get_options()) {
      if (option->nonpositional() == positional) continue;
      if (!withHelp && option == command->get_help_ptr()) continue;
      out += ".TP\n\\fB" + Roff(formatter->make_option_name(option, positional)) + "\\fR" +
             Roff(formatter->make_option_opts(option), false) + "\n" + Roff(formatter->make_option_desc(option)) + "\n";
    }
  }
  return out;
}

std::string Heading(const char* text) { return std::string(".SH ") + "\"" + text + "\"\n"; }

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

}  // namespace

std::string ManPageName(const CLI::App* command) {
  std::string name = CommandPath(command);
  for (char& c : name)
    if (c == ' ') c = '-';
  return name;
}

std::string ManPage(CLI::App* command, const std::string& version) {
  const bool program = command->get_parent() == nullptr;
  const std::string name = ManPageName(command);
  std::ostringstream page;
  // No date: the page of a build is the same whenever it is made. No hyphenation and no
  // stretched blanks, so that the rendered words are those --help prints.
  page << ".TH \"" << Roff(Upper(name)) << "\" 1 \"\" \"" << Roff("quintrel " + version) << "\" \""
       << Roff(qs::_SManManual) << "\"\n"
       << ".nh\n.ad l\n";
  page << Heading(qs::_SManName) << Roff(name) << " \\- " << Roff(Summary(command->get_description())) << "\n";

  const std::vector<CLI::App*> tree = CommandTree(command);
  page << Heading(qs::_SManSynopsis);
  if (program || !IsGroup(command)) {
    page << Synopsis(command);
  } else {
    for (CLI::App* sub : tree)
      if (!IsGroup(sub)) page << Synopsis(sub);
  }
  page << Heading(qs::_SManDescription) << Roff(command->get_description()) << "\n";
  if (program && !command->get_footer().empty()) page << ".PP\n" << Roff(command->get_footer()) << "\n";

  if (program) {
    page << Heading(qs::_SManOptions) << Options(command, true);
    page << Heading(qs::_SManCommands);
    for (CLI::App* sub : tree)
      if (sub->get_parent() == command)
        page << ".TP\n\\fB" << Roff(sub->get_name()) << "\\fR\n"
             << Roff(sub->get_description()) << "\n.br\n"
             << Roff(rtl::Format(qs::_SManPageOf, ManPageName(sub))) << "\n";
    page << Heading(qs::_SManEnvironment);
    for (const auto& [variable, text] : {std::pair{"QUINTREL_CONFIG", qs::_SManEnvConfig},
                                         std::pair{"QUINTREL_FONT_PATH", qs::_SManEnvFontPath},
                                         std::pair{"QUINTREL_WINDRES", qs::_SManEnvWindres},
                                         std::pair{"BROWSER", qs::_SManEnvBrowser}})
      page << ".TP\n\\fB" << Roff(variable) << "\\fR\n" << Roff(text) << "\n";
    page << Heading(qs::_SManFiles);
    for (const auto& [path, text] : {std::pair{"/usr/share/i18n/locales", qs::_SManFileLocales},
                                     std::pair{"/usr/share/fonts", qs::_SManFileFonts}})
      page << ".TP\n\\fI" << Roff(path) << "\\fR\n" << Roff(text) << "\n";
    page << Heading(qs::_SManExitStatus);
    for (const auto& [code, text] :
         {std::pair{"0", qs::_SManExitOk}, std::pair{"1", qs::_SManExitFailure}, std::pair{"2", qs::_SManExitUsage}})
      page << ".TP\n\\fB" << code << "\\fR\n" << Roff(text) << "\n";
  } else if (!IsGroup(command)) {
    page << Heading(qs::_SManOptions) << Options(command, false);
  } else {
    page << Heading(qs::_SManCommands);
    for (CLI::App* sub : tree) {
      if (IsGroup(sub)) continue;
      page << ".SS \"" << Roff(CommandPath(sub)) << "\"\n" << Roff(sub->get_description()) << "\n" << Options(sub, false);
    }
  }

  page << Heading(qs::_SManSeeAlso);
  if (program) {
    std::string pages;
    for (CLI::App* sub : tree)
      if (sub->get_parent() == command) pages += (pages.empty() ? "" : ",\n") + ("\\fB" + Roff(ManPageName(sub)) + "\\fR(1)");
    page << pages << "\n";
  } else {
    page << "\\fBquintrel\\fR(1)\n";
  }
  return page.str();
}

}  // namespace quintrel::cli
