#pragma once

namespace kelvor {

// The windows were designed with Windows faces ("MS Sans Serif", "Arial"), which a Linux
// desktop does not have; its fallback face is wider and cuts captions at their designed
// widths. Each designed face is drawn with Liberation Sans instead, which the program's
// dependencies ship: metric-compatible with Arial and no wider than "MS Sans Serif".
void substituteDesignFaces();

// The face the pages' controls take unless they name one.
inline constexpr char kDesignFace[] = "MS Sans Serif";

} // namespace kelvor
