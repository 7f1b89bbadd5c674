#include "app/layout.h"

#include <cstdlib>

namespace app::layout {

const Control& control(Role role) {
  for (const Control& c : kControls) {
    if (c.role == role) return c;
  }
  std::abort();  // every role is in the table
}

}  // namespace app::layout
