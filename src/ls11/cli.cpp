#include "ls11/cli.h"

#include <cstdio>

#include "ls11/commands.h"
#include "ls11/report.h"
#include "ls11/walk.h"

namespace {

constexpr const char* kVersionText = "ls11 (ls11kit) 0.60\n";

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
    "\n"
    "Options of every command: -q, --quiet (only errors and the data asked\n"
    "for), --progress, --no-progress (default: when standard error is a\n"
    "terminal). --help (also after a command), -V, --version.\n"
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
     "A file is decoded whole first, so a damaged file extracts nothing.\n"
     "\n"
     "  -r, --recursive  the LS11 files below each folder FILE; with -o the\n"
     "                   folders below it are made again under DIR\n"
     "  -o DIR           write into DIR (created if missing) instead of beside FILE\n"
     "  -f, --force      replace files that exist already\n"},
    {"pack", run_pack, OPT_OUTPUT | OPT_FORCE | OPT_PACKING | OPT_FORMAT, true, 1, 0,
     "Usage: ls11 pack -o OUT [--format 10|11|12] [--level fast|best] [--store]\n"
     "                 [-T N] [--force] INPUT...\n"
     "Build an LS11 file in which each INPUT is one entry, in the order given.\n"
     "\n"
     "  -o OUT          the file to write\n"
     "  --format N      header version 10, 11 or 12 (default 11)\n"
     "  --level L       fast, or best (the smallest file; default)\n"
     "  --store         store every entry as it is, without compressing\n"
     "  -T, --threads N pack on N threads (default 0: one per core)\n"
     "  -f, --force     replace OUT if it exists\n"},
    {"repack", run_repack, OPT_OUTPUT | OPT_FORCE | OPT_PACKING, true, 2, 2,
     "Usage: ls11 repack ORIGINAL DECODED -o OUT [--level fast|best] [--store]\n"
     "                   [-T N] [--force]\n"
     "Re-encode DECODED (ORIGINAL's decoded file, edited perhaps) with\n"
     "ORIGINAL's entry boundaries and version, so it can go back in its place.\n"
     "DECODED must be exactly as long as ORIGINAL's entries together.\n"
     "\n"
     "  -o OUT          the file to write\n"
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
     "                   message, entries\n"},
    {"replace", run_replace, OPT_OUTPUT | OPT_FORCE, true, 2, 0,
     "Usage: ls11 replace ORIGINAL -o OUT [--force] INDEX=FILE...\n"
     "Write a copy of ORIGINAL in which entry INDEX holds the bytes of FILE, of\n"
     "any length, encoded with ORIGINAL's dictionary. The version, the\n"
     "dictionary and every other entry's packed bytes stay as they are.\n"
     "\n"
     "  -o OUT          the file to write (OUT may be ORIGINAL, with --force)\n"
     "  -f, --force     replace OUT if it exists\n"},
    {"cat", run_cat, 0, false, 1, 0,
     "Usage: ls11 cat FILE [INDEX]...\n"
     "Write the decoded bytes of FILE, or of the entries named, in the order\n"
     "named, to standard output.\n"},
};

// A thread count: 0 (one per core) to 1024, in decimal digits.
bool parse_threads(const std::string& value, unsigned& threads) {
  if (value.empty() || value.size() > 4 || value.find_first_not_of("0123456789") != std::string::npos) {
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

// The options every command takes; false for any other.
bool take_common_option(const std::string& name, Options& options, int& progress) {
  if (name == "-q" || name == "--quiet") {
    options.quiet = true;
  } else if (name == "--progress" || name == "--no-progress") {
    progress = name == "--progress";
  } else {
    return false;
  }
  return true;
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
    std::string name, value;
    bool has_value = false;
    if (arg.compare(0, 2, "--") == 0) {  // --name or --name=value
      const size_t eq = arg.find('=');
      has_value = eq != std::string::npos;
      name = arg.substr(0, eq);
      value = has_value ? arg.substr(eq + 1) : std::string();
    } else {
      name = arg.substr(0, 2);  // -o VALUE, -oVALUE, -f
      has_value = arg.size() > 2;
      value = has_value ? arg.substr(2) : std::string();
    }
    const bool takes_value = name == "-o" || name == "--output" || name == "--format" ||
                             name == "--level" || name == "-T" || name == "--threads";
    if (takes_value && !has_value) {
      if (i + 1 == args.size()) return usage_error("option " + name + " needs a value", command.name);
      value = args[++i];
    } else if (!takes_value && has_value) {
      return usage_error("option " + name + " takes no value", command.name);
    }

    if (name == "--help" || name == "-h") {
      std::fputs(command.help, stdout);
      std::fputs(kCommonHelp, stdout);
      return kExitOk;
    }
    unsigned needs = 0;
    if (take_common_option(name, options, progress)) {
      continue;
    } else if (name == "-r" || name == "--recursive") {
      needs = OPT_RECURSIVE;
      options.recursive = true;
    } else if (name == "--json") {
      needs = OPT_JSON;
      options.json = true;
    } else if (name == "-o" || name == "--output") {
      needs = OPT_OUTPUT;
      options.output = value;
    } else if (name == "-f" || name == "--force") {
      needs = OPT_FORCE;
      options.force = true;
    } else if (name == "--store") {
      needs = OPT_PACKING;
      options.store = true;
    } else if (name == "--level" && (value == "fast" || value == "best")) {
      needs = OPT_PACKING;
      options.level = value == "fast" ? ENCODE_FAST : ENCODE_BEST;
    } else if ((name == "-T" || name == "--threads") && parse_threads(value, options.threads)) {
      needs = OPT_PACKING;
    } else if (name == "--format" && (value == "10" || value == "11" || value == "12")) {
      needs = OPT_FORMAT;
      options.version = value == "10" ? 10 : value == "11" ? 11 : 12;
    } else if (name == "--level" || name == "--format" || name == "-T" || name == "--threads") {
      return usage_error("invalid value '" + value + "' for " + name, command.name);
    } else {
      return usage_error("unknown option '" + arg + "'", command.name);
    }
    if ((command.allowed & needs) == 0) {
      return usage_error(std::string(command.name) + " takes no option " + name, command.name);
    }
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

}  // namespace

int usage_error(const std::string& message, const char* command) {
  std::fprintf(stderr, "ls11: %s\n", message.c_str());
  std::fprintf(stderr, "Try 'ls11 %s--help'.\n", command ? (std::string(command) + " ").c_str() : "");
  return kExitUsage;
}

int run_ls11(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return usage_error("no command given", nullptr);
  const std::string& first = arguments[0];
  if (first == "--help" || first == "-h") {
    std::fputs(kToolHelp, stdout);
    return kExitOk;
  }
  if (first == "--version" || first == "-V") {
    std::fputs(kVersionText, stdout);
    return kExitOk;
  }
  const Command* command = find_command(first);
  if (!command) return usage_error("unknown command '" + first + "'", nullptr);
  Options options;
  const int early = parse_command_line(*command, arguments, options);
  if (early >= 0) return early;
  const bool found = !options.recursive || expand_folders(options);
  const int status = command->run(options);
  return found ? status : kExitFailed;
}
