// The single-point window, Form1: the boxes, buttons and groups of one region's converter,
// with each button connected to its handler. The handlers hand the work to the GUI-free
// conversions and the program texts.
#pragma once

#include <QHash>
#include <QString>
#include <QWidget>

#include "app/platform.h"
#include "app/programs.h"
#include "single_point/boxes.h"
#include "single_point/conversions.h"
#include "single_point/form.h"
#include "transform/region_profile.h"

class QGridLayout;
class QScrollArea;

namespace vortan {

// The boxes of the window for the conversions: texts and enabled state by object name. A
// control the window lacks (a grid box on Kastelorizo) reads as empty and ignores writes.
class WidgetBoxes : public Boxes {
 public:
  explicit WidgetBoxes(const QHash<QString, QWidget*>& controls) : controls_(controls) {}
  std::string Text(const std::string& name) const override;
  void SetText(const std::string& name, const std::string& text) override;
  void SetEnabled(const std::string& name, bool enabled) override;

 private:
  const QHash<QString, QWidget*>& controls_;
};

class SinglePointWindow : public QWidget {
 public:
  // Builds the form of the profile's region and runs Form_Load, which shows the start-up
  // notice through the platform.
  SinglePointWindow(const RegionProfile& profile, ProgramKind program, Platform& platform,
                    QWidget* parent = nullptr);

  // The control of that object name, or null when this window has none.
  QWidget* Widget(const QString& name) const { return controls_.value(name); }
  // The scroll area that holds the form.
  QScrollArea* scrollArea() const { return scrollArea_; }

  // Handlers, named after their control and event.
  void Form_Load();
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  void Command5_Click();

 private:
  void CreateForm();
  // After a refusal: the box at fault gets the focus, its text selected for retyping.
  void FocusAtFault(const Outcome& outcome);
  void CreateControls();
  void ConnectHandlers();
  QWidget* TopArea();
  QWidget* ForwardArea();
  QWidget* BackArea();
  // A group of angle boxes (degrees, minutes, seconds per row) and other boxes beside them.
  void FillResultGroup(const char* group, const char* const (&angles)[2][3],
                       const char* const (&right)[2], const char* below);

  const RegionProfile& profile_;
  const ProgramInfo& info_;
  Platform& platform_;
  std::vector<vortan::Control> form_;
  QHash<QString, QWidget*> controls_;
  QScrollArea* scrollArea_ = nullptr;
  WidgetBoxes boxes_;
  SinglePointConversions conversions_;
};

}  // namespace vortan
