#include "cli_options.h"

#include "batch_codepage.h"

#include <getopt.h>

#include <cstdint>
#include <string>

#include "console_text.h"
#include "naming.h"

const char kHelpText[] =
    "Usage: dorvenal-cli split (-s SIZE [--bytes] | -n COUNT | -k KEYWORD)\n"
    "                          [--batch] [--script] [--checksum] [OPTION...]\n"
    "                          SOURCE TARGET_DIR\n"
    "  or:  dorvenal-cli split (-s SIZE | -k KEYWORD) --name NAME [OPTION...]\n"
    "                          - TARGET_DIR\n"
    "  or:  dorvenal-cli join [OPTION...] FIRST_PIECE TARGET_DIR\n"
    "  or:  dorvenal-cli verify FIRST_PIECE\n"
    "  or:  dorvenal-cli repair FIRST_PIECE\n"
    "  or:  dorvenal-cli --help | --version\n"
    "\n"
    "Cut a file into numbered pieces, or put such pieces back together.\n"
    "\n"
    "The pieces are named after SOURCE with its last dot turned into an\n"
    "underscore, then a dot and the piece number from 1: report.doc gives\n"
    "report_doc.1, report_doc.2, ... in TARGET_DIR. Files of those names are\n"
    "replaced. TARGET_DIR must have as many free bytes as SOURCE has. The pieces\n"
    "are written under temporary names ending in .dvtmp and all get their names\n"
    "once every piece is whole, so a split that stops leaves TARGET_DIR as it\n"
    "was; a .dvtmp file left by a killed run can be deleted.\n"
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
    "                      sensitive, 1 to 100 bytes); the search ends at the\n"
    "                      file's first zero byte, and everything after the last\n"
    "                      cut is the last piece\n"
    "      --batch         also write JOIN.BAT into TARGET_DIR: run there by the\n"
    "                      Windows command interpreter, it re-creates SOURCE with\n"
    "                      COPY /B\n"
    "      --codepage N    with --batch: the code page the Windows command prompt\n"
    "                      reads JOIN.BAT in: 437 (USA), 850 (Western Europe), 866\n"
    "                      (Russian), 936 (Chinese), 65001 (UTF-8), ...; without\n"
    "                      it, 437 on Linux and the system's own on Windows; a\n"
    "                      name the code page cannot spell is refused, and so\n"
    "                      is a code page that does not keep ASCII as ASCII\n"
    "      --script        also write join.sh into TARGET_DIR: run by any POSIX\n"
    "                      shell, it re-creates SOURCE with cat\n"
    "      --checksum      also write STEM.sha256 into TARGET_DIR (report_doc.sha256\n"
    "                      for report.doc): the SHA-256 of every piece, then of\n"
    "                      SOURCE, as sha256sum -c reads them; every join checks\n"
    "                      the pieces against it\n"
    "      --recovery K    also write K recovery pieces STEM.r1 ... STEM.rK (implies\n"
    "                      --checksum): any K pieces of the set, recovery pieces\n"
    "                      included, may then be lost or damaged and every join\n"
    "                      still re-creates SOURCE; each costs the size of the\n"
    "                      largest piece and a header of 40 bytes a piece plus 104;\n"
    "                      pieces and recovery pieces are at most 256 in all\n"
    "      --name NAME     with SOURCE \"-\": the file name the pieces are named\n"
    "                      after (--name backup.tar gives backup_tar.1, ...): a\n"
    "                      plain name, not . or .., no folder; with --batch or on\n"
    "                      Windows also no ':' and no device name such as CON\n"
    "\n"
    "Standard input: SOURCE \"-\" splits what standard input gives, by --size or\n"
    "--keyword, and needs --name. Whatever needs the size before the start\n"
    "cannot apply to a stream: a split into COUNT pieces is refused, the free\n"
    "space of TARGET_DIR is not checked before starting, and nothing can tell\n"
    "whether the data changed while it was read.\n"
    "\n"
    "On Linux the pieces and the joined file are copied by the kernel. On file\n"
    "systems that share blocks (XFS with reflink, btrfs, bcachefs, OpenZFS\n"
    "2.2+), a piece that starts at a multiple of the block size (4 KiB nearly\n"
    "everywhere) shares the source's blocks: pieces of a SIZE such as 1400K,\n"
    "100M or 2G, and the join of such a set, take no extra space. Other sizes,\n"
    "most counts, keywords and copies between file systems write new blocks.\n"
    "The bytes are the same either way.\n"
    "\n"
    "Join: FIRST_PIECE is the .1 piece of a set. It and the pieces 2, 3, ...\n"
    "beside it are written end to end into TARGET_DIR under the name they were\n"
    "cut from (report_doc.1 gives report.doc: the last underscore becomes a dot\n"
    "again). A set that goes on past a missing or unreadable piece is refused,\n"
    "and each piece is copied for exactly the size it had when it was counted.\n"
    "An existing file of that name is replaced once the joined file is whole.\n"
    "When the checksum manifest STEM.sha256 lies beside FIRST_PIECE, it must list\n"
    "exactly these pieces, and a piece whose SHA-256 differs from its line stops\n"
    "the join before the joined file gets its name.\n"
    "\n"
    "Verify: checks every piece listed in the checksum manifest beside\n"
    "FIRST_PIECE, and the joined file when it lies beside them, without joining;\n"
    "one line for each, NAME: OK or NAME: FAILED, as sha256sum -c prints them.\n"
    "\n"
    "Recovery pieces: a set split with --recovery K survives the loss of any K of\n"
    "its pieces and recovery pieces. join checks every piece and rebuilds the\n"
    "missing or damaged ones before it writes, naming them on standard error; it\n"
    "refuses when more are lost than the sound recovery pieces can rebuild. A set\n"
    "whose first piece is lost is joined by naming its STEM.sha256 or a recovery\n"
    "piece instead of FIRST_PIECE. verify says whether a damaged set can be\n"
    "repaired; repair rebuilds the lost pieces and recovery pieces in place, all\n"
    "or nothing.\n"
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
#ifdef _WIN32
    "  -h, --help, /?      show this help and exit\n"
