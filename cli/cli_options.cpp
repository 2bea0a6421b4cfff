#include "cli_options.h"

#include <cstdint>
#include <string>

const char kHelpText[] =
    "Usage: dorvenal-cli split (-s SIZE [--bytes] | -n COUNT | -k KEYWORD)\n"
    "                          [--batch] [--script] [OPTION...] SOURCE TARGET_DIR\n"
    "  or:  dorvenal-cli join [OPTION...] FIRST_PIECE TARGET_DIR\n"
    "  or:  dorvenal-cli --help | --version\n"
    "\n"
    "Cut a file into numbered pieces, or put such pieces back together.\n"
    "\n"
    "The pieces are named after SOURCE with its last dot turned into an\n"
    "underscore, then a dot and the piece number from 1: report.doc gives\n"
    "report_doc.1, report_doc.2, ... in TARGET_DIR. Files of those names are\n"
    "replaced. TARGET_DIR must have as many free bytes as SOURCE has. Each piece\n"
    "is written as NAME.dvtmp and renamed when it is whole, so a piece's name\n"
    "never holds a partial piece; a .dvtmp file left by a killed run can be\n"
    "deleted.\n"
    "\n"
    "Split, by exactly one method:\n"
    "  -s, --size SIZE     pieces of SIZE, the last one holding what is left; a\n"
    "                      plain number counts kilobytes (1 KB = 1024 bytes), or\n"
    "                      give a unit: 512B, 1400K, 100M, 2G, 650MiB (powers of\n"
    "                      1024, any case); a piece must be smaller than SOURCE\n"
    "      --bytes         with --size: a plain number counts bytes\n"
    "  -n, --pieces COUNT  COUNT pieces of equal size, the last one also taking\n"
    "                      the remainder\n"
    "  -k, --keyword TEXT  cut after each occurrence of TEXT (exact bytes, case\n"
    "                      sensitive, 1 to 25 bytes); the search ends at the\n"
    "                      file's first zero byte, and everything after the last\n"
    "                      cut is the last piece\n"
    "      --batch         also write JOIN.BAT into TARGET_DIR: run there by the\n"
    "                      Windows command interpreter, it re-creates SOURCE with\n"
    "                      COPY /B\n"
    "      --script        also write join.sh into TARGET_DIR: run by any POSIX\n"
    "                      shell, it re-creates SOURCE with cat\n"
    "\n"
    "Join: FIRST_PIECE is the .1 piece of a set. It and the pieces 2, 3, ...\n"
    "beside it, up to the first missing number, are written end to end into\n"
    "TARGET_DIR under the name they were cut from (report_doc.1 gives\n"
    "report.doc: the last underscore becomes a dot again). An existing file of\n"
    "that name is replaced once the joined file is whole.\n"
    "\n"
    "Both:\n"
    "  -y, --yes           answer yes to the confirmation question (the size and\n"
    "                      pieces splits and the join ask one); without it the\n"
    "                      question is asked on the terminal, and when standard\n"
    "                      input is not a terminal nothing is done (exit status 3)\n"
    "  -q, --quiet         no completion line and no progress line\n"
    "      --dry-run       tell what would be written (pieces and sizes, or the\n"
    "                      set to join) and write nothing\n"
    "  -p, --parents       create TARGET_DIR and its parents when missing\n"
    "  -h, --help          show this help and exit\n"
    "  -V, --version       show the version and exit\n"
    "\n"
    "COUNT and plain SIZE numbers are whole decimal numbers from 1 to\n"
    "2147483647. Long options may be abbreviated while they stay unambiguous and\n"
    "take their value as --size=SIZE too; short ones may be grouped (-yq) and\n"
    "take their value as -s100M too. Options may follow the paths; \"--\" ends\n"
    "the options.\n"
    "\n"
    "Every message is one line that starts with \"dorvenal-cli:\". The\n"
    "completion message goes to standard output. Errors, questions and, when\n"
    "standard error is a terminal, a progress line go to standard error.\n"
    "\n"
    "Exit status:\n"
    "  0    the split or join finished (or the dry run was told)\n"
    "  1    it was refused, or stopped by an error; a message on standard error\n"
    "       says why\n"
    "  2    the command line was wrong\n"
    "  3    the confirmation question was answered no, or could not be asked\n"
    "  130  stopped by Ctrl+C (SIGINT), 143 by SIGTERM (Ctrl+Break on Windows);\n"
    "       the file being written was removed\n"
    "\n"
    "Examples:\n"
    "  dorvenal-cli split -s 1400K --batch report.doc /media/stick\n"
    "  dorvenal-cli split -n 10 -y backup.tar parts\n"
    "  dorvenal-cli split -k '</record>' --script records.xml parts\n"
    "  dorvenal-cli join -y parts/backup_tar.1 .\n";

