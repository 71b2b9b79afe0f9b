// The editors' and players' formats written from the tool's results.
#ifndef SHOTSCENE_EXPORTS_EXPORT_FORMATS_H_
#define SHOTSCENE_EXPORTS_EXPORT_FORMATS_H_

#include <string>

#include "exports/result_files.h"

namespace shotscene {

// "cut", "dissolve" or "wipe" for a transition type; empty for any other value.
const char* transitionName(int type);

// Text safe inside HTML or XML text and attribute values.
std::string markupEscaped(const std::string& text);

// Seconds as "HH:MM:SS<sep>mmm", minutes and hours carried (hours may exceed 99).
std::string clockTime(double seconds, char separator);

// Frames from 0 as non-drop-frame "HH:MM:SS:FF" at a whole rate.
std::string frameTimecode(long long frame, int rate);

// The whole rate an EDL or XML counts frames at: the rate rounded (29.97 -> 30).
int nominalRate(double fps);

// One field quoted as RFC 4180 wants when it holds a comma, quote or line end.
std::string csvField(const std::string& text);

std::string exportCsv(const ExportResults& r);
std::string exportJson(const ExportResults& r);
std::string exportEdl(const ExportResults& r);
std::string exportOtio(const ExportResults& r);
std::string exportFcpXml(const ExportResults& r);
std::string exportCuts(const ExportResults& r);
// WebVTT of the shots (scenes = false) or of the scenes.
std::string exportVtt(const ExportResults& r, bool scenes);

}  // namespace shotscene

#endif  // SHOTSCENE_EXPORTS_EXPORT_FORMATS_H_