#else
    "  -h, --help          show this help and exit\n"
#endif
    "  -V, --version       show the version and exit\n"
    "\n"
    "COUNT is a whole decimal number from 1 to 2147483647, a plain SIZE one from\n"
    "1. Long options may be abbreviated while they stay unambiguous and take\n"
    "their value as --size=SIZE too; short ones may be grouped (-yq) and take\n"
    "their value as -s100M too. Options may follow the paths; \"--\" ends the\n"
    "options.\n"
    "\n"
    "Every message is one line that starts with \"dorvenal-cli:\"; a name that\n"
    "holds a control character or a byte that is not UTF-8 is shown quoted with\n"
    "that byte escaped, as 'a'$'\\n''b'. The completion message goes to standard\n"
    "output. Errors, questions and, when standard error is a terminal, a\n"
    "progress line (bytes done of all, percent, rate, time left) go to standard\n"
    "error.\n"
    "\n"
    "Exit status:\n"
    "  0    the split or join finished (or the dry run was told); verify: every\n"
    "       file matches its checksum\n"
    "  1    it was refused, or stopped by an error; a message on standard error\n"
    "       says why; verify: a file does not match, or there is no manifest\n"
    "  2    the command line was wrong\n"
    "  3    the confirmation question was answered no, or could not be asked\n"
    "  130  stopped by Ctrl+C (SIGINT), 143 by SIGTERM (Ctrl+Break on Windows);\n"
    "       the files being written were removed\n"
    "\n"
    "Examples:\n"
#ifdef _WIN32
    "  dorvenal-cli split -s 1400K --batch -p report.doc D:\\Parts\n"
    "  dorvenal-cli split -n 10 -y backup.tar parts\n"
    "  dorvenal-cli split -k \"</record>\" --script records.xml parts\n"
    "  dorvenal-cli join -y parts\\backup_tar.1 .\n"
    "  dorvenal-cli verify parts\\backup_tar.1\n";
