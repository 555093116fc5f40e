#include "programs/win32/win32_platform.h"

#include <commdlg.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "io/wide_text_win32.h"

namespace vortan {
namespace {

// A dialog filter as the windows give it, "Text files *.txt(*.txt)|*.txt", in the form of the
// common dialogs: description NUL patterns NUL, ending in a second NUL.
std::wstring DialogFilter(const std::string& filter) {
  std::wstring wide = WideText(filter);
  for (wchar_t& c : wide) {
    if (c == L'|') c = L'\0';
  }
  wide.push_back(L'\0');
  wide.push_back(L'\0');
  return wide;
}

// The path's name without its folder, for the preset name of a dialog.
std::wstring FileNameOf(const std::string& path) {
  std::wstring wide = WideText(path);
  const std::size_t slash = wide.find_last_of(L"\\/");
  return slash == std::wstring::npos ? wide : wide.substr(slash + 1);
}

}  // namespace

void Win32Platform::ShowMessage(const std::string& title, const std::string& text,
                                MessageIcon icon, MessageButtons buttons) {
  UINT style = MB_APPLMODAL | MB_SETFOREGROUND;
  switch (icon) {
    case MessageIcon::kInformation:
      style |= MB_ICONINFORMATION;
      break;
    case MessageIcon::kWarning:
      style |= MB_ICONWARNING;
      break;
    case MessageIcon::kCritical:
      style |= MB_ICONERROR;
      break;
  }
  style |= buttons == MessageButtons::kOkCancel ? MB_OKCANCEL : MB_OK;
  // The texts break their lines with CR LF already, or with LF alone: the box wants CR LF.
  std::wstring wide;
  for (wchar_t c : WideText(text)) {
    if (c == L'\n' && (wide.empty() || wide.back() != L'\r')) wide.push_back(L'\r');
    wide.push_back(c);
  }
  ::MessageBoxW(owner_, wide.c_str(), WideText(title).c_str(), style);
}

std::optional<std::string> Win32Platform::FileDialog(const FileDialogRequest& request,
                                                     bool save) {
  const std::wstring filter = DialogFilter(request.filter);
  const std::wstring title = WideText(request.title);
  const std::wstring folder = WideText(request.folder);
  for (;;) {
    std::vector<wchar_t> name(32768, L'\0');
    const std::wstring preset = FileNameOf(request.presetName);
    preset.copy(name.data(), std::min(preset.size(), name.size() - 1));
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner_;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_LONGNAMES;
    dialog.Flags |= save ? OFN_PATHMUSTEXIST : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    const BOOL chosen = save ? ::GetSaveFileNameW(&dialog) : ::GetOpenFileNameW(&dialog);
    if (!chosen) return std::nullopt;
    const std::string path = Utf8Text(name.data());
    if (save && request.refuse) {
      if (std::optional<Refusal> refusal = request.refuse(path)) {
        ShowMessage(refusal->title, refusal->text, MessageIcon::kWarning, MessageButtons::kOk);
        continue;  // the dialog again, for another choice
      }
    }
    if (save && ::GetFileAttributesW(WideText(path).c_str()) != INVALID_FILE_ATTRIBUTES) {
      const std::wstring question = L"Το αρχείο " + WideText(path) +
                                    L" υπάρχει ήδη. Να αντικατασταθεί;\r\n\r\n" +
                                    WideText(path) + L" already exists. Replace it?";
      if (::MessageBoxW(owner_, question.c_str(), title.c_str(),
                        MB_YESNO | MB_ICONWARNING | MB_APPLMODAL) != IDYES) {
        continue;
      }
    }
    return path;
  }
}

std::optional<std::string> Win32Platform::OpenFileDialog(const FileDialogRequest& request) {
  return FileDialog(request, false);
}

std::optional<std::string> Win32Platform::SaveFileDialog(const FileDialogRequest& request) {
  return FileDialog(request, true);
}

void Win32Platform::OpenDocument(const std::string& path, std::function<void()> cannotOpen) {
  // ShellExecute answers a value above 32 when the system took the document.
  const HINSTANCE result =
      ::ShellExecuteW(owner_, L"open", WideText(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(result) <= 32 && cannotOpen) cannotOpen();
}

std::string Win32Platform::ProgramFolder() {
  std::vector<wchar_t> path(32768, L'\0');
  const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  std::wstring wide(path.data(), n);
  const std::size_t slash = wide.find_last_of(L"\\/");
  return Utf8Text(slash == std::wstring::npos ? std::wstring(L".") : wide.substr(0, slash));
}

}  // namespace vortan
