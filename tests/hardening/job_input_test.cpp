// What a user gets for every kind of bad coordinate file, bad field, odd point and bad output:
// an error that names the file, the line and the field and says what to do, or, where the input
// is merely unusual, the right result. Nothing is lost: the input is never opened for writing,
// and the outputs hold complete lines only.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <filesystem>
#include <string>
#include <vector>

#include "data_files/jobs.h"
#include "tests/support/folder_test.h"
#include "transform/datum.h"

namespace vortan {
namespace {

const std::string kGrids = std::string(VORTAN_TEST_DATA) + "/reference/grids/";

const TransformContext& Mainland() {
  static const TransformContext context = [] {
    TransformContext c = MakeContext(kMainlandProfile, kDataFileBounds);
    const std::string error =
        InitialStep(c, kGrids + "dN_2km_V1-0.grd", kGrids + "dE_2km_V1-0.grd");
    if (!error.empty()) ADD_FAILURE() << error;
    return c;
  }();
  return context;
}

const TransformContext& Kastelorizo() {
  static const TransformContext context = [] {
    TransformContext c = MakeContext(kKastelorizoProfile, kDataFileBounds);
    InitialStep(c, "", "");
    return c;
  }();
  return context;
}

std::size_t Lines(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Every output holds complete CR LF lines only.
void ExpectCompleteLines(const std::string& text) {
  if (text.empty()) return;
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << "half a line at the end";
  EXPECT_EQ(Lines(text), static_cast<std::size_t>(std::count(text.begin(), text.end(), '\r')))
      << "a bare CR or LF";
}

class BadInput : public support::FolderTest {
 protected:
  // Runs the GGRS87 phi,lambda,h to E,N,h job on text and returns its output.
  std::string Convert(const std::string& text, JobOutcome* outcome = nullptr) {
    const JobOutcome o = RunJob(JobKind::kSflhToSenh, Mainland(), Write("in.txt", text),
                                {Path("out.txt")});
    if (outcome) *outcome = o;
    const std::string out = Read(Path("out.txt"));
    ExpectCompleteLines(out);
    EXPECT_FALSE(o.Message().empty());
    return out;
  }
  // The outcome of a job that must stop with an error, checked for file, line and field.
  JobOutcome ExpectError(JobKind kind, const TransformContext& context, const std::string& text,
                         std::uint64_t line, const std::string& field,
                         const std::string& reasonPart) {
    const JobDefinition& job = DefinitionOf(kind);
    std::vector<std::string> outputs;
    for (std::size_t i = 0; i < job.outputCount(); ++i) {
      outputs.push_back(Path("out" + std::to_string(i)));
    }
    const std::string input = Write("in.txt", text);
    const JobOutcome o = RunJob(kind, context, input, outputs);
    EXPECT_EQ(o.status, JobStatus::kError) << o.Message();
    EXPECT_EQ(o.file, input);
    EXPECT_EQ(o.line, line);
    EXPECT_EQ(o.field, field);
    EXPECT_NE(o.reason.find(reasonPart), std::string::npos) << o.reason;
    const std::string message = o.Message();
    EXPECT_NE(message.find(input + ", line " + std::to_string(line)), std::string::npos)
        << message;
    EXPECT_NE(message.find(std::to_string(o.pointsWritten) + (o.pointsWritten == 1 ? " point" : " points") +
                           " written"),
              std::string::npos)
        << message;
    for (const std::string& out : outputs) ExpectCompleteLines(Read(out));
    return o;
  }
};

constexpr const char* kPoint = "A,380000,240000,1\r\n";
constexpr const char* kPointOut = "A,500000.000,4205815.020,1.000\r\n";

TEST_F(BadInput, MissingInputNamesTheFileAndCreatesNoOutput) {
  const JobOutcome o = RunJob(JobKind::kSflhToSenh, Mainland(), Path("missing.txt"),
                              {Path("out.txt")});
  EXPECT_EQ(o.status, JobStatus::kError);
  EXPECT_EQ(o.file, Path("missing.txt"));
  EXPECT_NE(o.reason.find("cannot be opened (no such file or folder)"), std::string::npos);
  EXPECT_FALSE(Exists(Path("out.txt")));
}

TEST_F(BadInput, AFolderIsNeitherAnInputNorAnOutput) {
  std::filesystem::create_directory(Path("folder"));
  JobOutcome o = RunJob(JobKind::kSflhToSenh, Mainland(), Path("folder"), {Path("out.txt")});
  EXPECT_EQ(o.status, JobStatus::kError);
  EXPECT_NE(o.reason.find("is a folder, not a coordinate file"), std::string::npos);
  EXPECT_FALSE(Exists(Path("out.txt")));
  o = RunJob(JobKind::kSflhToSenh, Mainland(), Write("in.txt", kPoint), {Path("folder")});
  EXPECT_EQ(o.status, JobStatus::kError);
  EXPECT_EQ(o.file, Path("folder"));
  EXPECT_NE(o.reason.find("it is a folder"), std::string::npos) << o.reason;
}

// Permissions do not stop root, under which the tests may run: the job then runs in a child
// process that gives up root first.
// Root reads and writes any file whatever its mode: the job runs in a child process that gives
// up root first. The child's message, or nothing when root cannot be given up here.
std::optional<std::string> MessageWithoutRoot(const std::function<JobOutcome()>& job) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return std::nullopt;
  const pid_t child = ::fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    ::close(pipeFds[0]);
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
    const JobOutcome o = job();
    const std::string message = o.Message();
    if (::write(pipeFds[1], message.data(), message.size()) < 0) ::_exit(3);
    ::_exit(o.status == JobStatus::kError ? 0 : 1);
  }
  ::close(pipeFds[1]);
  std::string message;
  char buffer[512];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) message.append(buffer, n);
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) == 2) return std::nullopt;
  EXPECT_EQ(WEXITSTATUS(status), 0) << message;
  return message;
}

