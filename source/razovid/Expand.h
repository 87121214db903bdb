#ifndef TUNEWRIGHT_EXPAND_H
#define TUNEWRIGHT_EXPAND_H

// A new zero-terminated wide copy of p_String, decoded as UTF-8. Bytes that do not form valid
// UTF-8 become one wide character each, by plain conversion of the (signed) char. Release the
// buffer with delete[].
wchar_t* Expand(char* p_String);

#endif
