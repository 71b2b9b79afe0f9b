// Number and timecode texts shared by the keyframe names, the lists and the subtitle files.
#ifndef SHOTSCENE_COMMON_FORMATTING_H_
#define SHOTSCENE_COMMON_FORMATTING_H_

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace shotscene {

// Decimal text of a non-negative int; a negative value that is not a multiple
// of 10 at some step gives "Trouble converting number to string.".
std::string numberToString(int value);

// "HH:MM:SS.mmm" of a 1-based frame number at the given rate, computed in
// single precision. Seconds are not carried into minutes, so 59.9996 prints as
// 60.000; hours of 100 or more print in full.
std::string formatTimecode(int frame, float frameRate);

// SubRip entries for spans of 1-based frames: entry k is timed from the first
// to the last frame and labelled with the names WORD1 .. WORDk of its group of
// five ("Shot1 Shot2 "), each followed by a blank.
std::string subtitleEntries(const std::vector<std::pair<int, int>>& spans, const char* word,
                            float frameRate);

// A whole number held as floating point (a frame number read back from a
// file, say) as an int, cut toward zero; values beyond int's range saturate
// and NaN gives 0, where a plain conversion would be undefined.
int saturatingInt(double value);

// Reads a list file line by line for a strict check: `take` gets the whole
// numbers of each line (at most 12 digits each; null when a field is anything
// else) and returns nullptr to go on or a message that rejects the line. False
// with "Can not read file PATH" or "PATH:LINE: MESSAGE" in `error` on failure.
bool readWholeNumberLines(
    const std::string& path,
    const std::function<const char*(const std::vector<long long>* numbers)>& take,
    std::string& error);

}  // namespace shotscene

#endif  // SHOTSCENE_COMMON_FORMATTING_H_