TEST_F(BadInput, AnUnreadableInputAndAReadOnlyOutputAreNamed) {
  const std::string input = Write("in.txt", kPoint);
  const std::string output = Write("old.txt", "kept\r\n");
  std::filesystem::permissions(input, std::filesystem::perms::none);
  std::filesystem::permissions(output, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::others_read);
  std::filesystem::permissions(folder_, std::filesystem::perms::all);
  const std::optional<std::string> unreadable = MessageWithoutRoot(
      [&] { return RunJob(JobKind::kSflhToSenh, Mainland(), input, {Path("out.txt")}); });
  if (!unreadable) GTEST_SKIP() << "cannot give up root here";
  EXPECT_NE(unreadable->find(input + ": cannot be opened (permission denied)"), std::string::npos)
      << *unreadable;
  EXPECT_FALSE(Exists(Path("out.txt")));
  std::filesystem::permissions(input, std::filesystem::perms::all);
  const std::optional<std::string> readOnly = MessageWithoutRoot(
      [&] { return RunJob(JobKind::kSflhToSenh, Mainland(), input, {output}); });
  ASSERT_TRUE(readOnly);
  EXPECT_NE(readOnly->find(output + ": cannot be written (permission denied): the file exists "
                                    "and may not be changed"),
            std::string::npos)
      << *readOnly;
  EXPECT_EQ(Read(output), "kept\r\n");
}

TEST_F(BadInput, EmptyBlankAndWhiteSpaceOnlyFilesGiveEmptyOutputs) {
  for (const char* text : {"", "\r\n", "   \t ", "\r\n\r\n  \r\n\t\r\n", "\n\n", "\r\r"}) {
    JobOutcome o;
    EXPECT_EQ(Convert(text, &o), "") << "[" << text << "]";
    EXPECT_EQ(o.status, JobStatus::kDone);
    EXPECT_EQ(o.pointsWritten, 0u);
  }
}

