// The number formatter on arbitrary doubles with every pattern of the system. Checked: at most
// kMaxFormattedLength characters; only digits, one "." (where the pattern has it) and a leading
// "-" exactly for negative values; the decimals and the least integer digits of the pattern; and
// the text reads back to the value within half a unit of its last decimal.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "core/number_format.h"
#include "fuzz/memory_file.h"

using vortan::fuzz::Broken;

namespace {

constexpr vortan::NumberPattern kPatterns[] = {
    vortan::patterns::kMetres,         vortan::patterns::kPacked,
    vortan::patterns::kSeconds,        vortan::patterns::kScale,
    vortan::patterns::kCentimetres,    vortan::patterns::kDegrees,
    vortan::patterns::kCount,          vortan::patterns::kGridStep,
    vortan::patterns::kGridCoordinate, vortan::patterns::kHeight,
    vortan::patterns::kScaleDifference,
};

void Check(double value, vortan::NumberPattern p) {
  char out[vortan::kMaxFormattedLength + 16];
  std::memset(out, '#', sizeof out);
  const std::size_t n = vortan::FormatNumber(value, p, out);
  const std::string text(out, n);
  auto what = [&] {
    return "FormatNumber(" + std::to_string(value) + ", " + std::to_string(p.integerDigits) +
           "/" + std::to_string(p.decimals) + ") = \"" + text + "\"";
  };
  if (n > vortan::kMaxFormattedLength || out[vortan::kMaxFormattedLength] != '#') {
    Broken(what() + ": longer than the bound");
  }
  if (!std::isfinite(value)) {
    const char* expected = std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf";
    if (text != expected) Broken(what());
    return;
  }
  std::string_view body = text;
  const bool minus = !body.empty() && body.front() == '-';
  if (minus != (value < 0)) Broken(what() + ": wrong sign");
  if (minus) body.remove_prefix(1);
  const std::size_t point = body.find('.');
  if (p.point != (point != std::string_view::npos)) Broken(what() + ": decimal point");
  const std::size_t integerDigits = point == std::string_view::npos ? body.size() : point;
  const std::size_t decimals = point == std::string_view::npos ? 0 : body.size() - point - 1;
  if (decimals != static_cast<std::size_t>(p.decimals)) Broken(what() + ": decimals");
  if (integerDigits < static_cast<std::size_t>(p.integerDigits)) Broken(what() + ": integer part");
  if (integerDigits + decimals == 0) Broken(what() + ": no digit");
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (i != point && (body[i] < '0' || body[i] > '9')) Broken(what() + ": stray character");
  }
  // Read back with the C library (the process runs in the "C" locale, "." as decimal point).
  const double back = std::strtod(text.c_str(), nullptr);
  const double half = 0.5 * std::pow(10.0, -p.decimals);
  if (!(std::fabs(back - value) <= half * (1 + 1e-9) + std::fabs(value) * 1e-15)) {
    Broken(what() + ": reads back as " + std::to_string(back));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (std::size_t at = 0; at + sizeof(double) <= size; at += sizeof(double)) {
    double value;
    std::memcpy(&value, data + at, sizeof value);
    for (const vortan::NumberPattern& p : kPatterns) Check(value, p);
    // Also binary fractions of moderate size, where ties of the rounding stand.
    std::int32_t bits;
    std::memcpy(&bits, data + at, sizeof bits);
    for (const vortan::NumberPattern& p : kPatterns) Check(bits / 1024.0, p);
  }
  return 0;
}