#else
    "  dorvenal-cli split -s 1400K --batch report.doc /media/stick\n"
    "  dorvenal-cli split -n 10 -y backup.tar parts\n"
    "  dorvenal-cli split -k '</record>' --script records.xml parts\n"
    "  tar cf - photos | dorvenal-cli split -s 100M --name photos.tar - parts\n"
    "  dorvenal-cli split -s 100M --checksum -y backup.tar parts\n"
    "  dorvenal-cli join -y parts/backup_tar.1 .\n"
    "  dorvenal-cli verify parts/backup_tar.1\n";
#endif

namespace {

// Values getopt_long returns for the options without a letter.
enum LongOnly { kDryRun = 256, kBytes, kBatch, kScript, kName, kBatchCodePage, kChecksum, kRecovery };

struct OptionInfo {
  const char* name;
  int id;  // the letter, or a LongOnly value
  bool takesValue;
  bool splitOnly;
};

// In the order an ambiguous abbreviation lists its possibilities.
const OptionInfo kOptions[] = {
    {"help", 'h', false, false},   {"version", 'V', false, false}, {"yes", 'y', false, false},
    {"quiet", 'q', false, false},  {"dry-run", kDryRun, false, false}, {"parents", 'p', false, false},
    {"size", 's', true, true},     {"bytes", kBytes, false, true},   {"pieces", 'n', true, true},
    {"keyword", 'k', true, true},  {"batch", kBatch, false, true},   {"script", kScript, false, true},
    {"name", kName, true, true},   {"codepage", kBatchCodePage, true, true}, {"checksum", kChecksum, false, true},
    {"recovery", kRecovery, true, true},
};
// "-": operands come back in order as option 1, so that each argument is
// read where it stands; ":": a missing value is told from an unknown option.
const char kShortOptions[] = "-:hVyqps:n:k:";

const OptionInfo* FindOption(int id) {
  for (const OptionInfo& option : kOptions) {
    if (option.id == id) return &option;
  }
  return nullptr;
}

// How the option was written: its letter, or its full long name.
std::string Display(const OptionInfo& option, bool asLong) {
  return asLong ? std::string("--") + option.name : std::string("-") + static_cast<char>(option.id);
}

// getopt_long only says that a long option was not taken; the words for
// why come from the names that start like it.
std::string UnknownLongOption(const std::string& written) {
  const std::string name = written.substr(0, written.find('='));
  std::string candidates;
  int count = 0;
  for (const OptionInfo& option : kOptions) {
    if (std::string(option.name).compare(0, name.size(), name) == 0) {
      candidates += std::string(" '--") + option.name + "'";
      ++count;
    }
  }
  if (count > 1) return "option " + QuotedName("--" + name) + " is ambiguous; possibilities:" + candidates;
  return "unrecognized option " + QuotedName("--" + name);
}

// What getopt_long refused, in today's words on every C library: `element`
// is the argument it was reading, `id` its optopt.
std::string OptionError(const std::string& element, int id) {
  const bool asLong = element.compare(0, 2, "--") == 0;
  const OptionInfo* option = FindOption(id);
  if (option == nullptr || (!asLong && !option->takesValue)) {
    if (asLong) return UnknownLongOption(element.substr(2));
    return "invalid option -- " + QuotedName(std::string(1, static_cast<char>(id)));
  }
  if (option->takesValue) return "option '" + Display(*option, asLong) + "' requires an argument";
  return "option '" + Display(*option, asLong) + "' doesn't allow an argument";
}

std::string Lowercase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The code pages cmd reads batch files in that keep ASCII as ASCII (its
// OEM and ANSI pages, and UTF-8): in any other, "COPY /B" and the names'
// ASCII letters would be other bytes.
const uint32_t kBatchCodePages[] = {437,  720,  737,  775,  850,  852,  855,  857,  858,  860,  861,  862,
                                    863,  864,  865,  866,  869,  874,  932,  936,  949,  950,  1250, 1251,
                                    1252, 1253, 1254, 1255, 1256, 1257, 1258, 65001};

bool IsBatchCodePage(uint32_t codePage) {
  for (uint32_t known : kBatchCodePages) {
    if (known == codePage) return IsKnownBatchCodePage(codePage);
  }
  return false;
}

std::string BatchCodePageChoices() {
  std::string choices;
  for (uint32_t known : kBatchCodePages) {
    if (IsKnownBatchCodePage(known)) choices += (choices.empty() ? "" : ", ") + std::to_string(known);
  }
  return choices;
}

// Digits only, at least one, no more than `limit`.
bool ReadWholeNumber(const std::string& text, uint64_t limit, uint64_t* value) {
  if (text.empty()) return false;
  *value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    uint64_t digit = static_cast<uint64_t>(c - '0');
    if (*value > (limit - digit) / 10) return false;
    *value = *value * 10 + digit;
  }
  return true;
}

// The power of 1024 a size suffix stands for; -1 for no suffix known.
int SuffixPower(const std::string& suffix) {
  static const char* const kUnits[] = {"b", "k", "m", "g", "t"};
  const std::string unit = Lowercase(suffix);
  for (int power = 0; power < 5; ++power) {
    const std::string letter = kUnits[power];
    if (unit == letter || (power > 0 && (unit == letter + "b" || unit == letter + "ib"))) return power;
  }
  return -1;
}

// A --size value in bytes: a plain number of kilobytes (or of bytes with
// --bytes), or a number with a unit.
bool ReadSize(const std::string& text, bool plainBytes, uint64_t* bytes, std::string* error) {
  const size_t digits = text.find_first_not_of("0123456789");
  const int power = digits == std::string::npos ? (plainBytes ? 0 : 1) : SuffixPower(text.substr(digits));
  const std::string number = text.substr(0, digits);
  uint64_t value = 0;
  if (power < 0 || number.empty() || number.find_first_not_of('0') == std::string::npos) {
    *error = "--size takes a whole number from 1 (kilobytes) or a size such as 1400K, 100M, 2G, 512B, not " +
             QuotedName(text);
    return false;
  }
  if (!ReadWholeNumber(number, UINT64_MAX >> (10 * power), &value)) {
    *error = "the size " + QuotedName(text) + " is too large";
    return false;
  }
  *bytes = value << (10 * power);
  return true;
}

struct Parse {
  CliRequest* request = nullptr;
  bool methodGiven = false;
  bool sizeInBytes = false;
  bool nameGiven = false;
  std::string value;  // of the method
  std::vector<std::string> paths;
};

bool TakeMethod(SplitMethod method, const char* value, Parse* parse, std::string* error) {
  if (parse->methodGiven) {
    *error = "give only one of --size, --pieces and --keyword";
    return false;
  }
  parse->methodGiven = true;
  parse->request->split.method = method;
  parse->value = value;
  return true;
}

// Applies one option that getopt_long read.
bool ApplyOption(int id, const char* value, Parse* parse, std::string* error) {
  CliRequest& request = *parse->request;
  switch (id) {
    case 'y': request.assumeYes = true; break;
    case 'q': request.quiet = true; break;
    case kDryRun: request.dryRun = true; break;
    case 'p': request.makeTarget = true; break;
    case kBytes: parse->sizeInBytes = true; break;
    case kBatch: request.split.writeBatch = true; break;
    case kScript: request.split.writeScript = true; break;
    case kChecksum: request.split.writeChecksums = true; break;
    case kName:
      parse->nameGiven = true;
      request.split.streamName = value;
      break;
    case kBatchCodePage: {
      uint64_t codePage = 0;
      if (!ReadWholeNumber(value, UINT32_MAX, &codePage) || !IsBatchCodePage(static_cast<uint32_t>(codePage))) {
        *error = "--codepage takes a code page of the Windows command prompt that keeps ASCII: " +
                 BatchCodePageChoices() + "; not " + QuotedName(value);
        return false;
      }
      request.split.batchCodePage = static_cast<uint32_t>(codePage);
      break;
    }
    case kRecovery: {
      uint64_t count = 0;
      if (!ReadWholeNumber(value, 255, &count) || count == 0) {
        *error = "--recovery takes a whole number from 1 to 255, not " + QuotedName(value);
        return false;
      }
      request.split.recoveryCount = static_cast<uint32_t>(count);
      request.split.writeChecksums = true;
      break;
    }
    case 's': return TakeMethod(Size, value, parse, error);
    case 'n': return TakeMethod(Pieces, value, parse, error);
    case 'k': return TakeMethod(Keyword, value, parse, error);
    default: break;
  }
  return true;
}

// The method's value, read into the request.
bool ReadMethodValue(Parse* parse, std::string* error) {
  SplitRequest& split = parse->request->split;
  if (!parse->methodGiven) {
    *error = "split needs one of --size, --pieces and --keyword";
    return false;
  }
  if (parse->sizeInBytes && split.method != Size) {
    *error = "--bytes goes only with --size";
    return false;
  }
  switch (split.method) {
    case Size: return ReadSize(parse->value, parse->sizeInBytes, &split.pieceBytes, error);
    case Pieces:
      if (!ReadWholeNumber(parse->value, INT32_MAX, &split.pieceCount) || split.pieceCount == 0) {
        *error = "--pieces takes a whole number from 1 to 2147483647, not " + QuotedName(parse->value);
        return false;
      }
      return true;
    case Keyword:
      if (parse->value.empty() || parse->value.size() > kMaxKeywordBytes) {
        *error = parse->value.empty() ? "the value of --keyword must not be empty"
                                      : "the value of --keyword has more than " + std::to_string(kMaxKeywordBytes) +
                                            " bytes";
        return false;
      }
      split.keyword = parse->value;
      return true;
  }
  return true;
}

// A stream has no size and no name of its own.
bool CheckStream(Parse* parse, std::string* error) {
  SplitRequest& split = parse->request->split;
  split.fromStandardInput = parse->request->source == kStandardInputName;
  if (!split.fromStandardInput) {
    if (parse->nameGiven) *error = "--name goes only with SOURCE '-' (standard input)";
    return !parse->nameGiven;
  }
  if (split.method == Pieces) {
    *error = "--pieces cannot split standard input, whose size is not known before its end; use --size or --keyword";
    return false;
  }
  if (!parse->nameGiven || split.streamName.empty()) {
    *error = "SOURCE '-' (standard input) needs --name NAME to name the pieces";
    return false;
  }
  // The pieces and a join must be able to hold the name: Windows (and a
  // JOIN.BAT run there) would open a device, or a stream of another file.
  const bool windows = kPathSeparator == '\\' || split.writeBatch;
  if (split.streamName.find('\\') != std::string::npos || !IsPlainFileName(split.streamName, windows)) {
    *error = std::string("--name takes a plain file name (") +
             (windows ? "no folder, no ':', not '.', '..' or a device such as CON, NUL or LPT1" : "no folder, not '.' or '..'") +
             "), not " + QuotedName(split.streamName);
    return false;
  }
  return true;
}

// SOURCE (or FIRST_PIECE) and TARGET_DIR, and what the split's options need of them.
bool ReadPaths(Parse* parse, std::string* error) {
  CliRequest& request = *parse->request;
  const bool split = request.command == Command::kSplit;
  const char* sourceName = split ? "SOURCE" : "FIRST_PIECE";
  const std::vector<std::string>& paths = parse->paths;
  if (request.command == Command::kVerify || request.command == Command::kRepair) {
    if (paths.size() == 1 && !paths[0].empty()) request.source = paths[0];
    else if (paths.empty()) *error = "missing FIRST_PIECE";
    else if (paths.size() > 1) *error = "unexpected argument " + QuotedName(paths[1]);
    else *error = "FIRST_PIECE must not be empty";
    return paths.size() == 1 && !paths[0].empty();
  }
  if (paths.size() != 2 || paths[0].empty() || paths[1].empty()) {
    if (paths.empty()) *error = std::string("missing ") + sourceName + " and TARGET_DIR";
    else if (paths.size() == 1) *error = "missing TARGET_DIR after " + QuotedName(paths[0]);
    else if (paths.size() > 2) *error = "unexpected argument " + QuotedName(paths[2]);
    else *error = std::string(paths[0].empty() ? sourceName : "TARGET_DIR") + " must not be empty";
    return false;
  }
  request.source = paths[0];
  request.target = paths[1];
  if (!split) return true;
  request.split.dryRun = request.dryRun;
  return ReadMethodValue(parse, error) && CheckStream(parse, error);
}

// The command word first, then the paths.
bool TakeOperand(const std::string& word, bool* commandKnown, Parse* parse, std::string* error) {
  if (*commandKnown) {
    parse->paths.push_back(word);
    return true;
  }
  if (word != "split" && word != "join" && word != "verify" && word != "repair") {
    *error = "unknown command " + QuotedName(word) + " (expected split, join, verify or repair)";
    return false;
  }
  parse->request->command = word == "split"    ? Command::kSplit
                            : word == "join"   ? Command::kJoin
                            : word == "verify" ? Command::kVerify
                                               : Command::kRepair;
  *commandKnown = true;
  return true;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& arguments, CliRequest* request, std::string* error) {
  *request = CliRequest{};
  if (!arguments.empty() && arguments[0] == "/?") return true;  // as on Windows: help
  std::vector<std::string> words(1, "dorvenal-cli");
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  std::vector<option> longOptions;
  for (const OptionInfo& info : kOptions) {
    longOptions.push_back({info.name, info.takesValue ? required_argument : no_argument, nullptr, info.id});
  }
  longOptions.push_back({nullptr, 0, nullptr, 0});

  Parse parse;
  parse.request = request;
  bool commandKnown = false;
  const int argc = static_cast<int>(words.size());
  opterr = 0;
  optind = 0;  // a fresh scan, in glibc and in MinGW-w64
  for (;;) {
    // The argument getopt_long is reading: the next one, or the group it is in.
    const int reading = optind == 0 ? 1 : optind;
    const int id = getopt_long(argc, argv.data(), kShortOptions, longOptions.data(), nullptr);
    if (id == -1) break;
    if (id == '?' || id == ':') {
      *error = OptionError(reading < argc ? words[reading] : std::string(), optopt);
      return false;
    }
    if (id == 1) {
      if (!TakeOperand(optarg, &commandKnown, &parse, error)) return false;
      continue;
    }
    // Help and version win wherever they stand, as soon as they are read.
    if (id == 'h' || id == 'V') {
      *request = CliRequest{};
      request->command = id == 'h' ? Command::kHelp : Command::kVersion;
      return true;
    }
    const OptionInfo& option = *FindOption(id);
    const bool asLong = words[reading].compare(0, 2, "--") == 0;
    if (!commandKnown) {
      *error = "option '" + Display(option, asLong) + "' must follow the command (split, join, verify or repair)";
      return false;
    }
    if (option.splitOnly && request->command != Command::kSplit) {
      *error = "option '" + Display(option, asLong) + "' belongs to split, not to " +
               (request->command == Command::kJoin     ? "join"
                : request->command == Command::kVerify ? "verify"
                                                       : "repair");
      return false;
    }
    if (!ApplyOption(id, optarg, &parse, error)) return false;
  }
  // After "--": the rest are paths.
  for (int at = optind; at < argc; ++at) {
    if (!TakeOperand(words[at], &commandKnown, &parse, error)) return false;
  }
  if (!commandKnown) {
    *error = "missing command: split, join, verify or repair";
    return false;
  }
  return ReadPaths(&parse, error);
}
