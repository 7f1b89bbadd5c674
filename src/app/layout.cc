#include "app/layout.h"

#include <cstdlib>

namespace app::layout {

const Control& control(Role role) {
  for (std::span<const Control> table : {controls(), linux_controls()}) {
    for (const Control& c : table) {
      if (c.role == role) return c;
    }
  }
  std::abort();  // every role is in the table
}

}  // namespace app::layout
