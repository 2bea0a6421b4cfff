// dorvenal-cli run as a program: exit codes, the exact line for each stop, what it prints where, and the
// files it leaves, with real faults where the machine gives them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "known_sets.h"
#include "test_files.h"

namespace {

using Args = std::vector<std::string>;
struct CliRun { int code; std::string out, err; };

// Every "@" in a text stands for the test's folder.
std::string At(std::string text, const std::string& dir) {
  for (size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, dir);
  return text;
}

std::string ShellQuoted(std::string text) {
  for (size_t at = 0; (at = text.find('\'', at)) != std::string::npos; at += 4) text.replace(at, 1, "'\\''");
  return "'" + text + "'";
}

// Runs in `cwd` (or elsewhere when empty), "@" standing for `dir`. Standard input: "" /dev/null, "|" a pipe
// that stays open and empty, "pipe" in/report.doc through a pipe, "nobody" /dev/null as user 65534,
// "tty" a terminal (standard error too) with nothing typed, "limit" /dev/null under a file size limit of
// 1 KiB, "full out" /dev/null with standard output on /dev/full, else what is typed on a terminal. A run
// that hangs is ended after 30 s (124).
CliRun Cli(const Args& args, const std::string& dir, const std::string& input, const std::string& cwd) {
  TempDir streams;
  const std::string out = " >'" + streams.File("out") + "'", err = " 2>'" + streams.File("err") + "'";
  std::string run = "timeout --foreground 30 " DORVENAL_CLI_PATH, line;
  for (const std::string& arg : args) run += " " + ShellQuoted(At(arg, dir));
  const std::map<std::string, std::string> lines = {
      {"", run + out + err + " </dev/null"},
      {"|", "mkfifo '" + streams.File("in") + "' && " + run + out + err + " 0<>'" + streams.File("in") + "'"},
      {"pipe", "cat " + dir + "/in/report.doc | " + run + out + err},
      {"nobody", "setpriv --reuid=65534 --regid=65534 --clear-groups " + run + out + err + " </dev/null"},
      {"limit", "ulimit -f 2 && " + run + out + err + " </dev/null"},
      {"full out", run + " >/dev/full" + err + " </dev/null"},
      {"tty", "printf '' | script -qec " + ShellQuoted(run + out) + " /dev/null >'" + streams.File("err") + "'"}};
  const auto known = lines.find(input);
  line = known != lines.end() ? known->second
                              : "printf '" + input + "' | script -qec " + ShellQuoted(run + out + err) + " /dev/null >/dev/null";
  line = "cd " + ShellQuoted(cwd.empty() ? streams.path() : cwd) + " && trap '' XFSZ && " + line;
  const int status = std::system(line.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadBytes(streams.File("out")), ReadBytes(streams.File("err"))};
}

const char kSplitDone[] = "dorvenal-cli: Finished Splitting Successfully !!!\n";
const char kNotAsking[] =
    "dorvenal-cli: not asking: standard input is not a terminal; give --yes to go on without a question\n";

// setup: a shell line run in the test's folder first; files: what out/ then holds.
struct RunRow { std::string setup; Args args; const char* input; int code; std::string out, err; Args files; };

// report.doc: 10,000 bytes, zero and 0x1A bytes among them after two "END"s; ref/ holds it in three pieces.
TEST(CliRun, ExitCodesLinesAndFiles) {
  const std::string source = "xxEND yyEND" + PatternBytes(9989);
  const Args three = {"report_doc.1", "report_doc.2", "report_doc.3"};
  const Args batch = {"JOIN.BAT", "report_doc.1", "report_doc.2", "report_doc.3"};
  const std::string ask = "dorvenal-cli: split 'report.doc' into 3 pieces of 4096 bytes, the last of 1808 bytes?";
  const std::string longName(255, 'a');
  const RunRow rows[] = {
      {"", {"split", "--pieces", "3", "--bogus", "@/in/report.doc", "@/out"}, "", 2, "",
       "dorvenal-cli: unrecognized option '--bogus'\nTry 'dorvenal-cli --help' for more information.\n", {}},
      {"cd in", {"split", "--pieces", "3", "--batch", "-y", "report.doc", "../out/"}, "", 0, kSplitDone, "", batch},
      {"", {"split", "--keyword", "END", "@/in/report.doc", "@/out"}, "|", 0, kSplitDone, "", three},
      {"", {"split", "-s", "4K", "@/in/report.doc", "@/out"}, "|", 3, "", ask + "\n" + kNotAsking, {}},
      {"", {"join", "@/ref/report_doc.1", "@/out"}, "", 3, "",
       "dorvenal-cli: join 3 pieces, 10000 bytes in all, into 'report.doc' (an existing file of that name is "
       "replaced)?\n" + std::string(kNotAsking), {}},
      {"", {"split", "--size", "4", "@/in/report.doc", "@/out"}, "n\n", 3, "", ask + " [y/N] ", {}},
      {"", {"split", "--size", "4", "@/in/report.doc", "@/out"}, " YES \n", 0, kSplitDone, ask + " [y/N] ", three},
      {"", {"split", "--pieces", "3", "--yes", "@/in/report.doc", "@/out"}, "tty", 0, kSplitDone,
       "\rSplitting: 9.7 KiB of 9.7 KiB (100%)\r\n", three},  // the last line drawn, without its rate
      {"cd ref", {"join", "--yes", "report_doc.1", "../out"}, "|", 0, "dorvenal-cli: Finished Joining Successfully !!!\n",
       "", {"report.doc"}},
      {"", {"split", "-qyn", "3", "@/in/report.doc", "@/out"}, "tty", 0, "", "", three},
      {"", {"split", "-n", "3", "--dry-run", "--batch", "--script", "-p", "@/in/report.doc", "@/out/new"}, "", 0,
       "dorvenal-cli: Dry run: report.doc would be split into 3 pieces, from @/out/new/report_doc.1 (3333 bytes) to "
       "@/out/new/report_doc.3 (3334 bytes). Nothing was written.\n"
       "dorvenal-cli: Dry run: the folder '@/out/new' does not exist; --parents would create it.\n", "", {}},
      {"", {"join", "--dry-run", "@/ref/report_doc.1", "@/out"}, "", 0,
       "dorvenal-cli: Dry run: 3 pieces, 10000 bytes in all, from @/ref/report_doc.1 to @/ref/report_doc.3 would be "
       "joined into @/out/report.doc. Nothing was written.\n", "", {}},
      {"printf x >'in/a\r\x9b" "b.doc'", {"split", "-n", "1", "--dry-run", "@/in/a\r\x9b" "b.doc", "@/out"}, "", 0,
       "dorvenal-cli: Dry run: 'a'$'\\r\\233''b.doc' would be split into 1 pieces, from '@/out/a'$'\\r\\233''b_doc.1' "
       "(1 bytes) to '@/out/a'$'\\r\\233''b_doc.1' (1 bytes). Nothing was written.\n", "", {}},
      {"", {"split", "-yn", "3", "@/in/report.doc", "@/out"}, "full out", 1, "",
       "dorvenal-cli: cannot write to standard output\n", three},
      // One row per cause of a stop, with its line.
      {"", {"split", "--pieces", "2", "--yes", "@/in/missing", "@/out"}, "", 1, "",
       "dorvenal-cli: cannot open the source '@/in/missing': No such file or directory; nothing was written\n", {}},
      {"chmod 000 in/report.doc", {"split", "-yn", "2", "@/in/report.doc", "@/out"}, "nobody", 1, "",
       "dorvenal-cli: cannot open the source '@/in/report.doc': Permission denied; nothing was written\n", {}},
      {"mkfifo in/pipe", {"split", "-yn", "3", "@/in/pipe", "@/out"}, "", 1, "",
       "dorvenal-cli: '@/in/pipe' is not a regular file\n", {}},
      {": >in/empty", {"split", "-yn", "3", "@/in/empty", "@/out"}, "", 1, "",
       "dorvenal-cli: '@/in/empty' is empty: a file of 0 bytes cannot be split\n", {}},
      {"chmod 555 out", {"split", "-yn", "2", "@/in/report.doc", "@/out"}, "nobody", 1, "",
       "dorvenal-cli: cannot create the piece '@/out/report_doc.1': Permission denied; the split was stopped and the "
       "target folder is as it was\n", {}},
      {"mount -t tmpfs -o nr_inodes=3,size=1m tmpfs out", {"split", "-yn", "4", "@/in/report.doc", "@/out"}, "", 1, "",
       "dorvenal-cli: cannot create the piece '@/out/report_doc.3': No space left on device; the split was stopped "
       "and the target folder is as it was\n", {}},  // out of inodes
      {"chmod 555 out", {"split", "-yn", "2", "-p", "@/in/report.doc", "@/out/new/sub"}, "nobody", 1, "",
       "dorvenal-cli: cannot create the directory '@/out/new/sub': Permission denied\n", {}},
      {"cp in/report.doc in/" + longName, {"split", "-yn", "3", "@/in/" + longName, "@/out"}, "", 1, "",
       "dorvenal-cli: the piece names would be too long for the system, such as '@/out/" + longName +
           ".3': choose a shorter file name or target folder; nothing was written\n", {}},
      {"", {"split", "--pieces", "3", "--batch", "--yes", "@/in/report.doc", "@/out"}, "limit", 1, "",
       "dorvenal-cli: cannot write the piece '@/out/report_doc.1': File too large; the split was stopped and the "
       "target folder is as it was\n", {}},
      {"mkdir out/report_doc.2", {"split", "--pieces", "3", "--yes", "@/in/report.doc", "@/out"}, "", 1, "",
       "dorvenal-cli: cannot rename the piece '@/out/report_doc.2': Is a directory; the split was stopped and the "
       "target folder is as it was\n", {"report_doc.2"}},
      {"mkdir out/JOIN.BAT", {"split", "--pieces", "3", "--yes", "--batch", "@/in/report.doc", "@/out"}, "", 1, "",
       "dorvenal-cli: cannot rename the batch file '@/out/JOIN.BAT': Is a directory; the split was stopped and the "
       "target folder is as it was\n", {"JOIN.BAT"}},
      {"", {"split", "--size", "10000", "--bytes", "--yes", "@/in/report.doc", "@/out"}, "", 1, "",
       "dorvenal-cli: the piece size (10000 bytes) is not below the size of '@/in/report.doc'; nothing was written\n", {}},
      {"", {"split", "-n", "1000000000", "@/in/report.doc", "@/out"}, "", 1, "",
       "dorvenal-cli: the split would need more than 999999999 pieces: choose fewer pieces or a larger size; nothing "
       "was written\n", {}},
      {"cp in/report.doc 'in/a:b.doc'", {"split", "-yn", "3", "--batch", "@/in/a:b.doc", "@/out"}, "", 1, "",
       "dorvenal-cli: JOIN.BAT cannot re-create 'a:b.doc': Windows does not allow that file name (--batch); nothing "
       "was written\n", {}},
      {"", {"split", "-k", "</record>", "@/in/report.doc", "@/out"}, "", 1, "",
       "dorvenal-cli: '</record>' does not occur in '@/in/report.doc' before its end or its first zero byte; nothing "
       "was written\n", {}},
      {"", {"join", "-y", "@/in/report.doc", "@/out"}, "", 1, "",
       "dorvenal-cli: '@/in/report.doc' is not the first file of a split file set: give the piece whose name ends "
       "in .1\n", {}},
      {"", {"join", "-y", "@/in/x.1", "@/out"}, "", 1, "",
       "dorvenal-cli: cannot find the piece '@/in/x.1'\n", {}},
      {"chmod 555 out", {"join", "-y", "@/ref/report_doc.1", "@/out"}, "nobody", 1, "",
       "dorvenal-cli: cannot create the joined file '@/out/report.doc': Permission denied; nothing was written\n", {}},
      {"printf x >ref/_.1", {"join", "--dry-run", "@/ref/_.1", "@/out"}, "", 1, "",
       "dorvenal-cli: the set cannot be joined under the name '.': it is not a plain file name (empty, '.', '..', a "
       "folder in it or, on Windows, a ':' or a device such as CON or AUX); nothing was written\n", {}},
      {"mkdir -p x/o && chmod 000 x", {"split", "-yn", "2", "@/in/report.doc", "@/x/o"}, "nobody", 1, "",
       "dorvenal-cli: cannot look at the folder '@/x/o': Permission denied\n", {}},
      {"chmod 711 ref && chmod 777 out", {"join", "-y", "@/ref/report_doc.1", "@/out"}, "nobody", 1, "",
       "dorvenal-cli: cannot list the folder '@/ref/': Permission denied; nothing was written\n", {}},
      {"rm ref/report_doc.2 && mkfifo ref/report_doc.2", {"join", "-y", "@/ref/report_doc.1", "@/out"}, "", 1, "",
       "dorvenal-cli: the piece '@/ref/report_doc.2' is not a regular file; nothing was written\n", {}},
      {"mkdir out/report.doc", {"join", "-y", "@/ref/report_doc.1", "@/out"}, "", 1, "",
       "dorvenal-cli: cannot rename the joined file '@/out/report.doc': Is a directory; the incomplete file was "
       "removed\n", {"report.doc"}},
      // The folder lock: another user's in a shared folder, none where the pieces' folder takes no file, and a wait.
      {"chmod 1777 out && : >out/~dv.lock.dvtmp && chmod 644 out/~dv.lock.dvtmp", {"split", "-yn", "3",
       "@/in/report.doc", "@/out"}, "nobody", 0, kSplitDone, "", {"report_doc.1", "report_doc.2", "report_doc.3",
       "~dv.lock.dvtmp"}},
      {"chmod 555 ref && chmod 777 out", {"join", "-y", "@/ref/report_doc.1", "@/out"}, "nobody", 0,
       "dorvenal-cli: Finished Joining Successfully !!!\n", "", {"report.doc"}},
      {"(flock out/~dv.lock.dvtmp sleep 3 &) && sleep 0.3", {"split", "-yn", "3", "@/in/report.doc", "@/out"}, "", 0,
       kSplitDone, "dorvenal-cli: waiting for another run in this folder to let go of its lock '@/out/~dv.lock.dvtmp'\n",
       three},
      // Standard input, byte for byte.
      {"", {"split", "-s", "4K", "--name", "report.doc", "-", "@/out"}, "pipe", 0, kSplitDone, "", three},
      {"", {"split", "-k", "END", "--name", "report.doc", "-", "@/out"}, "pipe", 0, kSplitDone, "", three},
  };
  for (const RunRow& row : rows) {
    SCOPED_TRACE(row.setup + " " + ::testing::PrintToString(row.args) + " " + row.input);
    TempDir dir;
    const std::string in = dir.Subdir("in"), out = dir.Subdir("out"), ref = dir.Subdir("ref");
    WriteBytes(in + "/report.doc", source);
    for (int k = 0; k < 3; ++k) WriteBytes(ref + "/report_doc." + std::to_string(k + 1), source.substr(k * 3333, 3333 + k / 2));
    const bool cd = row.setup.rfind("cd ", 0) == 0;
    ASSERT_EQ(cd || row.setup.empty() ? 0 : std::system(("cd '" + dir.path() + "' && " + row.setup).c_str()), 0);
    CliRun run = Cli(row.args, dir.path(), row.input, cd ? dir.path() + "/" + row.setup.substr(3) : "");
    EXPECT_EQ(run.code, row.code);
    EXPECT_EQ(run.out, At(row.out, dir.path()));
    // On a terminal: the last progress line drawn, without the rate, which the machine's speed decides.
    const size_t end = run.err.rfind("\r\n"), last = end == std::string::npos ? end : run.err.rfind('\r', end - 1);
    if (std::string(row.input) == "tty" && last != std::string::npos) {
      run.err = run.err.substr(last, std::min(run.err.find(", ", last), end) - last) + run.err.substr(end);
    }
    EXPECT_EQ(run.err, At(row.err, dir.path()));
    EXPECT_EQ(ListDir(out), row.files);
    if (row.setup.rfind("mount", 0) == 0) { EXPECT_EQ(std::system(("umount '" + out + "'").c_str()), 0); }
    // The pieces, or the joined file: the source whenever the run finished.
    if (row.code != 0 || row.files.empty()) continue;
    std::string whole = ReadBytes(out + "/report.doc");
    for (int k = 1; whole.size() < source.size() && FileExists(out + "/report_doc." + std::to_string(k)); ++k) {
      whole += ReadBytes(out + "/report_doc." + std::to_string(k));
    }
    EXPECT_TRUE(whole == source);
    if (row.files == batch) { EXPECT_EQ(ReadBytes(out + "/JOIN.BAT"), ReportJoinBatch({"3333", "3333", "3334"})); }
  }
}

// A set split with --checksum (report.doc: "0123456789" 300,000 times, in three pieces in out/, each hashed in blocks
// on threads beside the copy), then changed by
// the setup: each join refuses a damaged set before the joined file gets its name, naming the piece; verify tells
// each file; sha256sum accepts what the split wrote. `folder` holds `files` afterwards, and j/report.doc `joined`
// ("=" the source, "" none).
TEST(CliRun, ChecksumManifestGuardsTheSet) {
  std::string source;
  for (int k = 0; k < 300000; ++k) source += "0123456789";
  const std::string done = "dorvenal-cli: Finished Joining Successfully !!!\n";
  const std::string refused = "dorvenal-cli: the checksum manifest '@/out/report_doc.sha256' cannot be read, is "
                              "damaged or lists other pieces than this set's; nothing was joined\n";
  const std::string damaged = "dorvenal-cli: the piece '@/out/report_doc.2' does not match its checksum in "
                              "'@/out/report_doc.sha256': it is damaged or belongs to another set; the join was "
                              "stopped and the incomplete file removed\n";
  const std::string flip =
      "printf Z | dd of=out/report_doc.2 bs=1 seek=7 conv=notrunc 2>/dev/null && echo old >j/report.doc";
  const std::string oks = "@/out/report_doc.1: OK\n@/out/report_doc.2: OK\n@/out/report_doc.3: OK\n";
  const Args join = {"join", "-y", "@/out/report_doc.1", "@/j"}, verify = {"verify", "@/out/report_doc.1"};
  struct Row { std::string setup; Args args; int code; std::string out, err, joined, folder; Args files; };
  const Row rows[] = {
      {"", join, 0, done, "", "=", "j", {"report.doc"}},
      {flip, join, 1, "", damaged, "old\n", "j", {"report.doc"}},
      {"tr 0-9 a-j <out/report_doc.2 >o && mv o out/report_doc.2", join, 1, "", damaged, "", "j", {}},  // another set's
      {"truncate -s 150 out/report_doc.sha256", join, 1, "", refused, "", "j", {}},
      {"head -n 3 out/report_doc.sha256 >o && mv o out/report_doc.sha256", join, 1, "", refused, "", "j", {}},
      {"cp out/report_doc.3 out/report_doc.4", join, 1, "", refused, "", "j", {}},
      {": >out/report_doc.2 && echo old >j/report.doc", join, 1, "",
       "dorvenal-cli: the piece '@/out/report_doc.2' is empty, but pieces before and after it are not: it was cut "
       "short; nothing was written\n", "old\n", "j", {"report.doc"}},
      {"cp in/report.doc out", verify, 0, oks + "@/out/report.doc: OK\n", "", "", "j", {}},
      {flip, verify, 1, "@/out/report_doc.1: OK\n@/out/report_doc.2: FAILED\n@/out/report_doc.3: OK\n",
       "dorvenal-cli: 1 of 3 files did NOT match the checksum manifest\n", "old\n", "j", {"report.doc"}},
      {"ln -sf /proc/self/status out/report_doc.3", verify, 1, "@/out/report_doc.1: OK\n@/out/report_doc.2: OK\n"
       "@/out/report_doc.3: FAILED open or read\n", "dorvenal-cli: 1 of 3 files did NOT match the checksum manifest\n",
       "", "j", {}},  // it counts 0 bytes and reads more
      {"rm out/report_doc.2 && mkfifo out/report_doc.2 && ln -sf /dev/zero out/report_doc.3", verify, 1,
       "@/out/report_doc.1: OK\n@/out/report_doc.2: FAILED: not a regular file\n@/out/report_doc.3: FAILED: not a "
       "regular file\n", "dorvenal-cli: 2 of 3 files did NOT match the checksum manifest\n", "", "j", {}},
      {"rm out/report_doc.1", verify, 1, "", "dorvenal-cli: cannot find the piece '@/out/report_doc.1'\n", "", "j", {}},
      {"truncate -s 150 out/report_doc.sha256", verify, 1, "", "dorvenal-cli: the checksum manifest "
       "'@/out/report_doc.sha256' cannot be read, is damaged or lists other pieces than this set's; nothing was "
       "checked\n", "", "j", {}},
      {"rm out/report_doc.sha256", verify, 1, "",
       "dorvenal-cli: there is no checksum manifest '@/out/report_doc.sha256' beside the pieces, so the set cannot be "
       "checked (split --checksum writes one)\n", "", "j", {}},
      // A split without --checksum replaces the set and its manifest with it; one that stops leaves none.
      {"", {"split", "-yn", "2", "@/in/report.doc", "@/out"}, 0, kSplitDone,
       "dorvenal-cli: The target folder also holds @/out/report_doc.3 from an earlier split !! A join would take it "
       "as well: please remove it before joining.\n", "", "out",
       {"report_doc.1", "report_doc.2", "report_doc.3"}},
      {"mkdir j/report_doc.2", {"split", "-yn", "3", "--checksum", "@/in/report.doc", "@/j"}, 1, "",
       "dorvenal-cli: cannot rename the piece '@/j/report_doc.2': Is a directory; the split was stopped and the "
       "target folder is as it was\n", "", "j", {"report_doc.2"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.setup + " " + ::testing::PrintToString(row.args));
    TempDir dir;
    const std::string in = dir.Subdir("in"), out = dir.Subdir("out"), j = dir.Subdir("j");
    WriteBytes(in + "/report.doc", source);
    ASSERT_EQ(Cli({"split", "-yqn", "3", "--checksum", "@/in/report.doc", "@/out"}, dir.path(), "", "").code, 0);
    ASSERT_EQ(std::system(("cd '" + dir.path() + "' && " + (row.setup.empty() ? ":" : row.setup)).c_str()), 0);
    CliRun run = Cli(row.args, dir.path(), "", "");
    EXPECT_EQ(run.code, row.code);
    EXPECT_EQ(run.out, At(row.out, dir.path()));
    EXPECT_EQ(run.err, At(row.err, dir.path()));
    EXPECT_EQ(ListDir(dir.File(row.folder)), row.files);
    EXPECT_TRUE(ReadBytes(j + "/report.doc") == (row.joined == "=" ? source : row.joined));
    if (row.code != 0 || row.args != join) continue;
    // sha256sum reads the whole manifest once the file is joined beside the pieces.
    ASSERT_EQ(Cli({"join", "-yq", "@/out/report_doc.1", "@/out"}, dir.path(), "", "").code, 0);
    EXPECT_EQ(std::system(("cd '" + out + "' && sha256sum --strict --quiet -c report_doc.sha256").c_str()), 0);
  }
}

// One manifest, one verdict: the engine's join, verify and join.sh (under dash and bash) accept or refuse each
// manifest alike, with the words of each. v1.0_final splits into v1_0_final.1..3, and every joiner gives back
// that name (not v1_0.final), which sha256sum then finds. Lines: 64 hex digits, two blanks, the name, LF.
TEST(CliRun, EveryJoinerReadsAManifestAlike) {
  const std::string hex(64, '0'), m = "v1_0_final.sha256";
  // kUncoded: recovery lines whose files are not there; kTooManyLost: those and a damaged piece.
  enum Verdict { kJoins, kNotRegular, kDamaged, kUncoded, kTooManyLost };
  struct Row { std::string setup; Verdict verdict; };
  const Row rows[] = {
      {":", kJoins},
      {"sed -i 's/^[0-9a-f]*/\\U&/' " + m, kJoins},  // upper-case hex
      {"sed -i '3a " + hex + "  v1_0_final.r1\\n" + hex + "  v1_0_final.r2' " + m, kUncoded},
      {"rm " + m + " && mkdir " + m, kNotRegular},
      {"ln -sf nowhere " + m, kNotRegular},
      {"ln -sf /dev/zero " + m, kNotRegular},
      {"printf '\\0\\0\\0' >>" + m, kDamaged},
      {"sed -i '2s/final.2/finaX.2/' " + m, kDamaged},
      {"sed -i '2s|v1_0_final.2|../w/v1_0_final.2|' " + m, kDamaged},
      {"sed -i \"2s|v1_0_final.2|$PWD/v1_0_final.2|\" " + m, kDamaged},
      {"sed -i '4s/v1.0_final/v1.0_finaX/' " + m, kDamaged},  // the whole file's line
      {"sed -i '3a " + hex + "  v1_0_final.r2' " + m, kDamaged},  // recovery pieces from 1, without gaps
      {"head -c 300000 /dev/zero | tr '\\0' 0 >>" + m, kDamaged},  // past the largest manifest of 3 pieces
      {"sed -i '3a " + hex + "  v1_0_final.r1' " + m + " && printf Z | dd of=v1_0_final.2 seek=9 bs=1 conv=notrunc 2>/dev/null",
       kTooManyLost},
  };
  const std::string said[][3] = {  // join.sh, join, verify
      {"Finished creating v1.0_final\n", "", ""},
      {"join.sh: v1_0_final.sha256 cannot be read: it is not a regular file\n",
       "dorvenal-cli: the checksum manifest '@/w/v1_0_final.sha256' cannot be read: it is not a regular file; "
       "nothing was joined\n",
       "dorvenal-cli: the checksum manifest '@/w/v1_0_final.sha256' cannot be read: it is not a regular file; "
       "nothing was checked\n"},
      {"join.sh: v1_0_final.sha256 is damaged or lists other pieces than this set's\n",
       "dorvenal-cli: the checksum manifest '@/w/v1_0_final.sha256' cannot be read, is damaged or lists other pieces "
       "than this set's; nothing was joined\n",
       "dorvenal-cli: the checksum manifest '@/w/v1_0_final.sha256' cannot be read, is damaged or lists other pieces "
       "than this set's; nothing was checked\n"},
      {"Finished creating v1.0_final\n", "",
       "dorvenal-cli: 2 of 5 files did NOT match the checksum manifest\ndorvenal-cli: 2 of the set's files are missing "
       "or damaged: its recovery pieces can rebuild them (dorvenal-cli repair, or a join)\n"},
      {"join.sh: piece v1_0_final.2 does not match its line in v1_0_final.sha256: dorvenal-cli join (or Dorvenal) "
       "can rebuild it from the recovery pieces\n",
       "dorvenal-cli: too many pieces are missing or damaged to rebuild the set: v1_0_final.2, v1_0_final.r1; its "
       "sound recovery pieces could have rebuilt 0; nothing was written\n",
       "dorvenal-cli: 2 of 4 files did NOT match the checksum manifest\ndorvenal-cli: 2 of the set's files are missing "
       "or damaged: more than the 1 its recovery pieces can rebuild; the set cannot be repaired\n"}};
  TempDir dir;
  WriteBytes(dir.File("v1.0_final"), PatternBytes(10000, 5));
  ASSERT_EQ(Cli({"split", "-yqn", "3", "--script", "--checksum", "-p", "@/v1.0_final", "@/ref"}, dir.path(), "", "").code, 0);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.setup);
    const std::string* words = said[row.verdict];
    // Missing recovery pieces do not stop a join; verify reports them.
    const bool joins = row.verdict == kJoins || row.verdict == kUncoded;
    ASSERT_EQ(std::system(("cd '" + dir.path() + "' && rm -rf w j && cp -R ref w && mkdir j && cd w && " + row.setup).c_str()), 0);
    for (const char* reader : {"verify", "join", "dash", "bash"}) {
      CliRun run{0, "", ""};
      if (*reader == 'd' || *reader == 'b') {
        const int status = std::system(("cd '" + dir.path() + "/w' && " + reader + " join.sh >../said 2>&1").c_str());
        EXPECT_TRUE(!joins || ReadBytes(dir.File("w/v1.0_final")) == PatternBytes(10000, 5)) << reader;
        std::remove(dir.File("w/v1.0_final").c_str());
        run = {WEXITSTATUS(status), ReadBytes(dir.File("said")), ""};
        EXPECT_EQ(run.out, words[0]) << reader;
      } else {
        const bool join = *reader == 'j';
        run = Cli(join ? Args{"join", "-yq", "@/w/v1_0_final.1", "@/j"} : Args{"verify", "@/w/v1_0_final.1"}, dir.path(), "", "");
        EXPECT_EQ(run.err, At(words[join ? 1 : 2], dir.path())) << reader;
        if (join) {
          EXPECT_EQ(ListDir(dir.File("j")), joins ? Args{"v1.0_final"} : Args{}) << reader;
        }
      }
      EXPECT_EQ(run.code, joins && !(*reader == 'v' && row.verdict == kUncoded) ? 0 : 1) << reader;
    }
    // The joined file beside the pieces, where their manifest names it (with no recovery pieces).
    if (&row < &rows[2]) {
      EXPECT_EQ(std::system(("cd '" + dir.path() + "' && mv j/v1.0_final w && cd w && sha256sum --strict --quiet -c " + m).c_str()), 0);
    }
  }
}

