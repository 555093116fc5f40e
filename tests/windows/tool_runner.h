// The command-line tool run as a Windows user runs it: a child process with a wide command line
// in a folder of the test's, standard input from a file or a pipe, standard output and error
// into files whose bytes the test reads.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/folder_test.h"

namespace vortan::windows {

namespace fs = std::filesystem;

// The folder of this test program, where the build puts vortan-transform.exe too.
inline fs::path ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return fs::path(path).parent_path();
}

// The reference data, as an absolute Windows path (the build names it by its POSIX path, which
// Wine finds on the drive of the current folder only).
inline fs::path TestData() { return fs::absolute(fs::path(VORTAN_TEST_DATA)); }

// Files as bytes (the Win32 functions of the same names are ::ReadFile and ::WriteFile).
using support::ReadFile;
using support::WriteFile;

struct ToolResult {
  DWORD status = 0;
  std::string out;  // standard output, as written
  std::string err;  // standard error, as written
};

// A fresh folder per test under the temporary folder; the tool runs in it.
class ToolFolder : public support::FolderTest {
 protected:
  // Starts the tool with the arguments (each quoted), standard input from `input` (NUL when
  // empty); returns the process and fills the handles of its standard output and error files.
  PROCESS_INFORMATION Start(const std::vector<std::wstring>& arguments, HANDLE input,
                            DWORD flags = 0) {
    std::wstring line = L"\"" + (ProgramFolder() / L"vortan-transform.exe").wstring() + L"\"";
    for (const std::wstring& a : arguments) line += L" \"" + a + L"\"";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const auto create = [&](const wchar_t* name, DWORD access, DWORD disposition) {
      return ::CreateFileW((folder_ / name).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    const HANDLE nul = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inherit, OPEN_EXISTING, 0, nullptr);
    startup.hStdInput = input != nullptr ? input : nul;
    startup.hStdOutput = create(L"stdout.bin", GENERIC_WRITE, CREATE_ALWAYS);
    startup.hStdError = create(L"stderr.bin", GENERIC_WRITE, CREATE_ALWAYS);
    PROCESS_INFORMATION process{};
    const BOOL started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags,
                                          nullptr, folder_.c_str(), &startup, &process);
    ::CloseHandle(nul);
    ::CloseHandle(startup.hStdOutput);
    ::CloseHandle(startup.hStdError);
    EXPECT_TRUE(started) << "vortan-transform.exe did not start: " << ::GetLastError();
    return process;
  }

  ToolResult Wait(const PROCESS_INFORMATION& process) {
    ToolResult result;
    EXPECT_EQ(::WaitForSingleObject(process.hProcess, 120000), WAIT_OBJECT_0);
    ::GetExitCodeProcess(process.hProcess, &result.status);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    result.out = ReadFile(folder_ / "stdout.bin");
    result.err = ReadFile(folder_ / "stderr.bin");
    return result;
  }

  // Runs the tool to its end; standard input from the file `input` in the folder, if named.
  ToolResult Run(const std::vector<std::wstring>& arguments, const std::wstring& input = L"") {
    HANDLE in = nullptr;
    if (!input.empty()) {
      SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
      in = ::CreateFileW((folder_ / input).c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    const PROCESS_INFORMATION process = Start(arguments, in);
    if (in != nullptr) ::CloseHandle(in);
    return Wait(process);
  }
};

}  // namespace vortan::windows
