// brindle-replay: runs a scenario of Outlook item events through the add-in
// against a stand-in companion store, and prints the store and the refreshes
// the add-in posted.  Exit status: 0 when the scenario ran, 2 for bad input.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/replay.h"

namespace {

const char kUsage[] =
    "usage: brindle-replay [SCENARIO.json] [--json] [--now YYYY-MM-DDTHH:MM:SS]\n"
    "       brindle-replay --help\n";

const char kHelp[] =
    "Runs Outlook item events through the Brindle add-in against a stand-in\n"
    "companion store, then prints the store and the refreshes posted to the\n"
    "companion's windows.  Without SCENARIO.json it runs a built-in scenario:\n"
    "a small mailbox with mail, tasks, appointments, a contact, a note, flags\n"
    "and query folders.\n"
    "\n"
    "Options:\n"
    "  --json        print the machine form instead of the text form\n"
    "  --now TIME    the local time the add-in sees, YYYY-MM-DDTHH:MM:SS\n"
    "                (overrides the scenario's \"now\")\n"
    "  --help, -h    this text\n"
    "\n"
    "Text form: the store as an indented tree (kinds in brackets, branches\n"
    "bare; an entry shows its category list in braces and its item class; a\n"
    "query result shows \"<- source\", the file entry it came from; a query\n"
    "shows as a formula), then each event with its result, then one line per\n"
    "posted refresh.\n"
    "\n"
    "JSON form: {\"events\": [{\"dispid\", \"hresult\"}],\n"
    "  \"posts\": [{\"event\", \"window\", \"message\", \"wParam\", \"lParam\"}],\n"
    "  \"store\": node}.  \"event\" is the index of the event that posted.\n"
    "  The store is itself a valid scenario \"store\", so runs can be chained.\n"
    "\n"
    "Scenario (a JSON object; every key optional):\n"
    "  \"now\":     local time \"YYYY-MM-DDTHH:MM:SS\"; default the real clock\n"
    "  \"store\":   the root node; default a root \"\" holding the empty\n"
    "             branches CategoryTree, FileList and QueryTree\n"
    "  \"windows\": window-table slots from index 0 (at most 128), each\n"
    "             {\"inUse\": integer, \"window\": integer}\n"
    "  \"events\":  in order, each {\"event\": \"ItemAdd\" | \"ItemChange\" |\n"
    "             \"ItemRemove\"} or {\"dispid\": integer}, with \"item\": an\n"
    "             object of Outlook properties (EntryID, Subject, Categories,\n"
    "             FlagStatus, FlagIcon, Status, Class, Start); no \"item\"\n"
    "             passes no argument\n"
    "  A node: {\"name\": text, \"kind\": \"named\" | \"branch\" | \"entry\" |\n"
    "    \"category\" | \"query_term\" | \"query_folder\" (default \"branch\"),\n"
    "    \"children\": [nodes]}.  An entry also takes \"categories\",\n"
    "    \"userData\" (texts), \"itemClass\" and \"nodeValue\" (integers).  A\n"
    "    query_folder takes \"query\": a term, where a term is a name or\n"
    "    [name, term, ...], e.g. [\"AND\", \"Work\", [\"NOT\", \"Private\"]];\n"
    "    it becomes a \"__QuerySpec\" child of query_term nodes, placed first.\n"
    "  Item properties: a string is a string (Start as \"YYYY-MM-DDTHH:MM:SS\"\n"
    "    is a date; a Start text that begins like a date must be a valid\n"
    "    one), an integer is a 32-bit integer, null is an empty value, and a\n"
    "    missing key is a property the item does not have.\n"
    "  Texts are UTF-8; the store keeps them in Windows-1252 (\"?\" for what\n"
    "  it cannot hold).\n"
    "\n"
    "Bad input (malformed JSON, unknown keys or kinds, wrong value types, bad\n"
    "dates, a missing file) is reported with its place and exit status 2.\n";

int BadUsage(const std::string& message) {
  std::fprintf(stderr, "brindle-replay: %s\n%s", message.c_str(), kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  replay::Options options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      std::fputs("\n", stdout);
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (arg == "--json") {
      options.json = true;
    } else if (arg == "--now" || arg.compare(0, 6, "--now=") == 0) {
      std::string value;
      if (arg == "--now") {
        if (i + 1 >= argc) return BadUsage("--now needs a time");
        value = argv[++i];
      } else {
        value = arg.substr(6);
      }
      if (!replay::ParseLocalTime(value, &options.now)) {
        return BadUsage("--now: expected \"YYYY-MM-DDTHH:MM:SS\", got \"" +
                        value + "\"");
      }
      options.hasNow = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return BadUsage("unknown option " + arg);
    } else if (!options.scenarioPath.empty()) {
      return BadUsage("one scenario at a time (" + options.scenarioPath +
                      " and " + arg + ")");
    } else {
      options.scenarioPath = arg;
    }
  }

  std::string output;
  std::string error;
  if (!replay::RunCommand(options, &output, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  std::fwrite(output.data(), 1, output.size(), stdout);
  return 0;
}
