#include "single_point/boxes.h"

namespace vortan {

std::string BoxMap::Text(const std::string& name) const {
  const auto it = texts.find(name);
  return it == texts.end() ? std::string() : it->second;
}

void BoxMap::SetText(const std::string& name, const std::string& text) { texts[name] = text; }

void BoxMap::SetEnabled(const std::string& name, bool on) { enabled[name] = on; }

bool BoxMap::Enabled(const std::string& name) const {
  const auto it = enabled.find(name);
  return it == enabled.end() || it->second;
}

}  // namespace vortan