// A run stopped from outside, mid-way through 300,000 pieces of 3 bytes or at the question (on a terminal whose
// input stays open, so that it waits for an answer): a signal it can catch removes every piece it wrote and says
// so, one it was started with ignored stays so, and a kill leaves no name of the set that holds less than a whole
// piece. An output pipe nobody reads is a failed write, not a silent death.
TEST(CliRun, StoppedRunsLeaveTheFolderAsItWas) {
  const std::string stopped = "dorvenal-cli: the split was interrupted; the pieces it had written were removed and "
                              "the target folder is as it was\n";
  // first: shell words before the run; options: the split's; end: how the run is ended, $p its process.
  const struct { std::string first, options, end; int code; std::string err; } rows[] = {
      {"", "-y", "kill -TERM $p", 143, stopped}, {"", "-y", "kill -INT $p", 130, stopped},
      {"", "-y", "kill -HUP $p", 129, stopped}, {"", "-y", "kill -QUIT $p", 131, stopped},
      {"", "-y", "kill -KILL $p", 137, ""},
      {"", "", "kill -INT $p", 130,
       "dorvenal-cli: split 's.txt' into 300000 pieces of 3 bytes? [y/N] \n" + stopped},
      {"trap '' HUP; ", "-y", "kill -HUP $p; sleep 0.3; kill -TERM $p", 143, stopped},  // as under nohup
      {"mkfifo f && exec 5<>f 6>f 5<&-; ", "-y --dry-run >&6", ":", 1,  // 6: a pipe whose reader is gone
       "dorvenal-cli: cannot write to standard output\n"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.first + row.options + " " + row.end);
    TempDir dir;
    std::string source;
    for (int k = 0; k < 300000; ++k) source += "ab|";
    WriteBytes(dir.File("s.txt"), source);
    // A command sh starts in the background ignores INT and QUIT; these runs are meant to get them.
    WriteBytes(dir.File("run.sh"), row.first + "env --default-signal=INT,QUIT " DORVENAL_CLI_PATH " split -s 3B " +
               row.options + " s.txt out </dev/tty 2>err & p=$!\n"
               "for i in $(seq 400); do [ -s err ] || [ -n \"$(ls out)\" ] && break; sleep 0.02; done\n" +
               row.end + "; wait $p; echo $? >code\n");
    const std::string line = "cd '" + dir.path() + "' && mkdir out && mkfifo in && script -qec 'sh run.sh' /dev/null";
    ASSERT_EQ(std::system((line + " >/dev/null 0<>in").c_str()), 0);
    EXPECT_EQ(ReadBytes(dir.File("code")), std::to_string(row.code) + "\n");
    for (const std::string& name : ListDir(dir.File("out"))) {
      EXPECT_TRUE(name.rfind("s_txt.", 0) != 0 || ReadBytes(dir.File("out/" + name)) == "ab|") << name;
      EXPECT_EQ(row.code, 137) << "left behind: " << name;
    }
    EXPECT_EQ(ReadBytes(dir.File("err")), row.err);
  }
}