namespace {

enum class OptionId {
  kHelp, kVersion, kYes, kQuiet, kDryRun, kSize, kBytes, kPieces, kKeyword, kBatch, kScript, kParents
};

struct OptionInfo {
  const char* name;
  char letter;  // the short form, or 0
  OptionId id;
  bool takesValue;
  bool splitOnly;
};

const OptionInfo kOptions[] = {
    {"help", 'h', OptionId::kHelp, false, false},       {"version", 'V', OptionId::kVersion, false, false},
    {"yes", 'y', OptionId::kYes, false, false},         {"quiet", 'q', OptionId::kQuiet, false, false},
    {"dry-run", 0, OptionId::kDryRun, false, false},    {"parents", 'p', OptionId::kParents, false, false},
    {"size", 's', OptionId::kSize, true, true},         {"bytes", 0, OptionId::kBytes, false, true},
    {"pieces", 'n', OptionId::kPieces, true, true},     {"keyword", 'k', OptionId::kKeyword, true, true},
    {"batch", 0, OptionId::kBatch, false, true},        {"script", 0, OptionId::kScript, false, true},
};

const OptionInfo* ShortOption(char letter) {
  for (const OptionInfo& option : kOptions) {
    if (option.letter == letter) return &option;
  }
  return nullptr;
}

// The option a long name means: an exact name, or the one option that
// starts with it. Null with the reason in *error otherwise.
const OptionInfo* LongOption(const std::string& name, std::string* error) {
  const OptionInfo* match = nullptr;
  std::string candidates;
  int count = 0;
  for (const OptionInfo& option : kOptions) {
    std::string full = option.name;
    if (full == name) return &option;
    if (!name.empty() && full.compare(0, name.size(), name) == 0) {
      match = &option;
      candidates += " '--" + full + "'";
      ++count;
    }
  }
  if (count == 1) return match;
  if (count == 0) {
    *error = "unrecognized option '--" + name + "'";
  } else {
    *error = "option '--" + name + "' is ambiguous; possibilities:" + candidates;
  }
  return nullptr;
}

// Digits only, at least one, no more than `limit`.
bool ReadWholeNumber(const std::string& text, uint64_t limit, uint64_t* value) {
  if (text.empty()) return false;
  *value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    *value = *value * 10 + static_cast<uint64_t>(c - '0');
    if (*value > limit) return false;
  }
  return true;
}

bool IsWholeNumberInRange(const std::string& text) {
  uint64_t value = 0;
  return ReadWholeNumber(text, INT32_MAX, &value) && value >= 1;
}

std::string Lowercase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The power of 1024 a size suffix stands for; -1 for no suffix known.
int SuffixPower(const std::string& suffix) {
  static const char* const kUnits[] = {"b", "k", "m", "g", "t"};
  std::string unit = Lowercase(suffix);
  for (int power = 0; power < 5; ++power) {
    std::string letter = kUnits[power];
    if (unit == letter || (power > 0 && (unit == letter + "b" || unit == letter + "ib"))) return power;
  }
  return -1;
}

