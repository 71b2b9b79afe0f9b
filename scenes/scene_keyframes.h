// Choosing five representative keyframes of a scene, and saving scene keyframes.
#ifndef SHOTSCENE_SCENES_SCENE_KEYFRAMES_H_
#define SHOTSCENE_SCENES_SCENE_KEYFRAMES_H_

#include <array>
#include <opencv2/core.hpp>
#include <string>

#include "common/keyframe_images.h"
#include "scenes/scene_types.h"
#include "video/frame_reader.h"

namespace shotscene {

// For each of the five clusters, the first row nearest its centre (row 0 for
// a cluster without members). `data` and `centres` are CV_32F, 144 columns.
std::array<int, 5> pickClusterRepresentatives(const cv::Mat& labels, const cv::Mat& data,
                                              const cv::Mat& centres);

// Five signature entries among first .. end - 1 (at least five), the members
// nearest the centres of a k-means clustering, in ascending order. Draws from
// OpenCV's own generator, which is never reseeded.
std::array<int, 5> selectSceneKeyframes(const SignatureTable& signatures, int first, int end);

// Reads `frame` as the 0-based position (so the image shows the frame after
// the numbered one) and writes FOLDER/sceneS_J.jpg. A frame that does
// not decode writes nothing; a failed write is counted.
void saveSceneKeyframe(FrameReader& reader, int frame, const std::string& folder, int scene,
                       int keyframe, ImageWrites& writes);

}  // namespace shotscene

#endif  // SHOTSCENE_SCENES_SCENE_KEYFRAMES_H_
