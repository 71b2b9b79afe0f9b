#include "scenes/scene_keyframes.h"

#include <algorithm>

#include "common/naming.h"

namespace shotscene {

namespace {

constexpr int kClusters = 5;

}  // namespace

std::array<int, 5> pickClusterRepresentatives(const cv::Mat& labels, const cv::Mat& data,
                                              const cv::Mat& centres) {
  std::vector<double> distance(static_cast<size_t>(data.rows));
  for (int r = 0; r < data.rows; ++r) {
    distance[r] = cv::norm(data.row(r), centres.row(labels.at<int>(r)), cv::NORM_L2);
  }
  std::array<int, 5> choice{};
  for (int c = 0; c < kClusters; ++c) {
    double best = 100000.0;
    for (int r = 0; r < data.rows; ++r) {
      if (labels.at<int>(r) == c && distance[r] < best) {
        best = distance[r];
        choice[c] = r;
      }
    }
  }
  return choice;
}

std::array<int, 5> selectSceneKeyframes(const SignatureTable& signatures, int first, int end) {
  cv::Mat data(end - first, kSignatureLength, CV_32F);
  for (int r = 0; r < data.rows; ++r) {
    std::copy(signatures[first + r].begin(), signatures[first + r].end(), data.ptr<float>(r));
  }
  cv::Mat labels, centres;
  cv::kmeans(data, kClusters, labels,
             cv::TermCriteria(cv::TermCriteria::COUNT | cv::TermCriteria::EPS, 10, 1.0), 3,
             cv::KMEANS_PP_CENTERS, centres);
  std::array<int, 5> slots = pickClusterRepresentatives(labels, data, centres);
  std::sort(slots.begin(), slots.end());
  for (int& s : slots) s += first;
  return slots;
}

void saveSceneKeyframe(FrameReader& reader, int frame, const std::string& folder, int scene,
                       int keyframe, ImageWrites& writes) {
  cv::Mat image;
  if (!readFrameAt(reader, frame, image)) return;
  writeKeyframeImage(sceneKeyframeImage(folder, scene, keyframe), image, writes);
}

}  // namespace shotscene