TEST_F(BadInput, BlankLinesAndWhiteSpaceAroundRecordsAreSkipped) {
  // Blanks before a field are skipped; an unquoted id keeps the blanks before its comma.
  EXPECT_EQ(Convert("\r\n  \r\nA,380000,240000,1\r\n\r\n\t\r\n A , 380000 ,240000,\t1 \r\n\r\n"),
            std::string(kPointOut) + "A ,500000.000,4205815.020,1.000\r\n");
}

TEST_F(BadInput, CrOnlyLfOnlyAndMixedLineEndsReadTheSame) {
  const std::string expected = std::string(kPointOut) + kPointOut + kPointOut;
  EXPECT_EQ(Convert("A,380000,240000,1\rA,380000,240000,1\rA,380000,240000,1\r"), expected);
  EXPECT_EQ(Convert("A,380000,240000,1\nA,380000,240000,1\nA,380000,240000,1\n"), expected);
  EXPECT_EQ(Convert("A,380000,240000,1\rA,380000,240000,1\nA,380000,240000,1"), expected);
  // The output is always CR LF.
  EXPECT_EQ(Convert("A\r380000\n240000\r\n1\r"), kPointOut);
}

TEST_F(BadInput, AQuotedIdKeepsItsCommasAndIsWrittenQuoted) {
  EXPECT_EQ(Convert("\"A, kerb, 2\",380000,240000,1\r\n"),
            "\"A, kerb, 2\",500000.000,4205815.020,1.000\r\n");
  EXPECT_EQ(Convert("\"\",380000,240000,1\r\n"), ",500000.000,4205815.020,1.000\r\n");
}

// A forgotten closing quote does not swallow the records below it: the quote that would close
// it is followed by text, and the error names the line of the opening quote.
TEST_F(BadInput, AnUnterminatedQuoteIsNamedAtItsLine) {
  ExpectError(JobKind::kSflhToSenh, Mainland(),
              "A,380000,240000,1\r\n\"B,380000,240000,1\r\nC,380000,240000,1\r\n\"D\",1,2,3\r\n",
              2, "id", "closes only on line 4");
  ExpectError(JobKind::kSflhToSenh, Mainland(), "A,380000,240000,1\r\n\"B", 2, "id",
              "never closed");
}

TEST_F(BadInput, ARecordCutShortNamesTheLineWhereItBegins) {
  ExpectError(JobKind::kSflhToSenh, Mainland(), "A,380000,240000,1\r\nB,380000\r\n", 2, "λ",
              "the file ends inside the record that begins on line 2: field λ is missing");
  ExpectError(JobKind::kSenhToHtrs07, Mainland(), "P1\r\n466591.820\r\n4258474.289\r\n", 1, "h",
              "field h is missing");
  // One empty line too many after the last record is not a record.
  JobOutcome o;
  EXPECT_EQ(Convert("A,380000,240000,1\r\n\r\n", &o), kPointOut);
  EXPECT_EQ(o.status, JobStatus::kDone);
}

TEST_F(BadInput, FieldsThatAreNotNumbersNameFileLineAndField) {
  struct Case {
    const char* text;
    const char* field;
    const char* reason;
  };
  const Case cases[] = {
      {"B,38O000,240000,1", "φ", "\"38O000\" is not a number"},
      {"B,380000,24°00',1", "λ", "\"24°00'\" is not a number"},
      {"B,380000,,1", "λ", "the field is empty"},
      {"B,380000,240000,12.5 m", "h", "\"12.5 m\" is not a number"},
      {"B,380000,240000,nan", "h", "\"nan\" is not a number"},
      {"B,NaN,240000,1", "φ", "\"NaN\" is not a number"},
      {"B,380000,inf,1", "λ", "\"inf\" is not a number"},
      {"B,380000,-Infinity,1", "λ", "\"-Infinity\" is not a number"},
      {"B,0x5CC60,240000,1", "φ", "\"0x5CC60\" is not a number"},
      {"B,380000,240000,0x1p4", "h", "\"0x1p4\" is not a number"},
      {"B,380000,240000,&H10", "h", "\"&H10\" is not a number"},
      {"B,380000,240000,1e", "h", "\"1e\" is not a number"},
      {"B,380000,240000,1.2.3", "h", "\"1.2.3\" is not a number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const JobOutcome o = ExpectError(JobKind::kSflhToSenh, Mainland(),
                                     std::string(kPoint) + c.text + "\r\n" + kPoint, 2, c.field,
                                     c.reason);
    EXPECT_EQ(o.pointsWritten, 1u);
    EXPECT_EQ(Read(Path("out0")), kPointOut);
  }
  // A fifth field on a line is no record of its own.
  ExpectError(JobKind::kSflhToSenh, Mainland(), std::string(kPoint) + "B,380000,240000,1,5\r\n",
              2, "", "holds 5 fields, more than the four of one record");
  // A missing last field would take the next line's id as its value: the message points back.
  ExpectError(JobKind::kSflhToSenh, Mainland(),
              std::string(kPoint) + "B,380000,240000,\r\n" + kPoint, 3, "h",
              "the record that begins on line 2 takes its field h from line 3, where more fields "
              "follow");
}

