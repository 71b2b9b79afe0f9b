#include "common/formatting.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

namespace shotscene {

std::string numberToString(int value) {
  std::string text;
  while (true) {
    const int digit = value % 10;
    if (digit < 0 || digit > 9) return "Trouble converting number to string.";
    text.insert(text.begin(), static_cast<char>('0' + digit));
    value -= digit;
    if (value == 0) return text;
    value /= 10;
  }
}

std::string formatTimecode(int frame, float frameRate) {
  const float f = static_cast<float>(frame);
  const int hours = saturatingInt(std::floor(f / frameRate / 3600.0f));
  const int minutes =
      saturatingInt(std::floor(f / frameRate / 60.0f - static_cast<float>(int64_t{hours} * 60)));
  // In 64 bits, so that the hours of an absurdly low frame rate cannot overflow.
  const float seconds =
      f / frameRate - static_cast<float>((int64_t{minutes} + int64_t{hours} * 60) * 60);

  char buffer[96];
  int used = 0;
  used += hours < 10 ? std::snprintf(buffer + used, sizeof buffer - used, "%d%d:", 0, hours)
                     : std::snprintf(buffer + used, sizeof buffer - used, "%d:", hours);
  used += minutes < 10 ? std::snprintf(buffer + used, sizeof buffer - used, "%d%d:", 0, minutes)
                       : std::snprintf(buffer + used, sizeof buffer - used, "%d:", minutes);
  if (seconds < 10.0f) {
    std::snprintf(buffer + used, sizeof buffer - used, "%d%.3f", 0, static_cast<double>(seconds));
  } else {
    std::snprintf(buffer + used, sizeof buffer - used, "%.3f", static_cast<double>(seconds));
  }
  return buffer;
}

std::string subtitleEntries(const std::vector<std::pair<int, int>>& spans, const char* word,
                            float frameRate) {
  std::string text, label;
  for (size_t k = 1; k <= spans.size(); ++k) {
    if ((k - 1) % 5 == 0) label.clear();
    label += word + std::to_string(k) + " ";
    text += std::to_string(k) + "\n" + formatTimecode(spans[k - 1].first, frameRate) + " --> " +
            formatTimecode(spans[k - 1].second, frameRate) + "\n" + label + "\n\n";
  }
  return text;
}

int saturatingInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<int>::max();
  if (value <= -2147483648.0) return std::numeric_limits<int>::min();
  return static_cast<int>(value);
}

bool readWholeNumberLines(
    const std::string& path,
    const std::function<const char*(const std::vector<long long>* numbers)>& take,
    std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "Can not read file " + path;
    return false;
  }
  std::vector<long long> values;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    values.clear();
    bool whole = true;
    std::istringstream words(line);
    for (std::string word; whole && words >> word;) {
      whole = word.size() <= 12 && word.find_first_not_of("0123456789") == std::string::npos;
      if (whole) values.push_back(std::stoll(word));
    }
    if (const char* problem = take(whole ? &values : nullptr)) {
      error = path + ":" + std::to_string(number) + ": " + problem;
      return false;
    }
  }
  return true;
}

}  // namespace shotscene
