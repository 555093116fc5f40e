// The rules by which the fields of coordinate files are read, through the simplest job.
#include <gtest/gtest.h>

#include "data_files/jobs.h"
#include "tests/support/folder_test.h"

namespace vortan {
namespace {

class FieldsAsRead : public support::FolderTest {
 protected:
  // Runs GGRS87 phi, lambda, h -> E, N, h on the text and returns the output.
  std::string Convert(const std::string& text, JobOutcome* outcome = nullptr) {
    const TransformContext context = MakeContext(kMainlandProfile, kDataFileBounds);
    std::filesystem::remove(Path("out.txt"));
    const JobOutcome result =
        RunJob(JobKind::kSflhToSenh, context, Write("in.txt", text), {Path("out.txt")});
    if (outcome) *outcome = result;
    else EXPECT_EQ(result.status, JobStatus::kDone) << result.Message();
    return Read(Path("out.txt"));
  }
};

constexpr const char* kLine = "P12,380000.00000,240000.00000,0.25";
constexpr const char* kExpected = "P12,500000.000,4205815.020,.250\r\n";

TEST_F(FieldsAsRead, LineEndsCrLfCrAndLf) {
  EXPECT_EQ(Convert(std::string(kLine) + "\r\n"), kExpected);
  EXPECT_EQ(Convert(std::string(kLine) + "\n" + kLine + "\n"), std::string(kExpected) + kExpected);
  EXPECT_EQ(Convert(std::string(kLine) + "\r" + kLine + "\r"), std::string(kExpected) + kExpected);
  EXPECT_EQ(Convert(kLine), kExpected);  // no line break at the end
  // A UTF-8 byte-order mark, as Notepad and Excel write it, is no part of the first id.
  EXPECT_EQ(Convert("\xEF\xBB\xBF" + std::string(kLine)), kExpected);
}

TEST_F(FieldsAsRead, RecordsOverSeveralLinesReadTheSame) {
  EXPECT_EQ(Convert("P12\r\n380000.00000\r\n240000.00000\r\n0.25\r\n"), kExpected);
  EXPECT_EQ(Convert("P12,\n 380000.00000,\n\n240000.00000 , 0.25"), kExpected);
}

// An id is written as it was read; one that holds a comma, a quote or a line break is written
// quoted, an inner quote doubled, so that the output reads back as the same records.
TEST_F(FieldsAsRead, IdsReadBackAsTheyWereWritten) {
  EXPECT_EQ(Convert("\"P22, kerb\",380000.00000,240000.00000,0.25\r\n"),
            "\"P22, kerb\",500000.000,4205815.020,.250\r\n");
  EXPECT_EQ(Convert("  \"A\"  ,380000,240000,1\r\n"), "A,500000.000,4205815.020,1.000\r\n");
  EXPECT_EQ(Convert("\"say \"\"hi\"\"\",380000,240000,1\r\n"),
            "\"say \"\"hi\"\"\",500000.000,4205815.020,1.000\r\n");
  EXPECT_EQ(Convert("P\"1,380000,240000,1\r\n"), "\"P\"\"1\",500000.000,4205815.020,1.000\r\n");
  EXPECT_EQ(Convert("\"two\r\nlines\",380000,240000,1\r\n"),
            "\"two\r\nlines\",500000.000,4205815.020,1.000\r\n");
  // The output of one job is an input of the next: the ids come back unchanged.
  const std::string sflh = "\"a, \"\"b\"\"\",380000.00000,240000.00000,1.000\r\nc,380000.00000,"
                           "240000.00000,2.000\r\n";
  const TransformContext context = MakeContext(kMainlandProfile, kDataFileBounds);
  const Conversion back(context, Form::kGgrs87Tm87, Form::kGgrs87Geographic);
  const JobOutcome outcome =
      RunConversion(back, Write("senh.txt", Convert(sflh)), Path("sflh.txt"));
  EXPECT_EQ(outcome.status, JobStatus::kDone) << outcome.Message();
  const std::string again = Read(Path("sflh.txt"));
  EXPECT_EQ(again.substr(0, 12), "\"a, \"\"b\"\"\",3");
  EXPECT_NE(again.find("\r\nc,3"), std::string::npos) << again;
}

TEST_F(FieldsAsRead, BlankLinesAndWhiteSpaceAfterTheLastRecordEndTheFile) {
  EXPECT_EQ(Convert(std::string(kLine) + "\r\n\r\n  \r\n\t\n"), kExpected);
  EXPECT_EQ(Convert("\r\n\r\n" + std::string(kLine) + "\r\n\r\n" + kLine),
            std::string(kExpected) + kExpected);
  EXPECT_EQ(Convert(""), "");
  EXPECT_EQ(Convert(" \r\n \r\n"), "");
  // A form feed or a Ctrl-Z at the end, as some editors leave them.
  EXPECT_EQ(Convert(std::string(kLine) + "\r\n\f\x1A"), kExpected);
}

// A line of empty fields (",,,", a formatted empty row of a spreadsheet) is skipped like a blank
// line, and a line that the commas make a record is one, whatever its id holds.
TEST_F(FieldsAsRead, EmptyFieldLinesAreSkippedAndCommaRecordsRead) {
  EXPECT_EQ(Convert(",,,\r\n" + std::string(kLine) + "\r\n , ,,\r\n,,,"), kExpected);
  EXPECT_EQ(Convert("P;1,380000.00000,240000.00000,0.25\r\n"),
            "P;1,500000.000,4205815.020,.250\r\n");
  EXPECT_EQ(Convert("P\t1,380000.00000,240000.00000,0.25\r\n"),
            "P\t1,500000.000,4205815.020,.250\r\n");
}

TEST_F(FieldsAsRead, HeightsAndSignsAsWritten) {
  EXPECT_EQ(Convert("N,380000,240000,-0.25\r\n"), "N,500000.000,4205815.020,-.250\r\n");
  EXPECT_EQ(Convert("N,380000,240000,+1e2\r\n"), "N,500000.000,4205815.020,100.000\r\n");
  // A comma after the last field, as spreadsheets write, is tolerated at the end of a line.
  EXPECT_EQ(Convert("N,380000,240000,5,\r\nM,380000,240000,6,,\r\n"),
            "N,500000.000,4205815.020,5.000\r\nM,500000.000,4205815.020,6.000\r\n");
}

TEST_F(FieldsAsRead, BadRecordsStopWithFileLineAndField) {
  struct Case {
    std::string text;
    std::uint64_t line;
    const char* field;
    const char* reason;
    std::uint64_t written;
  };
  const Case cases[] = {
      {"A,380000,240000,1\r\nB,380000,240000\r\n", 2, "h", "file ends inside the record", 1},
      {"A,380000,240000,1\r\n\r\nB\r\n", 3, "φ", "file ends inside the record", 1},
      {"A,380000,240000,\r\nB,380000,240000,1\r\n", 2, "h", "record that begins on line 1", 0},
      {"A,380000,240000,1\r\nB,38O000,240000,1\r\n", 2, "φ", "\"38O000\" is not a number", 1},
      {"101,375854,84000,234437,32000,320,412\r\n", 1, "", "decimal commas", 0},
      {"A,380000,240000,1\r\nB,380000,240000,1,7\r\n", 2, "", "an extra column", 1},
      {"A,380000,240000,1\r\nB;380000;240000;1\r\n", 2, "id", "semicolons", 1},
      {"A,380000,240000,1\r\nB\t380000\t240000\t1\r\n", 2, "id", "tabs", 1},
      {std::string("\xFF\xFE" "A\0,\0", 6), 1, "", "UTF-16", 0},
      {std::string("A\0,\0", 4), 1, "", "UTF-16", 0},
      {"A,380000,,1\r\n", 1, "λ", "the field is empty", 0},
      {"A,380000,240000,12.5 m\r\n", 1, "h", "\"12.5 m\" is not a number", 0},
      {"A,380000,240000,nan\r\n", 1, "h", "\"nan\" is not a number", 0},
      {"A,380000,240000,inf\r\n", 1, "h", "\"inf\" is not a number", 0},
      {"A,0x1p4,240000,1\r\n", 1, "φ", "\"0x1p4\" is not a number", 0},
      {"A,380000,240000,1e999\r\n", 1, "h", "too large", 0},
      {"A,380000,240000,1\r\n\"B,380000,240000,1\r\n", 2, "id", "never closed", 1},
      {"A,380000,240000,1\r\n\"B,1,2,3\r\n\"C\",1,2,3\r\n", 2, "id", "closes only on line 3", 1},
      {"\"B\"x,380000,240000,1\r\n", 1, "id", "text follows the closing double quote", 0},
      {"A,3.84E+05,240000,1\r\n", 1, "φ", "as Excel shows it in a column too narrow", 0},
      {std::string("\xFF\xFE\0\0A\0\0\0", 8), 1, "", "UTF-32", 0},
      {std::string("PK\x03\x04\x14\0\x06\0[Content_Types].xml xl/workbook.xml", 44), 1, "",
       "not a text file (it looks like an Excel workbook): save the sheet as CSV or text", 0},
      {std::string("PK\x03\x04\x14\0\0\0points.txt", 18), 1, "", "(it looks like a zip archive)", 0},
      {"%PDF-1.7\n%\xE2\xE3\n", 1, "", "(it looks like a PDF document)", 0},
      {std::string("\x7F" "ELF\x02\x01\x01\0", 8), 1, "", "(it looks like a program)", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    JobOutcome outcome;
    const std::string out = Convert(c.text, &outcome);
    EXPECT_EQ(outcome.status, JobStatus::kError);
    EXPECT_EQ(outcome.file, Path("in.txt"));
    EXPECT_EQ(outcome.line, c.line);
    EXPECT_EQ(outcome.field, c.field);
    EXPECT_NE(outcome.reason.find(c.reason), std::string::npos) << outcome.reason;
    EXPECT_EQ(outcome.pointsWritten, c.written);
    // The lines written before stay, complete.
    EXPECT_EQ(out, c.written == 1 ? "A,500000.000,4205815.020,1.000\r\n" : "");
    const std::string message = outcome.Message();
    EXPECT_NE(message.find("in.txt, line " + std::to_string(c.line)), std::string::npos)
        << message;
  }
}

}  // namespace
}  // namespace vortan