TEST_F(BadInput, HugeValuesAreRefusedOrStopAsNumericFaults) {
  // Beyond a double: refused as a field.
  ExpectError(JobKind::kSflhToSenh, Mainland(), "B,380000,240000,1e309\r\n", 1, "h",
              "\"1e309\" is too large a number");
  ExpectError(JobKind::kSxyzToGgrs87, Mainland(),
              "B,-1" + std::string(310, '0') + ",1,1\r\n", 1, "X", "is too large a number");
  // Within a double but far beyond the Earth: a numeric fault at that point.
  ExpectError(JobKind::kSxyzToGgrs87, Mainland(), "B,1e308,1e308,1e308\r\n", 1, "",
              "numeric fault (overflow)");
  ExpectError(JobKind::kSenhToHtrs07, Kastelorizo(), "B,1e300,4200000,0\r\n", 1, "",
              "numeric fault");
  // Degrees that do not fit the 16-bit integers of the packed form.
  ExpectError(JobKind::kSflhToSenh, Mainland(), "B,1e9,240000,0\r\n", 1, "",
              "numeric fault (invalid operation)");
  ExpectError(JobKind::kSflhToSxyz, Mainland(), "B,380000,-4e8,0\r\n", 1, "", "numeric fault");
  // A height is only copied by this job: a large one is written as it is.
  JobOutcome o;
  const std::string out = Convert("B,380000,240000,1e20\r\n", &o);
  EXPECT_EQ(o.status, JobStatus::kDone);
  EXPECT_EQ(out, "B,500000.000,4205815.020,100000000000000000000.000\r\n");
  // A height of 1e308 m does not overflow X, Y, Z: they are written in full, 309 digits each.
  const JobOutcome xyz = RunJob(JobKind::kSflhToSxyz, Mainland(),
                                Write("h.txt", "B,380000,240000,1e308\r\n"), {Path("xyz.txt")});
  EXPECT_EQ(xyz.status, JobStatus::kDone) << xyz.Message();
  const std::string line = Read(Path("xyz.txt"));
  ExpectCompleteLines(line);
  EXPECT_EQ(std::count(line.begin(), line.end(), ','), 3);
  EXPECT_EQ(line.find_first_not_of("B0123456789.,\r\n"), std::string::npos) << line;
  EXPECT_GT(line.size(), 3u * 300u);
}

