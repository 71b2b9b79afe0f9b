// The HTML contact sheet: a row of shot thumbnails per scene and a timeline.
#ifndef SHOTSCENE_EXPORTS_CONTACT_SHEET_H_
#define SHOTSCENE_EXPORTS_CONTACT_SHEET_H_

#include <string>

#include "exports/result_files.h"
#include "video/video.h"

namespace shotscene {

// A relative file name as a URL path: bytes other than letters, digits and
// "-._~" percent-encoded.
std::string urlEncoded(const std::string& name);

// Writes STEM_report.html and its thumbnails in STEM_report_files/. A shot's
// thumbnail is its middle keyframe image from STEM_Shot_Keyframes/ when that
// exists, else that frame decoded from the video, which is read forward
// once. Above the rows a timeline shows the similarity curve of the
// statistics (when there are any), the boundaries marked by type (from the
// statistics when the list has no type column) and a strip of the shots,
// each linked to its row and back. Returns false after reporting on stderr
// when something could not be written. The page is static: no script and
// nothing from the network.
bool writeContactSheet(const ExportResults& results, const Video& video, const std::string& stem,
                       std::string& pagePath);

}  // namespace shotscene

#endif  // SHOTSCENE_EXPORTS_CONTACT_SHEET_H_