// Puts a --size value into the dialog's terms: a number of kilobytes, or
// of bytes where the size is no whole number of kilobytes.
bool ReadSize(CliRequest* request, std::string* error) {
  const std::string text = request->value;
  size_t digits = text.find_first_not_of("0123456789");
  if (digits == std::string::npos) {
    if (IsWholeNumberInRange(text)) return true;  // kilobytes, or bytes with --bytes
  } else {
    uint64_t number = 0;
    int power = SuffixPower(text.substr(digits));
    if (power >= 0 && ReadWholeNumber(text.substr(0, digits), UINT64_MAX >> 40, &number) && number >= 1) {
      uint64_t bytes = number << (10 * power);
      if (bytes % 1024 == 0 && bytes / 1024 <= INT32_MAX) {
        request->value = std::to_string(bytes / 1024);
        request->sizeInBytes = false;
        return true;
      }
      if (bytes <= INT32_MAX) {
        request->value = std::to_string(bytes);
        request->sizeInBytes = true;
        return true;
      }
      *error = "the size '" + text + "' is too large: at most 2147483647 KiB";
      return false;
    }
  }
  *error = "--size takes a whole number from 1 to 2147483647 (kilobytes) or a size such as 1400K, 100M, 2G, 512B, not '" +
           text + "'";
  return false;
}

const char* MethodOption(SplitMethod method) {
  switch (method) {
    case Size: return "--size";
    case Pieces: return "--pieces";
    case Keyword: return "--keyword";
  }
  return "";
}

// Applies one option and its value to the request.
bool ApplyOption(const OptionInfo& option, const std::string& value, bool* methodGiven, CliRequest* request,
                 std::string* error) {
  switch (option.id) {
    case OptionId::kHelp: request->command = Command::kHelp; break;
    case OptionId::kVersion: request->command = Command::kVersion; break;
    case OptionId::kYes: request->assumeYes = true; break;
    case OptionId::kQuiet: request->quiet = true; break;
    case OptionId::kDryRun: request->dryRun = true; break;
    case OptionId::kParents: request->makeTarget = true; break;
    case OptionId::kBytes: request->sizeInBytes = true; break;
    case OptionId::kBatch: request->writeBatch = true; break;
    case OptionId::kScript: request->writeScript = true; break;
    case OptionId::kSize:
    case OptionId::kPieces:
    case OptionId::kKeyword:
      if (*methodGiven) {
        *error = "give only one of --size, --pieces and --keyword";
        return false;
      }
      *methodGiven = true;
      request->method = option.id == OptionId::kSize ? Size : option.id == OptionId::kPieces ? Pieces : Keyword;
      request->value = value;
      break;
  }
  return true;
}

