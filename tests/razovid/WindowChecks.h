#ifndef TUNEWRIGHT_TESTS_PLAYER_WINDOWCHECKS_H
#define TUNEWRIGHT_TESTS_PLAYER_WINDOWCHECKS_H

// What every frame of the player must show, checked against the theme's background picture.
#include "Picture.h"

namespace PlayerTest {

// The title: one line of white text, centred on x 150, its top on y 100, and (when
// p_ExpectedWidth is not negative) as wide as the song's path set in the small font.
// Returns the text's box.
Box CheckTitle(const Picture& p_Shot, const Picture& p_Background, double p_ExpectedWidth);
// The slider at a value whose pixel position is p_KnobCentre: the knob spans 20 pixels
// centred there over the band y 235 to 285, the fill runs from x 45 up to the knob, and
// nothing of the slider lies right of the knob.
void CheckSlider(const Picture& p_Shot, const Picture& p_Background, double p_KnobCentre);
// The background everywhere outside the title's box and the slider's rectangle.
void CheckBackground(const Picture& p_Shot, const Picture& p_Background, const Box& p_Title);

}  // namespace PlayerTest

#endif
