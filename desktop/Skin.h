#pragma once

namespace desktop {

// The three looks of "Skin": 1 "2002 Style", 2 "2003 Style", 3 "2005 Style".
// A missing or unknown value gives 2, which is written back. Returns the
// look applied.
int ApplySkin();
// A skin command: the look changes at once and is kept.
int SetSkin(int skin);

}  // namespace desktop