// join.sh under dash and bash, whatever bytes the name holds: it rebuilds the file, or it refuses and
// leaves every file as it was (nothing written through a link, nor into a folder of a similar name).
// With the split's manifest it checks the pieces first, or says that it cannot. Its messages show each name's
// control and invalid bytes escaped (the second of each pair).
TEST(CliRun, JoinScriptRebuildsAnyName) {
  const std::string names[][2] = {{"a b.txt", "a b.txt"}, {"it's \"q\".txt", "it's \"q\".txt"},
                                  {"$HOME `id` $(id).txt", "$HOME `id` $(id).txt"},
                                  {"new\nline\r\x9b\xc2\x9b\xc3\xa9", "new\\nline\\r\\233\\302\\233\xc3\xa9"},
                                  {"-dash.tar.gz", "-dash.tar.gz"}};
  // script: join.sh as the split writes it, or sums.sh, the same with a manifest; folder: the script's, in parts/;
  // setup: run in parts/new, with $s the stem and $n the name; said: @ the stem, # the name.
  struct Row { const char* script; const char* folder; std::string setup, said; };
  const std::string done = "Finished creating #\n";
  const std::string mismatch = "join.sh: piece @.2 does not match its line in @.sha256\n";
  const Row rows[] = {
      {"join.sh", "new", "", done},
      {"join.sh", "new", "rm -- \"$s.2\"", "join.sh: missing piece @.2\n"},
      {"join.sh", "new", "echo keep >../outside && ln -s ../outside \"./$n.dvtmp\"",
       "join.sh: #.dvtmp is in the way: remove it first\n"},
      {"join.sh", "new", "echo PRECIOUS >\"$n\"", "join.sh: # is in the way: move it elsewhere and run join.sh again\n"},
      {"join.sh", "new", "truncate -s 1000 -- \"$s.2\"", "join.sh: piece @.2 is not 1666 bytes long\n"},
      {"join.sh", "new", ": >\"$s.2\"", "join.sh: piece @.2 is not 1666 bytes long\n"},  // empty in the middle
      {"join.sh", "new", ": >\"$s.dvjournal\"",
       "join.sh: @.dvjournal records an unfinished change of this set: run Dorvenal in this folder to finish it\n"},
      {"join.sh", "new\n", "cd .. && mv new 'new\n' && mkdir new && cp -- \"new\n/$s\".* new", done},
      {"sums.sh", "new", "", done},
      {"sums.sh", "new", "printf Z | dd of=\"$s.2\" bs=1 seek=7 conv=notrunc 2>/dev/null", mismatch},
      {"sums.sh", "new", "cp -- \"$s.1\" \"$s.2\"", mismatch},  // a piece of the same size from elsewhere
      {"sums.sh", "new", "head -n 2 <\"$s.sha256\" >m && cat m >\"$s.sha256\"",
       "join.sh: @.sha256 is damaged or lists other pieces than this set's\n"},
      {"sums.sh", "new", "PATH=../../bin",
       "join.sh: found neither sha256sum nor shasum: the pieces were not checked against @.sha256\n" + done},
  };
  for (const auto& pair : names) {
    const std::string& name = pair[0];
    auto stemOf = [](const std::string& text) {
      const size_t dot = text.rfind('.');
      return dot == std::string::npos ? text : text.substr(0, dot) + "_" + text.substr(dot + 1);
    };
    const std::string stem = stemOf(name), shownStem = stemOf(pair[1]);
    auto fill = [&](const std::string& text) {
      std::string filled;
      for (char c : text) filled += c == '@' ? shownStem : c == '#' ? pair[1] : std::string(1, c);
      return filled;
    };
    TempDir dir;
    const std::string source = PatternBytes(5000, 3), parts = dir.path() + "/parts/new";
    const std::string vars = " && s=" + ShellQuoted(stem) + " n=" + ShellQuoted(name);
    WriteBytes(dir.File(name), source);
    ASSERT_EQ(std::system(("cd " + ShellQuoted(dir.path()) + vars + " && c=" DORVENAL_CLI_PATH " && $c split -yqn 3 --script -p -- "
                           "\"$n\" ref && $c split -yqn 3 --script --checksum -p -- \"$n\" sums && mv sums/join.sh ref/sums.sh && "
                           "mv sums/\"$s.sha256\" ref && mkdir bin && for t in dirname wc cat mv rm dash bash; do "
                           "ln -s \"$(command -v $t)\" bin; done").c_str()), 0);
    for (const Row& row : rows) {
      if (&row > &rows[1] && &pair < &names[2]) continue;  // the plainer names add nothing to the later rows
      SCOPED_TRACE(name + ": " + row.setup);
      const std::string here = dir.path() + "/parts/" + row.folder;
      ASSERT_EQ(std::system(("cd " + ShellQuoted(dir.path()) + " && rm -rf parts && mkdir parts && cp -R ref parts/new" +
                             " && cd parts/new" + vars + " && " + (row.setup.empty() ? ":" : row.setup))
                                .c_str()), 0);
      const std::vector<std::string> before[] = {Snapshot(dir.path() + "/parts"), Snapshot(parts), Snapshot(here)};
      for (const char* shell : {"dash", "bash"}) {
        const std::string path = row.setup.rfind("PATH=", 0) == 0 ? row.setup + " " : "";
        const int status = std::system(("cd / && " + path + shell + " " + ShellQuoted(here + "/" + row.script) + " >" +
                                        ShellQuoted(dir.File("said")) + " 2>&1").c_str());
        const bool joins = row.said.find("Finished") != std::string::npos;
        EXPECT_EQ(WEXITSTATUS(status), joins ? 0 : 1) << shell;
        EXPECT_EQ(ReadBytes(dir.File("said")), fill(row.said)) << shell;
        EXPECT_TRUE(!joins || ReadBytes(here + "/" + name) == source) << shell;
        if (joins) ::unlink((here + "/" + name).c_str());
        const std::vector<std::string> after[] = {Snapshot(dir.path() + "/parts"), Snapshot(parts), Snapshot(here)};
        for (int k = 0; k < 3; ++k) EXPECT_EQ(after[k], before[k]) << shell << ": written where it must not";
      }
    }
  }
}

}  // namespace
