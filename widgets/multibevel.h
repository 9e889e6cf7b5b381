#pragma once

#include "widgets/custommultibevel.h"

namespace kelvor {

// The frame as placed on forms; all of its behaviour is its base's.
class TMultiBevel : public TCustomMultiBevel {
public:
  using TCustomMultiBevel::TCustomMultiBevel;
};

} // namespace kelvor
