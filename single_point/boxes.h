// The boxes and buttons of the single-point window as the conversions see them: texts read and
// written by control name, and controls enabled or disabled. The window implements it on its
// widgets; a test passes a plain map.
#pragma once

#include <map>
#include <string>

namespace vortan {

class Boxes {
 public:
  virtual ~Boxes() = default;

  // The text a box holds now.
  virtual std::string Text(const std::string& name) const = 0;
  virtual void SetText(const std::string& name, const std::string& text) = 0;

  // Enables or disables a box or a button.
  virtual void SetEnabled(const std::string& name, bool enabled) = 0;
};

// Boxes held in plain maps; a name not yet set reads as an empty text and as enabled.
class BoxMap : public Boxes {
 public:
  std::string Text(const std::string& name) const override;
  void SetText(const std::string& name, const std::string& text) override;
  void SetEnabled(const std::string& name, bool enabled) override;
  bool Enabled(const std::string& name) const;

  std::map<std::string, std::string> texts;
  std::map<std::string, bool> enabled;
};

}  // namespace vortan
