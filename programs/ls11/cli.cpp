#include "ls11/cli.h"

#include <cstdio>

#include "ls11.h"

#include "ls11/commands.h"
#include "ls11/report.h"
#include "ls11/text_escape.h"
#include "ls11/walk.h"
#include "tool_support/console.h"
#include "tool_support/interrupt_cleanup.h"

namespace ls11 {

namespace {

constexpr const char* kVersionText = "ls11 (ls11kit) " LS11_VERSION_STRING "\n";

constexpr const char* kToolHelp =
    "Usage: ls11 COMMAND [OPTION]... FILE...\n"
    "Look inside LS11 files, take their entries out and build new ones.\n"
    "\n"
    "Commands:\n"
    "  list      show the entries of each file\n"
    "  extract   write each entry to a file of its own\n"
    "  pack      build an LS11 file from files, one entry each\n"
    "  repack    re-encode a decoded file with the entries of its original\n"
    "  verify    decode each file in memory and report whether it is sound\n"
    "  replace   put new bytes in some entries, keeping the others as they are\n"
    "  cat       write the decoded bytes of a file or of some entries to\n"
    "            standard output\n"
    "  help      this text; help COMMAND: that command's options\n"
    "\n"
    "Options of every command: -q, --quiet (only errors and the data asked\n"
    "for), --progress, --no-progress (default: when standard error is a\n"
    "terminal). --help (also after a command), -V, --version.\n"
    "OUT, where a command writes one file: - is standard output; a pipe or a\n"
    "terminal, or a link to one, is written as a stream; a link to a file\n"
    "is written through (with --force), the link kept.\n"
    "Exit status: 0 when everything worked, 1 when any file failed,\n"
    "2 for a usage error.\n";

// Which options a command takes, and how many operands.
enum : unsigned {
  OPT_JSON = 1,
  OPT_OUTPUT = 2,
  OPT_FORCE = 4,
  OPT_PACKING = 8,  // --level, --store, --threads
  OPT_FORMAT = 16,
  OPT_RECURSIVE = 32,
};

// What every command takes besides its own options.
constexpr const char* kCommonHelp =
    "  -q, --quiet     only errors (and the data asked for)\n"
    "  --progress, --no-progress\n"
    "                  a progress line on standard error (default: when it is\n"
    "                  a terminal)\n";

struct Command {
  const char* name;
  int (*run)(const Options&);
  unsigned allowed;
  bool output_required;
  size_t min_operands;
  size_t max_operands;  // 0: no limit
  const char* help;
};

const Command kCommands[] = {
    {"list", run_list, OPT_JSON | OPT_RECURSIVE, false, 1, 0,
     "Usage: ls11 list [-r] [--json] FILE...\n"
     "Show each file's version and entries: index, offset, packed and unpacked\n"
     "size, stored or compressed, and the packed size as a share of the\n"
     "unpacked size; totals at the end.\n"
     "\n"
     "  -r, --recursive  the LS11 files below each folder FILE, and how many\n"
     "                   other files were skipped\n"
     "  --json           one JSON array with an object per file, for scripts\n"},
    {"extract", run_extract, OPT_OUTPUT | OPT_FORCE | OPT_RECURSIVE, false, 1, 0,
     "Usage: ls11 extract [-r] [-o DIR] [--force] FILE...\n"
     "Write each entry of each file to a file of its own, named after the file\n"
     "and the entry's index: MAP.LS11 gives MAP.LS11.000, MAP.LS11.001, ...\n"
     "A file extracts all or nothing: a damaged file, a full disk or an\n"
     "interrupt leaves none of its entries behind.\n"
     "\n"
     "  -r, --recursive  the LS11 files below each folder FILE; with -o the\n"
     "                   folders below it are made again under DIR\n"
     "  -o DIR           write into DIR (created if missing) instead of beside FILE\n"
     "  -f, --force      replace files that exist already\n"},
    {"pack", run_pack, OPT_OUTPUT | OPT_FORCE | OPT_PACKING | OPT_FORMAT | OPT_RECURSIVE, true, 1,
     0,
     "Usage: ls11 pack -o OUT [--format 10|11|12] [--level fast|best] [--store]\n"
     "                 [-T N] [--force] [-r] INPUT...\n"
     "Build an LS11 file in which each INPUT is one entry, in the order given.\n"
     "A folder INPUT gives one entry for every file below it, in the order of\n"
     "their paths sorted byte by byte (\"d/a.txt\" before \"d/a/x\").\n"
     "\n"
     "  -o OUT          the file to write (- for standard output)\n"
     "  --format N      header version 10, 11 or 12 (default 11)\n"
     "  --level L       fast, or best (the smallest file; default)\n"
     "  --store         store every entry as it is, without compressing\n"
     "  -T, --threads N pack on N threads (default 0: one per core)\n"
     "  -f, --force     replace OUT if it exists\n"
     "  -r, --recursive take folders (they are taken without it too)\n"},
    {"repack", run_repack, OPT_OUTPUT | OPT_FORCE | OPT_PACKING, true, 2, 2,
     "Usage: ls11 repack ORIGINAL DECODED -o OUT [--level fast|best] [--store]\n"
     "                   [-T N] [--force]\n"
     "Re-encode DECODED (ORIGINAL's decoded file, edited perhaps) with\n"
     "ORIGINAL's entry boundaries and version, so it can go back in its place.\n"
     "DECODED must be exactly as long as ORIGINAL's entries together.\n"
     "\n"
     "  -o OUT          the file to write (- for standard output)\n"
     "  --level L       fast, or best (the smallest file; default)\n"
     "  --store         store every entry as it is, without compressing\n"
     "  -T, --threads N pack on N threads (default 0: one per core)\n"
     "  -f, --force     replace OUT if it exists\n"},
    {"verify", run_verify, OPT_JSON | OPT_RECURSIVE, false, 1, 0,
     "Usage: ls11 verify [-r] [--json] FILE...\n"
     "Decode every entry of each file in memory, write nothing, and report\n"
     "each file's status.\n"
     "\n"
     "  -r, --recursive  the LS11 files below each folder FILE\n"
     "  --json           one JSON array with an object per file: name, status,\n"
     "                   message, entries, reason_code, reason, failed_entry\n"},
    {"replace", run_replace, OPT_OUTPUT | OPT_FORCE, true, 2, 0,
     "Usage: ls11 replace ORIGINAL -o OUT [--force] INDEX=FILE...\n"
     "Write a copy of ORIGINAL in which entry INDEX holds the bytes of FILE, of\n"
     "any length, encoded with ORIGINAL's dictionary. The version, the\n"
     "dictionary and every other entry's packed bytes stay as they are.\n"
     "\n"
     "  -o OUT          the file to write (- for standard output; OUT may be\n"
     "                  ORIGINAL, with --force, when that is a file)\n"
     "  -f, --force     replace OUT if it exists\n"},
    {"cat", run_cat, 0, false, 1, 0,
     "Usage: ls11 cat FILE [INDEX]...\n"
     "Write the decoded bytes of FILE, or of the entries named, in the order\n"
     "named, to standard output.\n"},
};

// A thread count: 0 (one per core) to 1024, in decimal digits.
bool parse_threads(const std::string& value, unsigned& threads) {
  if (value.empty() || value.size() > 4 ||
      value.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  threads = static_cast<unsigned>(std::stoul(value));
  return threads <= 1024;
}

const Command* find_command(const std::string& name) {
  for (const Command& c : kCommands) {
    if (name == c.name) return &c;
  }
  return nullptr;
}

void print_command_help(const Command& command) {
  print_result(command.help);
  print_result(kCommonHelp);
}

// Every option: its names, whether it takes a value, and the bit a command
// must allow for it (0: every command takes it).
struct OptionSpec {
  const char* short_name;  // "-o", or null
  const char* long_name;   // "--output"
  bool takes_value;
  unsigned group;
};

const OptionSpec kOptions[] = {
    {"-h", "--help", false, 0},
    {"-q", "--quiet", false, 0},
    {nullptr, "--progress", false, 0},
    {nullptr, "--no-progress", false, 0},
    {"-r", "--recursive", false, OPT_RECURSIVE},
    {nullptr, "--json", false, OPT_JSON},
    {"-o", "--output", true, OPT_OUTPUT},
    {"-f", "--force", false, OPT_FORCE},
    {nullptr, "--store", false, OPT_PACKING},
    {nullptr, "--level", true, OPT_PACKING},
    {nullptr, "--format", true, OPT_FORMAT},
    {"-T", "--threads", true, OPT_PACKING},
};

const OptionSpec* find_option(const std::string& name) {
  for (const OptionSpec& o : kOptions) {
    if (name == o.long_name || (o.short_name && name == o.short_name)) return &o;
  }
  return nullptr;
}

// Puts an option into `options` (`progress`: 1 for --progress, 0 for
// --no-progress); "" or why its value is wrong.
std::string apply_option(const OptionSpec& option, const std::string& value, Options& options,
                         int& progress) {
  const std::string name = option.long_name;
  if (name == "--quiet") {
    options.quiet = true;
  } else if (name == "--progress" || name == "--no-progress") {
    progress = name == "--progress";
  } else if (name == "--recursive") {
    options.recursive = true;
  } else if (name == "--json") {
    options.json = true;
  } else if (name == "--output") {
    options.output = value;
  } else if (name == "--force") {
    options.force = true;
  } else if (name == "--store") {
    options.level = LS11_LEVEL_STORE;
  } else if (name == "--level" && (value == "fast" || value == "best")) {
    if (options.level != LS11_LEVEL_STORE)
      options.level = value == "fast" ? LS11_LEVEL_FAST : LS11_LEVEL_BEST;
  } else if (name == "--format" && (value == "10" || value == "11" || value == "12")) {
    options.format = value == "10" ? 10 : value == "11" ? 11 : 12;
  } else if (name == "--threads" && parse_threads(value, options.threads)) {
    // parse_threads has stored the count.
  } else {
    return "invalid value '" + value + "' for " + name;
  }
  return "";
}

// Parses the arguments after the command. Returns -1 when the command is
// to run, or the exit status to end with (help shown, usage error).
int parse_command_line(const Command& command, const std::vector<std::string>& args,
                       Options& options) {
  int progress = -1;  // --progress, --no-progress, or neither
  bool options_ended = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      options.operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    // --name or --name=value; -o VALUE or -oVALUE; -f.
    const bool is_long = arg.compare(0, 2, "--") == 0;
    const size_t name_end = is_long ? arg.find('=') : 2;
    const std::string name = arg.substr(0, name_end);
    const bool has_value = name_end < arg.size();
    const OptionSpec* option = find_option(name);
    if (!option || (!is_long && has_value && !option->takes_value)) {
      return usage_error("unknown option '" + arg + "'", command.name);
    }
    if (has_value && !option->takes_value) {
      return usage_error("option " + name + " takes no value", command.name);
    }
    std::string value;
    if (has_value) {
      value = arg.substr(is_long ? name_end + 1 : name_end);
    } else if (option->takes_value) {
      if (i + 1 == args.size())
        return usage_error("option " + name + " needs a value", command.name);
      value = args[++i];
    }
    if (option->takes_value && value.empty()) {
      return usage_error("the value of " + name + " is empty", command.name);
    }
    if (std::string(option->long_name) == "--help") {
      print_command_help(command);
      return kExitOk;
    }
    if (option->group != 0 && (command.allowed & option->group) == 0) {
      return usage_error(std::string(command.name) + " takes no option " + name, command.name);
    }
    const std::string invalid = apply_option(*option, value, options, progress);
    if (!invalid.empty()) return usage_error(invalid, command.name);
  }
  if (command.output_required && options.output.empty()) {
    return usage_error(std::string(command.name) + " needs -o OUT", command.name);
  }
  if (options.operands.size() < command.min_operands ||
      (command.max_operands != 0 && options.operands.size() > command.max_operands)) {
    return usage_error(std::string(command.name) + ": wrong number of files", command.name);
  }
  choose_progress(progress < 0 ? !options.quiet && stderr_is_terminal() : progress == 1);
  return -1;
}

// ls11 help [COMMAND].
int show_help(const std::vector<std::string>& arguments) {
  if (arguments.size() > 2) return usage_error("help takes one command at most", nullptr);
  if (arguments.size() == 1) {
    print_result(kToolHelp);
    return kExitOk;
  }
  const Command* command = find_command(arguments[1]);
  if (!command) return usage_error("unknown command '" + arguments[1] + "'", nullptr);
  print_command_help(*command);
  return kExitOk;
}

// Runs the command line and returns the exit status, before standard
// output is flushed.
int run_command_line(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return usage_error("no command given", nullptr);
  const std::string& first = arguments[0];
  if (first == "--help" || first == "-h") {
    print_result(kToolHelp);
    return kExitOk;
  }
  if (first == "--version" || first == "-V") {
    print_result(kVersionText);
    return kExitOk;
  }
  if (first == "help") return show_help(arguments);
  const Command* command = find_command(first);
  if (!command) return usage_error("unknown command '" + first + "'", nullptr);
  Options options;
  const int early = parse_command_line(*command, arguments, options);
  if (early >= 0) return early;
  // pack takes every file below a folder with or without -r, since it has
  // nothing else to do with one.
  const bool packing = command->run == run_pack;
  const bool found = !(options.recursive || packing) || expand_folders(options, packing);
  const int status = command->run(options);
  return found ? status : kExitFailed;
}

}  // namespace

int usage_error(const std::string& message, const char* command) {
  print_error_text(("ls11: " + printable(message) + "\n").c_str());
  std::fprintf(stderr, "Try 'ls11 %s--help'.\n",
               command ? (std::string(command) + " ").c_str() : "");
  return kExitUsage;
}

int run_ls11(const std::vector<std::string>& arguments) {
  install_interrupt_cleanup();
  const int status = run_command_line(arguments);
  if (!finish_standard_output() && status == kExitOk) return kExitFailed;
  return status;
}

}  // namespace ls11