TEST_F(BadInput, PointsFarOutsideGreeceStopAtTheExtentTestOrConvertPlainly) {
  // Mainland jobs with grids stop with the out-of-grid outcome, naming the point.
  const std::string senh = Write("senh.txt", "FAR,500000,6000000,10\r\n");
  const JobOutcome o = RunJob(JobKind::kSenhToHtrs07, Mainland(), senh,
                              {Path("a"), Path("b"), Path("c")});
  EXPECT_EQ(o.status, JobStatus::kOutsideGrid);
  EXPECT_EQ(o.pointId, "FAR");
  EXPECT_EQ(o.line, 1u);
  // Conversions without grids are arithmetic: the south pole, a point on the equator 156
  // degrees from the central meridian, and Tokyo give numbers, far off as they are.
  JobOutcome plain;
  const std::string out =
      Convert("S,-900000,240000,0\r\nW,0,1800000,0\r\nT,354048,1394125,0\r\n", &plain);
  EXPECT_EQ(plain.status, JobStatus::kDone) << plain.Message();
  EXPECT_EQ(out,
            "S,500000.000,-9997964.943,.000\r\nW,6151299259.395,.000,.000\r\n"
            "T,13578137.745,-346164.229,.000\r\n");
}

// A latitude beyond 90 degrees or a longitude beyond 180 degrees is no point of the Earth: it
// is refused naming its field. A Northing past the pole has no inverse projection: a numeric
// fault, and no output holds a line of it.
TEST_F(BadInput, ImpossibleCoordinatesAreRefusedInEveryJob) {
  struct Case {
    JobKind job;
    std::string text;
    const char* field;
    const char* reason;
  };
  const Case cases[] = {
      {JobKind::kSflhToSenh, std::string(kPoint) + "B,950000.00000,240000,1\r\n", "φ",
       "\"950000.00000\" is a latitude of 95.00000°, beyond ±90°"},
      {JobKind::kSflhToSxyz, std::string(kPoint) + "B,380000,3837000,1\r\n", "λ",
       "is a longitude of 384.16667°, beyond ±180°"},
      {JobKind::kSenhToHtrs07, "A,566296.541,4529332.314,6.501\r\nB,477342.324,14203550.062,10\r\n",
       "", "numeric fault (invalid operation)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const JobOutcome o = ExpectError(c.job, Mainland(), c.text, 2, c.field, c.reason);
    EXPECT_EQ(o.pointsWritten, 1u);
    for (std::uint64_t lines : o.linesWritten) EXPECT_EQ(lines, 1u);
  }
}

// Points far outside Greece that no grid stops, and packed angles below 100 (decimal degrees),
// are converted as they are, and named in a note.
TEST_F(BadInput, PointsOutsideGreeceAndDecimalDegreesAreNoted) {
  JobOutcome o;
  Convert(std::string(kPoint) + "DD,37.976358,23.7,1\r\n" + kPoint, &o);
  ASSERT_EQ(o.status, JobStatus::kDone) << o.Message();
  const std::vector<std::string> notes = o.NoteTexts();
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_NE(notes[0].find("1 of the 3 points converted lies outside Greece (φ 33° to 43°, λ 18° "
                          "to 31°); the first, DD (" + Path("in.txt") + ", line 2), at φ 0.01055°"),
            std::string::npos)
      << notes[0];
  EXPECT_NE(notes[1].find("field φ of point DD (" + Path("in.txt") +
                          ", line 2) takes degrees, minutes and seconds as DDMMSS.SSSSS: if "
                          "37.976358 is in decimal degrees, write 375834.88880 (2 angles"),
            std::string::npos)
      << notes[1];
  // Inside Greece nothing is noted, on Kastelorizo as on the mainland.
  const JobOutcome kast = RunJob(JobKind::kSenhToHtrs07, Kastelorizo(),
                                 Write("k.txt", "K,733033.382,4003432.07,0\r\n"),
                                 {Path("a"), Path("b"), Path("c")});
  EXPECT_EQ(kast.status, JobStatus::kDone) << kast.Message();
  EXPECT_TRUE(kast.NoteTexts().empty());
  // A projected or Cartesian form converted to itself computes no latitude: nothing is noted
  // (not "outside Greece at φ 0°").
  const TransformContext& context = Mainland();
  for (Form form : {Form::kHtrs07Tm07, Form::kHtrs07Xyz, Form::kGgrs87Tm87}) {
    const JobOutcome same = RunConversion(Conversion(context, form, form),
                                          Write("s.txt", "S,566296.541,4529332.314,6.501\r\n"),
                                          Path("s-out.txt"), {});
    EXPECT_EQ(same.status, JobStatus::kDone) << same.Message();
    EXPECT_TRUE(same.NoteTexts().empty()) << same.NoteTexts().front();
  }
}

// A grid whose header is wrong (a step in kilometres) refuses every point inside the extent:
// the message says what the grid covers.
TEST_F(BadInput, AGridFarFromEveryPointSaysWhatItCovers) {
  TransformContext context = MakeContext(kMainlandProfile, kDataFileBounds);
  std::string dn = Read(kGrids + "dN_2km_V1-0.grd"), de = Read(kGrids + "dE_2km_V1-0.grd");
  for (std::string* text : {&dn, &de}) text->replace(text->find("\n2000") + 1, 4, "2");
  ASSERT_EQ(InitialStep(context, Write("dN_km.grd", dn), Write("dE_km.grd", de)), "");
  const JobOutcome o = RunJob(JobKind::kSenhToHtrs07, context,
                              Write("in.txt", "P1,566296.541,4529332.314,6.501\r\n"),
                              {Path("a"), Path("b"), Path("c")});
  EXPECT_EQ(o.status, JobStatus::kOutsideGrid);
  EXPECT_NE(o.Message().find("The grid read covers E 42000 to 42842, N 1846000 to 1846814"),
            std::string::npos)
      << o.Message();
}

// On the polar axis (X = 0, Y = 0) the latitude iteration divides by p = 0: the point stops as
// a numeric fault with its line, after the points before it.
TEST_F(BadInput, PointsOnThePolarAxisStopAsNumericFaults) {
  for (const char* point : {"POLE,0,0,6356752.314", "CENTRE,0,0,0", "SOUTH,0,0,-6356752.314"}) {
    SCOPED_TRACE(point);
    const JobOutcome o = ExpectError(
        JobKind::kSxyzToGgrs87, Mainland(),
        std::string("P1,4473350.762,2350872.180,3878941.453\r\n") + point + "\r\n", 2, "",
        "numeric fault");
    EXPECT_EQ(o.pointsWritten, 1u);
    EXPECT_EQ(o.pointId, std::string(point).substr(0, std::string(point).find(',')));
    ExpectError(JobKind::kSxyzToGgrs87, Kastelorizo(), std::string(point) + "\r\n", 1, "",
                "numeric fault");
  }
}

TEST_F(BadInput, AnOutputThatIsTheInputIsRefusedAndTheInputKept) {
  const std::string input = Write("in.txt", kPoint);
  std::filesystem::create_hard_link(input, Path("hard.txt"));
  std::filesystem::create_symlink(input, Path("soft.txt"));
  for (const std::string& output :
       {input, (folder_ / "." / "in.txt").string(), Path("hard.txt"), Path("soft.txt")}) {
    SCOPED_TRACE(output);
    const JobOutcome o = RunJob(JobKind::kSflhToSenh, Mainland(), input, {output});
    EXPECT_EQ(o.status, JobStatus::kError);
    EXPECT_NE(o.reason.find("this output is the input ("), std::string::npos) << o.reason;
    EXPECT_EQ(Read(input), kPoint);
  }
}

TEST_F(BadInput, AnOutputInAFolderThatDoesNotExistIsNamed) {
  const std::string output = Path("no/such/folder/out.txt");
  const JobOutcome o = RunJob(JobKind::kSenhToHtrs07, Mainland(),
                              Write("in.txt", "P1,466591.820,4258474.289,593.998\r\n"),
                              {Path("a"), output, Path("c")});
  EXPECT_EQ(o.status, JobStatus::kError);
  EXPECT_EQ(o.file, output);
  EXPECT_NE(o.reason.find("the folder does not exist, create it or choose another"),
            std::string::npos);
  EXPECT_FALSE(Exists(Path("c")));
}

TEST_F(BadInput, AFullDiskIsNamedAndNoHalfLineStays) {
  const JobOutcome o =
      RunJob(JobKind::kSflhToSenh, Mainland(), Write("in.txt", kPoint), {"/dev/full"});
  EXPECT_EQ(o.status, JobStatus::kError);
  EXPECT_EQ(o.file, "/dev/full");
  EXPECT_NE(o.reason.find("no space left on the device"), std::string::npos);
  EXPECT_NE(o.Message().find("0 points written"), std::string::npos) << o.Message();
}

// Runs a job in a child process under a resource limit and returns what the child reports:
// the points written, then the message. A crash of the child fails the test.
std::string InChild(int resource, rlim_t limit, const std::function<JobOutcome()>& job) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFds[0]);
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit r{limit, limit};
    if (::setrlimit(resource, &r) != 0) ::_exit(2);
    const JobOutcome o = job();
    const std::string report = std::to_string(o.pointsWritten) + "\n" + o.Message();
    if (::write(pipeFds[1], report.data(), report.size()) < 0) ::_exit(3);
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  std::string report;
  char buffer[512];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) report.append(buffer, n);
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child ended by signal "
                                                             << WTERMSIG(status);
  return report;
}

