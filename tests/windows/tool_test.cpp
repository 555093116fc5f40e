// What Windows changes for the command-line tool, each rule run through vortan-transform.exe:
// line ends, binary standard streams, Greek names, drive letters and backslashes, one file under
// two spellings, the exit status, the reasons Windows gives, Ctrl+C, the default thread count.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "tool_runner.h"

namespace vortan::windows {
namespace {

// One GGRS87 SFLh record and what sflh-to-senh writes for it.
constexpr char kSflh[] = "A,380000,240000,1";
constexpr char kSenh[] = "A,500000.000,4205815.020,1.000\r\n";

std::wstring Grid(const wchar_t* name) {
  return (TestData() / L"reference" / L"grids" / name).wstring();
}

class Tool : public ToolFolder {};

// The runtime's text mode would write CR CR LF for the CR LF of a line, and turn a lone LF
// read into CR LF: every line written ends in exactly one CR LF, to a file and to "-".
TEST_F(Tool, AWrittenLineEndsInOneCrLf) {
  WriteFile(folder_ / "in.txt", std::string(kSflh) + "\r\n" + kSflh + "\n" + kSflh);
  const std::string expected = std::string(kSenh) + kSenh + kSenh;
  const ToolResult file = Run({L"sflh-to-senh", L"in.txt", L"out.txt"});
  EXPECT_EQ(file.status, 0u) << file.err;
  EXPECT_EQ(ReadFile(folder_ / "out.txt"), expected);
  const ToolResult piped = Run({L"sflh-to-senh", L"in.txt", L"-"});
  EXPECT_EQ(piped.status, 0u) << piped.err;
  EXPECT_EQ(piped.out, expected);
}

// "-" is read in binary mode: a Ctrl+Z byte (the end of a text-mode file) is data like any
// other, and the CR of each line reaches the reader.
TEST_F(Tool, StandardInputIsReadInBinaryMode) {
  WriteFile(folder_ / "in.txt", "Z\x1A" + std::string(kSflh + 1) + "\r\n" + kSflh + "\r\n");
  const ToolResult result = Run({L"sflh-to-senh", L"-", L"-"}, L"in.txt");
  EXPECT_EQ(result.status, 0u) << result.err;
  EXPECT_EQ(result.out, "Z\x1A" + std::string(kSenh + 1) + kSenh);
}

// Greek folder and file names reach the wide-character file functions, and a message names
// them in UTF-8.
TEST_F(Tool, GreekFileAndFolderNames) {
  fs::create_directories(folder_ / L"Μετρήσεις 2024");
  WriteFile(folder_ / L"Μετρήσεις 2024" / L"Σημεία ΕΓΣΑ87.txt", std::string(kSflh) + "\r\n");
  const ToolResult result = Run({L"sflh-to-senh", L"Μετρήσεις 2024\\Σημεία ΕΓΣΑ87.txt",
                                 L"Μετρήσεις 2024\\Αποτελέσματα.txt"});
  EXPECT_EQ(result.status, 0u) << result.err;
  EXPECT_EQ(ReadFile(folder_ / L"Μετρήσεις 2024" / L"Αποτελέσματα.txt"), kSenh);
  EXPECT_NE(result.err.find("Μετρήσεις 2024\\Αποτελέσματα.txt"), std::string::npos)
      << result.err;

  const ToolResult missing = Run({L"sflh-to-senh", L"Λείπει.txt", L"out.txt"});
  EXPECT_EQ(missing.status, 1u);
  EXPECT_NE(missing.err.find("Λείπει.txt: cannot be opened"), std::string::npos) << missing.err;
}

// Absolute paths with a drive letter, either case, backslashes, slashes and "..".
TEST_F(Tool, DriveLettersAndBackslashes) {
  fs::create_directories(folder_ / "sub");
  WriteFile(folder_ / "sub" / "in.txt", std::string(kSflh) + "\r\n");
  std::wstring absolute = folder_.wstring();  // C:\users\...
  ASSERT_EQ(absolute[1], L':');
  std::wstring lower = absolute;
  lower[0] = static_cast<wchar_t>(::towlower(lower[0]));
  for (wchar_t& c : lower) {
    if (c == L'\\') c = L'/';
  }
  const struct {
    std::wstring input, output;
  } spellings[] = {
      {absolute + L"\\sub\\in.txt", absolute + L"\\sub\\out1.txt"},
      {lower + L"/sub/in.txt", lower + L"/sub/out2.txt"},
      {L"sub\\in.txt", L"sub\\out3.txt"},
      {L"sub\\..\\sub/in.txt", L".\\sub\\..\\out4.txt"},
  };
  for (const auto& s : spellings) {
    SCOPED_TRACE(fs::path(s.input).string());
    const ToolResult result = Run({L"sflh-to-senh", s.input, s.output});
    EXPECT_EQ(result.status, 0u) << result.err;
    EXPECT_EQ(ReadFile(fs::path(s.output).is_absolute() ? fs::path(s.output)
                                                         : folder_ / s.output),
              kSenh);
  }
}

// Case, ".", slashes and the drive letter make no other file: the input is never an output.
TEST_F(Tool, AnotherSpellingOfTheInputIsTheInput) {
  fs::create_directories(folder_ / "sub");
  const std::string text = std::string(kSflh) + "\r\n";
  WriteFile(folder_ / "sub" / "in.txt", text);
  for (const std::wstring& output :
       {std::wstring(L"SUB/./IN.TXT"), folder_.wstring() + L"\\Sub\\In.Txt"}) {
    SCOPED_TRACE(fs::path(output).string());
    const ToolResult result = Run({L"sflh-to-senh", L"sub\\in.txt", output});
    EXPECT_EQ(result.status, 1u);
    EXPECT_NE(result.err.find("is the input"), std::string::npos) << result.err;
    EXPECT_EQ(ReadFile(folder_ / "sub" / "in.txt"), text);
  }
}

// The exit status tells the kind of ending as on Linux: 0 done, 1 an error, 2 wrong usage,
// 3 a point outside the grid.
TEST_F(Tool, ExitStatusAsOnLinux) {
  WriteFile(folder_ / "good.txt", std::string(kSflh) + "\r\n");
  WriteFile(folder_ / "bad.txt", std::string(kSflh) + "\r\nB,380000,x,1\r\n");
  WriteFile(folder_ / "far.txt", "P1,466591.820,4258474.289,593.998\r\nFAR,500000,6000000,10\r\n");
  const std::wstring dn = Grid(L"dN_2km_V1-0.grd"), de = Grid(L"dE_2km_V1-0.grd");
  const struct {
    std::vector<std::wstring> arguments;
    DWORD status;
    const char* said;
  } cases[] = {
      {{L"sflh-to-senh", L"good.txt", L"out.txt"}, 0, "1 point written"},
      {{L"sflh-to-senh", L"bad.txt", L"out.txt"}, 1, "bad.txt, line 2, field λ"},
      {{L"sflh-to-senh", L"missing.txt", L"out.txt"}, 1, "cannot be opened"},
      {{L"no-such-job", L"good.txt", L"out.txt"}, 2, "--help"},
      {{L"--threads", L"0", L"sflh-to-senh", L"good.txt", L"out.txt"}, 2, "--help"},
      {{L"--dn", dn, L"--de", de, L"senh-to-htrs07", L"far.txt", L"a", L"b", L"c"}, 3, "FAR"},
      // No GDAL in this build: a GIS dataset is refused in words.
      {{L"convert", L"--from", L"ggrs87-geographic", L"--to", L"ggrs87-tm87", L"good.txt",
        L"out.gpkg"}, 1, "not converted by the Windows build"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.said);
    const ToolResult result = Run(c.arguments);
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_NE(result.err.find(c.said), std::string::npos) << result.err;
  }
}

// What only Windows refuses, in words: a file another program holds, a character no Windows
// name may have, a folder; NUL takes any number of outputs.
TEST_F(Tool, WhatWindowsRefusesIsSaid) {
  WriteFile(folder_ / "in.txt", std::string(kSflh) + "\r\n");
  WriteFile(folder_ / "held.txt", "");
  fs::create_directories(folder_ / "folder");
  // Held as a spreadsheet program holds an open file: nobody else may write it.
  const HANDLE held = ::CreateFileW((folder_ / "held.txt").c_str(), GENERIC_READ | GENERIC_WRITE,
                                    0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const struct {
    std::vector<std::wstring> arguments;
    DWORD status;
    const char* said;
  } cases[] = {
      {{L"sflh-to-senh", L"in.txt", L"held.txt"}, 1, "open in another program"},
      {{L"sflh-to-senh", L"held.txt", L"out.txt"}, 1, "open in another program"},
      {{L"sflh-to-senh", L"in.txt", L"what?.txt"}, 1, "not valid on Windows"},
      {{L"sflh-to-senh", L"in.txt", L"folder"}, 1, "it is a folder"},
      {{L"sflh-to-senh", L"folder", L"out.txt"}, 1, "is a folder"},
      {{L"senh-to-htrs07", L"--region", L"kastelorizo", L"in.txt", L"NUL", L"nul", L"NUL"}, 0,
       "the lines for NUL, nul and NUL were discarded"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.said);
    const ToolResult result = Run(c.arguments);
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_NE(result.err.find(c.said), std::string::npos) << result.err;
  }
  ::CloseHandle(held);
}

// Windows opens a device for CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9 whatever their
// extension or folder: no input or output may be one (but NUL, which discards what it is
// given). A name ending in a backslash, or on a drive that does not exist, is named as such.
TEST_F(Tool, DeviceNamesAndPathsAreNamed) {
  WriteFile(folder_ / "in.txt", std::string(kSflh) + "\r\n");
  const struct {
    std::vector<std::wstring> arguments;
    DWORD status;
    const char* said;
  } cases[] = {
      {{L"sflh-to-senh", L"in.txt", L"aux.txt"}, 1, "aux.txt: is the Windows device AUX"},
      {{L"sflh-to-senh", L"nul.txt", L"out.txt"}, 1, "nul.txt: is the Windows device NUL"},
      {{L"sflh-to-senh", L"in.txt", L"sub\\Con.csv"}, 1, "is the Windows device CON"},
      {{L"sflh-to-senh", L"in.txt", L"com3"}, 1, "is the Windows device COM3 (a serial port)"},
      {{L"sflh-to-senh", L"in.txt", L"nul.txt"}, 0, "the lines for nul.txt were discarded"},
      {{L"sflh-to-senh", L"in.txt", L"outdir\\\\"}, 1, "ends in \\, so it names a folder"},
      // Quoted as a user quotes a folder, "outdir\": the quote stays in the name.
      {{L"sflh-to-senh", L"in.txt", L"outdir\\"}, 1, "ends in a double quote"},
      {{L"sflh-to-senh", L"in.txt", L"q:b.txt"}, 1, "names the drive q:, which does not exist"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.said);
    const ToolResult result = Run(c.arguments);
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_NE(result.err.find(c.said), std::string::npos) << result.err;
  }
  EXPECT_FALSE(fs::exists(folder_ / "out.txt"));
}

// Ctrl+C stops the job after the point it computes: status 130, and every output holds the
// same number of complete lines. A second Ctrl+C ends the tool at once, with 130 too, even
// while it waits for input. (Wine sends no Ctrl+Break, which the tool takes like Ctrl+C.)
TEST_F(Tool, CtrlCLeavesCompleteLines) {
  std::string lines;
  for (int i = 0; i < 2000; ++i) {
    lines += "P" + std::to_string(i) + ",466591.820,4258474.289,593.998\r\n";
  }
  for (const int presses : {1, 2}) {
    SCOPED_TRACE(std::to_string(presses) + " Ctrl+C");
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) fs::remove(folder_ / name);
    // The tool and this test share a console of their own, which Ctrl+C is sent to.
    ::FreeConsole();
    ASSERT_TRUE(::AllocConsole());
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ASSERT_TRUE(::CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16));
    ::SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
    const PROCESS_INFORMATION process =
        Start({L"--dn", Grid(L"dN_2km_V1-0.grd"), L"--de", Grid(L"dE_2km_V1-0.grd"),
               L"senh-to-htrs07", L"-", L"a.txt", L"b.txt", L"c.txt"},
              readEnd);
    ::CloseHandle(readEnd);
    const auto feed = [&] {
      DWORD written = 0;
      return ::WriteFile(writeEnd, lines.data(), static_cast<DWORD>(lines.size()), &written,
                         nullptr) != 0;
    };
    // Lines until the job has written some, then Ctrl+C (which this test ignores).
    for (int round = 0; round < 200 && ReadFile(folder_ / "c.txt").empty(); ++round) {
      ASSERT_TRUE(feed());
      ::Sleep(50);
    }
    ::SetConsoleCtrlHandler(nullptr, TRUE);
    for (int press = 0; press < presses; ++press) {
      ASSERT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
      ::Sleep(500);
    }
    // After one Ctrl+C the job reads on and stops at its next point; after two the tool has
    // ended while waiting for more.
    if (presses == 1) {
      for (int round = 0; round < 20 && feed(); ++round) {
      }
    }
    const DWORD ended = ::WaitForSingleObject(process.hProcess, 20000);
    ::CloseHandle(writeEnd);
    const ToolResult result = Wait(process);
    ::SetConsoleCtrlHandler(nullptr, FALSE);
    ::FreeConsole();

    EXPECT_EQ(ended, WAIT_OBJECT_0);
    EXPECT_EQ(result.status, 130u) << result.err;
    if (presses == 2) continue;
    EXPECT_NE(result.err.find("stopped by Ctrl+C"), std::string::npos) << result.err;
    std::size_t count = 0;
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
      const std::string out = ReadFile(folder_ / name);
      ASSERT_GE(out.size(), 2u) << name;
      EXPECT_EQ(out.substr(out.size() - 2), "\r\n") << name;
      const auto n = static_cast<std::size_t>(std::count(out.begin(), out.end(), '\n'));
      if (count == 0) count = n;
      EXPECT_EQ(n, count) << name;
    }
  }
}

// --threads defaults to every processor: the runtime tells their number on Windows too.
TEST(Threads, TheDefaultIsTheProcessorCount) {
  EXPECT_EQ(std::thread::hardware_concurrency(), ::GetActiveProcessorCount(ALL_PROCESSOR_GROUPS));
}

}  // namespace
}  // namespace vortan::windows
