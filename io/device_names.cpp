#include <cctype>
#include <string>
#include <string_view>

#include "io/files.h"

namespace vortan {
namespace {

struct Device {
  std::string_view name;
  std::string_view what;
  std::string_view greek;
};
constexpr Device kDevices[] = {
    {"CON", "the console", "η κονσόλα"},
    {"PRN", "the printer", "ο εκτυπωτής"},
    {"AUX", "the auxiliary port", "η βοηθητική θύρα"},
    {"NUL", "the null device, which discards what it is given",
     "η κενή συσκευή, που πετά ό,τι δέχεται"},
};

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

}  // namespace

std::string ReservedDeviceNameOf(const std::string& path) {
  // The last component of the path, up to its first dot: Windows takes "aux.txt", "Aux.tar.gz"
  // and "folder\\con" as the device, and drops blanks before the dot ("AUX .txt").
  const std::size_t slash = path.find_last_of("/\\:");
  std::string_view name(path);
  if (slash != std::string::npos) name.remove_prefix(slash + 1);
  name = name.substr(0, name.find('.'));
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  const std::string upper = Upper(name);
  for (const Device& device : kDevices) {
    if (upper == device.name) return upper;
  }
  // COM1 to COM9 and LPT1 to LPT9 (and the digits 0 and the superscripts ¹ ² ³ that newer
  // systems reserve too).
  if (upper.size() >= 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0)) {
    const std::string_view digit = std::string_view(upper).substr(3);
    if (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') return upper;
    if (digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3") return upper;
  }
  return "";
}

std::string ReservedDeviceName(const std::string& path) {
#if defined(_WIN32)
  return ReservedDeviceNameOf(path);
#else
  (void)path;
  return "";
#endif
}

bool ColonInNameOf(const std::string& path) {
  std::string_view rest(path);
  // "\\?\C:\..." and "\\.\C:\...": the drive follows the prefix.
  if (rest.size() >= 4 && (rest[0] == '\\' || rest[0] == '/') &&
      (rest[1] == '\\' || rest[1] == '/') && (rest[2] == '?' || rest[2] == '.') &&
      (rest[3] == '\\' || rest[3] == '/')) {
    rest.remove_prefix(4);
  }
  if (rest.size() >= 2 && rest[1] == ':' && std::isalpha(static_cast<unsigned char>(rest[0]))) {
    rest.remove_prefix(2);
  }
  return rest.find(':') != std::string_view::npos;
}

std::string ReservedDeviceReason(const std::string& device) {
  std::string what;
  for (const Device& d : kDevices) {
    if (device == d.name) what = std::string(d.what);
  }
  if (what.empty()) {
    what = device.compare(0, 3, "COM") == 0 ? "a serial port" : "a printer port";
  }
  return "is the Windows device " + device + " (" + what +
         "), not a file, whatever its extension or folder; choose another name";
}

std::string ReservedDeviceReasonGreek(const std::string& device) {
  std::string what;
  for (const Device& d : kDevices) {
    if (device == d.name) what = std::string(d.greek);
  }
  if (what.empty()) {
    what = device.compare(0, 3, "COM") == 0 ? "σειριακή θύρα" : "θύρα εκτυπωτή";
  }
  return "είναι η συσκευή " + device + " των Windows (" + what +
         "), όχι αρχείο, όποια κι αν είναι η κατάληξη ή ο φάκελος· διαλέξτε άλλο όνομα";
}

}  // namespace vortan
