#include <string>
#include <string_view>

#include "io/problem.h"

namespace vortan {

std::string FaultNameGreek(std::string_view fault) {
  struct Name {
    std::string_view english, greek;
  };
  static constexpr Name kNames[] = {
      {"overflow", "υπερχείλιση"},
      {"division by zero", "διαίρεση με το μηδέν"},
      {"invalid operation", "μη έγκυρη πράξη"},
      {"infinite coordinate", "άπειρη συντεταγμένη"},
      {"latitude beyond ±90°", "γεωγραφικό πλάτος πέρα από ±90°"},
      {"longitude beyond ±180°", "γεωγραφικό μήκος πέρα από ±180°"},
  };
  for (const Name& name : kNames) {
    if (fault == name.english) return std::string(name.greek);
  }
  return std::string(fault);
}

}  // namespace vortan
