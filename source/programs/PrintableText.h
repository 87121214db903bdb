#ifndef TUNEWRIGHT_PRINTABLETEXT_H
#define TUNEWRIGHT_PRINTABLETEXT_H

// Text from outside (a file name, an argument) made safe to show, and its bytes checked as UTF-8.
#include <cstddef>
#include <string>

// p_Text with everything a terminal would act on written as \xHH instead: control characters
// (escape sequences begin with one), those of the 0x80-0x9f range, and bytes that are not UTF-8.
// A name in a message then can neither move the cursor nor recolour or retitle the terminal.
std::string PrintableText(const std::string& p_Text);

// The length of the well-formed UTF-8 sequence that begins at p_Text[p_At]; 0 when none does
// (a stray byte, an overlong form, a surrogate, a sequence cut short).
std::size_t Utf8SequenceLength(const std::string& p_Text, std::size_t p_At);

#endif
