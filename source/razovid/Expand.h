#ifndef TUNEWRIGHT_EXPAND_H
#define TUNEWRIGHT_EXPAND_H

// A new zero-terminated wide copy of p_String, decoded as UTF-8. A byte that is not part of valid
// UTF-8 becomes the character of its Latin-1 meaning (U+0080 to U+00FF): never a negative or
// out-of-range value, which the font library would index its glyph tables with; a name saved in
// Latin-1 still reads right, and two names that differ in such a byte still look different.
// Release the buffer with delete[].
wchar_t* Expand(char* p_String);

#endif
