#include "io/file_kind.h"

#include <cstring>
#include <string_view>

namespace vortan {
namespace {

bool StartsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

constexpr std::size_t kZipLook = 4096;  // a workbook names its parts in its first entries

}  // namespace

std::size_t NonTextBytesWanted(const char* bytes, std::size_t size) {
  const std::string_view b(bytes, size);
  return StartsWith(b, "PK\x03\x04") ? kZipLook : 16;
}

NonTextKind NonTextKindOf(const char* bytes, std::size_t size) {
  const std::string_view b(bytes, size);
  if (StartsWith(b, "PK\x03\x04") || StartsWith(b, "PK\x05\x06")) {
    if (b.find("xl/") != std::string_view::npos) {
      return {"an Excel workbook", "save the sheet as CSV or text"};
    }
    if (b.find("opendocument.spreadsheet") != std::string_view::npos) {
      return {"a LibreOffice or OpenOffice spreadsheet", "save the sheet as CSV or text"};
    }
    if (b.find("word/") != std::string_view::npos ||
        b.find("opendocument.text") != std::string_view::npos) {
      return {"a word processor document", "save the coordinates as plain text"};
    }
    return {"a zip archive", "take the coordinate file out of the archive first"};
  }
  if (StartsWith(b, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) {
    return {"an Excel 97-2003 workbook or an old Office document",
            "save the sheet as CSV or text"};
  }
  if (StartsWith(b, "%PDF")) {
    return {"a PDF document", "take the coordinates from the program that made it, as text"};
  }
  if (StartsWith(b, "\x7F" "ELF") || StartsWith(b, "MZ")) {
    return {"a program", "choose the coordinate file"};
  }
  if (StartsWith(b, std::string_view("SQLite format 3\0", 16))) {
    return {"a GeoPackage or SQLite database",
            "convert it with convert, which reads GIS datasets, or export the points as text"};
  }
  if (StartsWith(b, "\x1F\x8B")) {
    return {"a gzip-compressed file", "decompress it first"};
  }
  if (StartsWith(b, "\x89PNG") || StartsWith(b, "\xFF\xD8\xFF") || StartsWith(b, "GIF8")) {
    return {"an image", "choose the coordinate file"};
  }
  return {};
}

std::string NonTextReason(const NonTextKind& kind, const char* whatTheFileShouldBe) {
  if (!kind.known()) {
    return std::string("this is not a text file (it holds NUL bytes) and no ") +
           whatTheFileShouldBe + "; choose the " + whatTheFileShouldBe;
  }
  return std::string("this is not a text file (it looks like ") + kind.what + "): " + kind.todo;
}

}  // namespace vortan