std::string ManyPoints(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "P" + std::to_string(i) + ",380000,240000,1\r\n";
  return text;
}

// A disk that fills in the middle of a write: the file size limit of a child process stands for
// it. The output is cut back to its last complete line and the count says how many points it
// holds.
TEST_F(BadInput, ADiskThatFillsMidwayKeepsCompleteLinesAndTheirCount) {
  const std::string input = Write("in.txt", ManyPoints(20000));
  const std::string output = Path("out.txt");
  const std::string report = InChild(RLIMIT_FSIZE, 400000, [&] {
    return RunJob(JobKind::kSflhToSenh, Mainland(), input, {output});
  });
  const std::size_t points = std::stoul(report.substr(0, report.find('\n')));
  EXPECT_NE(report.find("cannot be written"), std::string::npos) << report;
  EXPECT_NE(report.find(std::to_string(points) + " points written"), std::string::npos) << report;
  const std::string out = Read(output);
  EXPECT_GT(points, 0u);
  EXPECT_LT(out.size(), 400000u);
  ExpectCompleteLines(out);
  EXPECT_EQ(Lines(out), points);
}

// After a failed write every output holds the same number of lines, the number the message
// states, on one thread and on several.
TEST_F(BadInput, AFailedWriteLeavesTheSameLinesInEveryOutput) {
  std::string text;
  for (int i = 0; i < 30000; ++i) text += "P" + std::to_string(i) + ",466591.820,4258474.289,1\r\n";
  const std::string input = Write("in.txt", text);
  for (int threads : {1, 3}) {
    SCOPED_TRACE(threads);
    const std::vector<std::string> outputs = {Path("a"), Path("b"), Path("c")};
    const std::string report = InChild(RLIMIT_FSIZE, 300000, [&] {
      JobOptions options;
      options.threads = threads;
      return RunJob(JobKind::kSenhToHtrs07, Mainland(), input, outputs, options);
    });
    const std::size_t points = std::stoul(report.substr(0, report.find('\n')));
    EXPECT_NE(report.find(std::to_string(points) + " points written to"), std::string::npos)
        << report;
    for (const std::string& out : outputs) {
      const std::string lines = Read(out);
      ExpectCompleteLines(lines);
      EXPECT_EQ(Lines(lines), points) << out;
    }
  }
}