// Checks where an option may stand and takes its value. Help and version
// win wherever they stand, as soon as they are read (*done).
bool TakeOption(const OptionInfo& option, const std::string& display, bool commandKnown, const std::string* value,
                bool* methodGiven, bool* done, CliRequest* request, std::string* error) {
  if (option.id == OptionId::kHelp || option.id == OptionId::kVersion) {
    *done = true;
    return ApplyOption(option, std::string(), methodGiven, request, error);
  }
  if (!commandKnown) {
    *error = "option '" + display + "' must follow the command (split or join)";
    return false;
  }
  if (option.splitOnly && request->command != Command::kSplit) {
    *error = "option '" + display + "' belongs to split, not to join";
    return false;
  }
  if (option.takesValue && value == nullptr) {
    *error = "option '" + display + "' requires an argument";
    return false;
  }
  if (!option.takesValue && value != nullptr) {
    *error = "option '" + display + "' doesn't allow an argument";
    return false;
  }
  return ApplyOption(option, value != nullptr ? *value : std::string(), methodGiven, request, error);
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& arguments, CliRequest* request, std::string* error) {
  *request = CliRequest{};
  if (arguments.empty()) {
    *error = "missing command: split or join";
    return false;
  }
  bool methodGiven = false;
  std::vector<std::string> paths;
  bool optionsEnded = false;
  bool commandKnown = false;
  bool done = false;
  for (size_t i = 0; i < arguments.size() && !done; ++i) {
    const std::string& argument = arguments[i];
    bool isOption = !optionsEnded && argument.size() >= 2 && argument[0] == '-';
    if (!isOption) {
      if (commandKnown) {
        paths.push_back(argument);
        continue;
      }
      if (argument == "split" || argument == "join") {
        request->command = argument == "split" ? Command::kSplit : Command::kJoin;
        commandKnown = true;
        continue;
      }
      *error = "unknown command '" + argument + "' (expected split or join)";
      return false;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    if (argument[1] == '-') {
      std::string name = argument.substr(2);
      size_t equals = name.find('=');
      std::string inlineValue = equals == std::string::npos ? std::string() : name.substr(equals + 1);
      if (equals != std::string::npos) name.resize(equals);
      const OptionInfo* option = LongOption(name, error);
      if (option == nullptr) return false;
      const std::string display = std::string("--") + option->name;
      const std::string* value = nullptr;
      if (equals != std::string::npos) {
        value = &inlineValue;
      } else if (option->takesValue && i + 1 < arguments.size()) {
        value = &arguments[++i];
      }
      if (!TakeOption(*option, display, commandKnown, value, &methodGiven, &done, request, error)) return false;
      continue;
    }
    // Short options, grouped as -yq; one that takes a value takes the rest
    // of the word (-s100M) or the next word.
    for (size_t at = 1; at < argument.size() && !done; ++at) {
      const OptionInfo* option = ShortOption(argument[at]);
      if (option == nullptr) {
        *error = std::string("invalid option -- '") + argument[at] + "'";
        return false;
      }
      const std::string display = std::string("-") + argument[at];
      std::string rest = argument.substr(at + 1);
      const std::string* value = nullptr;
      if (option->takesValue) {
        if (!rest.empty()) {
          value = &rest;
        } else if (i + 1 < arguments.size()) {
          value = &arguments[++i];
        }
        at = argument.size();
      }
      if (!TakeOption(*option, display, commandKnown, value, &methodGiven, &done, request, error)) return false;
    }
  }
  if (done) return true;
  if (!commandKnown) {
    *error = "missing command: split or join";
    return false;
  }
  const bool split = request->command == Command::kSplit;
  if (split) {
    if (!methodGiven) {
      *error = "split needs one of --size, --pieces and --keyword";
      return false;
    }
    const std::string option = MethodOption(request->method);
    if (request->value.empty()) {
      *error = "the value of " + option + " must not be empty";
      return false;
    }
    if (request->value.size() > kMaxValueLength) {
      *error = "the value of " + option + " has more than 25 bytes";
      return false;
    }
    if (request->sizeInBytes && request->method != Size) {
      *error = "--bytes goes only with --size";
      return false;
    }
    if (request->method == Size && !ReadSize(request, error)) return false;
    if (request->method == Pieces && !IsWholeNumberInRange(request->value)) {
      *error = option + " takes a whole number from 1 to 2147483647, not '" + request->value + "'";
      return false;
    }
  }

  const char* sourceName = split ? "SOURCE" : "FIRST_PIECE";
  if (paths.empty()) {
    *error = std::string("missing ") + sourceName + " and TARGET_DIR";
    return false;
  }
  if (paths.size() == 1) {
    *error = "missing TARGET_DIR after '" + paths[0] + "'";
    return false;
  }
  if (paths.size() > 2) {
    *error = "unexpected argument '" + paths[2] + "'";
    return false;
  }
  if (paths[0].empty() || paths[1].empty()) {
    *error = std::string(paths[0].empty() ? sourceName : "TARGET_DIR") + " must not be empty";
    return false;
  }
  request->source = paths[0];
  request->target = paths[1];
  return true;
}
