#include "cli_options.h"

#include <cstdint>

const char kHelpText[] =
    "Usage: dorvenal-cli split (--size N [--bytes] | --pieces N | --keyword TEXT)\n"
    "                          [--batch] [--yes] SOURCE TARGET_DIR\n"
    "  or:  dorvenal-cli join [--yes] FIRST_PIECE TARGET_DIR\n"
    "  or:  dorvenal-cli --help | --version\n"
    "\n"
    "Cut a file into numbered pieces, or put such pieces back together.\n"
    "\n"
    "The pieces are named after SOURCE with its last dot turned into an\n"
    "underscore, then a dot and the piece number from 1: report.doc gives\n"
    "report_doc.1, report_doc.2, ... in TARGET_DIR. Files of those names are\n"
    "replaced. TARGET_DIR must exist and have as many free bytes as SOURCE has.\n"
    "\n"
    "Split, by exactly one method:\n"
    "  --size N        pieces of N kilobytes (1 KB = 1024 bytes), the last one\n"
    "                  holding what is left; a piece must be smaller than SOURCE\n"
    "      --bytes     with --size: N counts bytes, not kilobytes\n"
    "  --pieces N      N pieces of equal size, the last one also taking the\n"
    "                  remainder\n"
    "  --keyword TEXT  cut after each occurrence of TEXT (exact bytes, case\n"
    "                  sensitive, 1 to 25 bytes); the search ends at the\n"
    "                  file's first zero byte, and everything after the last\n"
    "                  cut is the last piece\n"
    "  --batch         also write JOIN.BAT into TARGET_DIR: run there by the\n"
    "                  Windows command interpreter, it re-creates SOURCE with\n"
    "                  COPY /B\n"
    "\n"
    "Join: FIRST_PIECE is the .1 piece of a set. It and the pieces 2, 3, ...\n"
    "beside it, up to the first missing number, are written end to end into\n"
    "TARGET_DIR under the name they were cut from (report_doc.1 gives\n"
    "report.doc: the last underscore becomes a dot again). An existing file of\n"
    "that name is replaced.\n"
    "\n"
    "Both:\n"
    "  -y, --yes       answer yes to the confirmation question (the size and\n"
    "                  pieces splits and the join ask one); without it the\n"
    "                  question is asked on the terminal, and when standard\n"
    "                  input is not a terminal nothing is done (exit status 3)\n"
    "  -h, --help      show this help and exit\n"
    "  -V, --version   show the version and exit\n"
    "\n"
    "N is a whole decimal number from 1 to 2147483647. Long options may be\n"
    "abbreviated while they stay unambiguous and take their value as --size=N\n"
    "too. Options may follow the paths; \"--\" ends the options.\n"
    "\n"
    "The completion message goes to standard output. Errors, questions and,\n"
    "when standard error is a terminal, a progress line go to standard error.\n"
    "\n"
    "Exit status:\n"
    "  0  the split or join finished\n"
    "  1  it was refused, or stopped by an error; a message on standard error\n"
    "     says why\n"
    "  2  the command line was wrong\n"
    "  3  the confirmation question was answered no, or could not be asked\n"
    "\n"
    "Examples:\n"
    "  dorvenal-cli split --size 1400 --batch report.doc /media/stick\n"
    "  dorvenal-cli split --pieces 10 --yes backup.tar parts\n"
    "  dorvenal-cli split --keyword '</record>' records.xml parts\n"
    "  dorvenal-cli join --yes parts/backup_tar.1 .\n";

namespace {

enum class OptionId { kHelp, kVersion, kYes, kSize, kBytes, kPieces, kKeyword, kBatch };

struct LongOptionInfo {
  const char* name;
  OptionId id;
  bool takesValue;
  bool splitOnly;
};

const LongOptionInfo kOptions[] = {
    {"help", OptionId::kHelp, false, false},      {"version", OptionId::kVersion, false, false},
    {"yes", OptionId::kYes, false, false},        {"size", OptionId::kSize, true, true},
    {"bytes", OptionId::kBytes, false, true},     {"pieces", OptionId::kPieces, true, true},
    {"keyword", OptionId::kKeyword, true, true},  {"batch", OptionId::kBatch, false, true},
};

const LongOptionInfo* ShortOption(char letter) {
  switch (letter) {
    case 'h': return &kOptions[0];
    case 'V': return &kOptions[1];
    case 'y': return &kOptions[2];
    default: return nullptr;
  }
}

// The option a long name means: an exact name, or the one option that
// starts with it. Null with the reason in *error otherwise.
const LongOptionInfo* LongOption(const std::string& name, std::string* error) {
  const LongOptionInfo* match = nullptr;
  std::string candidates;
  int count = 0;
  for (const LongOptionInfo& option : kOptions) {
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

bool IsWholeNumberInRange(const std::string& text) {
  if (text.empty()) return false;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > INT32_MAX) return false;
  }
  return value >= 1;
}

const char* MethodOption(SplitMethod method) {
  switch (method) {
    case Size: return "--size";
    case Pieces: return "--pieces";
    case Keyword: return "--keyword";
  }
  return "";
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
  for (size_t i = 0; i < arguments.size(); ++i) {
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

    const LongOptionInfo* option = nullptr;
    std::string inlineValue;
    bool hasInlineValue = false;
    if (argument[1] == '-') {
      std::string name = argument.substr(2);
      size_t equals = name.find('=');
      if (equals != std::string::npos) {
        inlineValue = name.substr(equals + 1);
        hasInlineValue = true;
        name.resize(equals);
      }
      option = LongOption(name, error);
      if (option == nullptr) return false;
    } else {
      option = argument.size() == 2 ? ShortOption(argument[1]) : nullptr;
      if (option == nullptr) {
        *error = "unrecognized option '" + argument + "'";
        return false;
      }
    }
    const std::string display = std::string("--") + option->name;

    // Help and version win wherever they stand, as soon as they are read.
    if (option->id == OptionId::kHelp || option->id == OptionId::kVersion) {
      request->command = option->id == OptionId::kHelp ? Command::kHelp : Command::kVersion;
      return true;
    }
    if (!commandKnown) {
      *error = "option '" + display + "' must follow the command (split or join)";
      return false;
    }
    if (option->splitOnly && request->command != Command::kSplit) {
      *error = "option '" + display + "' belongs to split, not to join";
      return false;
    }
    std::string value;
    if (option->takesValue) {
      if (hasInlineValue) {
        value = inlineValue;
      } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
      } else {
        *error = "option '" + display + "' requires an argument";
        return false;
      }
    } else if (hasInlineValue) {
      *error = "option '" + display + "' doesn't allow an argument";
      return false;
    }

    switch (option->id) {
      case OptionId::kYes: request->assumeYes = true; break;
      case OptionId::kBytes: request->sizeInBytes = true; break;
      case OptionId::kBatch: request->writeBatch = true; break;
      case OptionId::kSize:
      case OptionId::kPieces:
      case OptionId::kKeyword: {
        SplitMethod method = option->id == OptionId::kSize ? Size : option->id == OptionId::kPieces ? Pieces : Keyword;
        if (methodGiven) {
          *error = "give only one of --size, --pieces and --keyword";
          return false;
        }
        methodGiven = true;
        request->method = method;
        request->value = value;
        break;
      }
      default: break;
    }
  }

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
    if (request->method != Keyword && !IsWholeNumberInRange(request->value)) {
      *error = option + " takes a whole number from 1 to 2147483647, not '" + request->value + "'";
      return false;
    }
    if (request->sizeInBytes && request->method != Size) {
      *error = "--bytes goes only with --size";
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
