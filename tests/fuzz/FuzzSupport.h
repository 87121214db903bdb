// What the fuzz targets share: the sanitizer settings, the cap on the note counts a song may
// declare, and the folder holding the instrument samples.
#ifndef TUNEWRIGHT_TESTS_FUZZ_FUZZSUPPORT_H
#define TUNEWRIGHT_TESTS_FUZZ_FUZZSUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace FuzzTest {

// A track of an input that could be read whole holds at most (max_len - 114) / 8 events, about
// a thousand for the CI's 8 KiB inputs. Larger counts only declare notes the input lacks: the
// loader would size its columns for tens of thousands of them before finding the input short,
// which costs half a second an input and finds nothing new. The cap keeps every input that
// can load whole as it is.
constexpr std::uint16_t kMaxDeclaredEvents = 1024;

// p_Data with every track's declared event count cut to kMaxDeclaredEvents.
std::vector<std::uint8_t> CapDeclaredEvents(const std::uint8_t* p_Data, std::size_t p_Size);

// The folder with melody/ and percussion/: TUNEWRIGHT_DATA_DIR in the environment, else the
// one this build synthesised its samples into.
std::string DataDir();

}  // namespace FuzzTest

#endif