// No output may be a file the job reads (the input, a grid) or another output, however it is
// named; a refused job touches no file, and the files it would have made are not left behind.
TEST_F(BadInput, NoOutputIsAFileTheJobReadsOrAnotherOutput) {
  const std::string input = Write("in.txt", "P1,466591.820,4258474.289,593.998\r\n");
  const std::string dn = kGrids + "dN_2km_V1-0.grd";
  const std::string grid = Read(dn);
  std::filesystem::create_symlink(Path("nowhere"), Path("link1"));
  std::filesystem::create_symlink(Path("nowhere"), Path("link2"));
  struct Case {
    std::vector<std::string> outputs;
    const char* reason;
  };
  const Case cases[] = {
      {{Path("a"), Path("b"), dn}, "is the correction grid"},
      {{Path("a"), input, Path("c")}, "is the input ("},
      {{Path("a"), Path("b"), Path("./a")}, "are one file"},
      {{Path("a"), Path("link1"), Path("link2")}, "are one file"},
      {{Path("a"), "", Path("c")}, "no file name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.outputs[2]);
    const JobOutcome o = RunJob(JobKind::kSenhToHtrs07, Mainland(), input, c.outputs);
    EXPECT_EQ(o.status, JobStatus::kError);
    EXPECT_NE(o.reason.find(c.reason), std::string::npos) << o.reason;
    EXPECT_NE(o.Message().find("Nothing was written"), std::string::npos) << o.Message();
    EXPECT_FALSE(Exists(Path("a")));
    EXPECT_FALSE(Exists(Path("nowhere")));
  }
  EXPECT_EQ(Read(dn), grid);
  // The null device takes any number of outputs.
  EXPECT_EQ(RunJob(JobKind::kSenhToHtrs07, Mainland(), input, {"/dev/null", "/dev/null", "/dev/null"})
                .status,
            JobStatus::kDone);
}

// Every output is opened and checked before any is emptied: when the last cannot be created,
// the first keeps what it held.
TEST_F(BadInput, EveryOutputIsCheckedBeforeAnyIsEmptied) {
  const std::string input = Write("in.txt", "P1,466591.820,4258474.289,593.998\r\n");
  Write("a", "what the user keeps\r\n");
  const JobOutcome o =
      RunJob(JobKind::kSenhToHtrs07, Mainland(), input, {Path("a"), Path("b"), Path("no/c")});
  EXPECT_EQ(o.status, JobStatus::kError);
  EXPECT_EQ(Read(Path("a")), "what the user keeps\r\n");
  EXPECT_FALSE(Exists(Path("b")));
  EXPECT_NE(o.Message().find("Nothing was written"), std::string::npos);
}

// Under a memory limit, asked for more threads than the system gives, a job runs on the threads
// it gets or ends with a clear error; it never aborts.
TEST_F(BadInput, ResourceLimitsGiveAnErrorOrFewerThreadsNeverAnAbort) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#endif
  const std::string input = Write("in.txt", ManyPoints(50000));
  for (rlim_t limit : {rlim_t{60} << 20, rlim_t{200} << 20}) {
    const std::string report = InChild(RLIMIT_AS, limit, [&] {
      JobOptions options;
      options.threads = 64;
      return RunJob(JobKind::kSflhToSenh, Kastelorizo(), input, {Path("out.txt")}, options);
    });
    EXPECT_TRUE(report.find("50000 points written") != std::string::npos ||
                report.find("not enough memory") != std::string::npos)
        << report;
    ExpectCompleteLines(Read(Path("out.txt")));
  }
}

// Messages show control characters, line breaks and NUL bytes of fields and file names
// escaped: no input cuts a message short or forges a line of it.
TEST_F(BadInput, MessagesShowControlCharactersEscaped) {
  static constexpr char kRecord[] = "B,38\x1b[2J\0,240000,1\r\n";
  const JobOutcome field = ExpectError(JobKind::kSflhToSenh, Mainland(),
                                       std::string(kRecord, sizeof kRecord - 1), 1, "φ",
                                       "\"38\\x1B[2J\\x00\" is not a number");
  EXPECT_EQ(field.Message().find('\x1b'), std::string::npos);
  const JobOutcome name =
      RunJob(JobKind::kSflhToSenh, Mainland(), Path("bad\nname\x1b.txt"), {Path("out.txt")});
  EXPECT_NE(name.Message().find("bad\\nname\\x1B.txt: cannot be opened"), std::string::npos)
      << name.Message();
  EXPECT_EQ(RunJob(JobKind::kSflhToSenh, Mainland(), "", {Path("out.txt")}).file,
            "an empty file name");
}

}  // namespace
}  // namespace vortan
