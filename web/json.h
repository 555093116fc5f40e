// A small JSON writer for the answers of the WebAssembly module: objects, arrays, texts (UTF-8
// as it is, quotes, backslashes and control characters escaped), numbers and booleans.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace vortan::web {

class JsonWriter {
 public:
  JsonWriter& BeginObject() { return Open('{'); }
  JsonWriter& EndObject() { return Close('}'); }
  JsonWriter& BeginArray() { return Open('['); }
  JsonWriter& EndArray() { return Close(']'); }

  JsonWriter& Key(std::string_view key) {
    Separate();
    Text(key);
    out_ += ':';
    afterKey_ = true;
    return *this;
  }

  JsonWriter& Value(std::string_view text) {
    Separate();
    Text(text);
    return *this;
  }
  JsonWriter& Value(const char* text) { return Value(std::string_view(text ? text : "")); }
  JsonWriter& Value(const std::string& text) { return Value(std::string_view(text)); }
  JsonWriter& Value(bool value) {
    Separate();
    out_ += value ? "true" : "false";
    return *this;
  }
  JsonWriter& Value(int value) { return Value(static_cast<double>(value)); }
  // Numbers with every digit they need to read back as the same double; NaN and infinities,
  // which JSON lacks, as null.
  JsonWriter& Value(double value) {
    Separate();
    if (!std::isfinite(value)) {
      out_ += "null";
    } else {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%.17g", value);
      out_ += buffer;
    }
    return *this;
  }

  template <typename T>
  JsonWriter& Field(std::string_view key, const T& value) {
    Key(key);
    return Value(value);
  }

  std::string Take() { return std::move(out_); }

 private:
  JsonWriter& Open(char c) {
    Separate();
    out_ += c;
    first_.push_back(true);
    return *this;
  }
  JsonWriter& Close(char c) {
    out_ += c;
    first_.pop_back();
    return *this;
  }
  void Separate() {
    if (afterKey_) {
      afterKey_ = false;
      return;
    }
    if (!first_.empty()) {
      if (!first_.back()) out_ += ',';
      first_.back() = false;
    }
  }
  void Text(std::string_view text) {
    out_ += '"';
    for (char ch : text) {
      const unsigned char c = static_cast<unsigned char>(ch);
      switch (c) {
        case '"': out_ += "\\\""; break;
        case '\\': out_ += "\\\\"; break;
        case '\n': out_ += "\\n"; break;
        case '\r': out_ += "\\r"; break;
        case '\t': out_ += "\\t"; break;
        default:
          if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out_ += escape;
          } else {
            out_ += ch;
          }
      }
    }
    out_ += '"';
  }

  std::string out_;
  std::vector<bool> first_;
  bool afterKey_ = false;
};

}  // namespace vortan::web
