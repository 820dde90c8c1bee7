// Throughput of the text engine's hot paths:
//   read_decode_utf8  readLine over a 100 MB UTF-8 file (read, split into lines, decode)
//   replace_plain     replaceAll over a 10 MB text with 100,000 occurrences
// Prints one "name value unit" line per figure. Each figure is the best of a few runs.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "engine/text.h"
#include "engine/text_file.h"
#include "tests/support/scratch_folder.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Lines of mostly ASCII words with some Latin-1, Cyrillic and emoji characters, CR LF ends.
std::string makeUtf8Sample(size_t targetBytes) {
  static const char* const words[] = {"the", "quick", "brown", "fox", "jumps", "over",
                                      "lazy", "dog", "caf\xC3\xA9", "\xD0\x94\xD0\xBE\xD0\xBC",
                                      "na\xC3\xAFve", "\xF0\x9F\x98\x80", "<p>", "</p>", "href=\"x\""};
  std::mt19937 random(1);
  std::string out;
  out.reserve(targetBytes + 256);
  while (out.size() < targetBytes) {
    const size_t wordsInLine = 4 + random() % 20;
    for (size_t i = 0; i < wordsInLine; ++i) {
      out += words[random() % (sizeof words / sizeof words[0])];
      out += ' ';
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace

int main() {
  testing_support::ScratchFolder folder;
  if (!folder.make("text_engine_bench")) {
    std::perror("cannot make a temporary folder");
    return 1;
  }
  const std::string path = (folder.path() / "sample.txt").string();

  // Read and decode.
  const std::string sample = makeUtf8Sample(100u * 1000 * 1000);
  {
    std::ofstream out(path, std::ios::binary);
    out << "\xEF\xBB\xBF" << sample;
  }
  double best = 1e9;
  size_t lines = 0, units = 0;
  for (int round = 0; round < 3; ++round) {
    const auto start = Clock::now();
    auto file = openForReading(path);
    if (!file) {
      std::fprintf(stderr, "cannot open %s\n", path.c_str());
      return 1;
    }
    const TextFormat format = detectFormat(*file);
    Text line;
    lines = units = 0;
    while (readLine(*file, format, line)) {
      ++lines;
      units += line.size();
    }
    closeFile(*file);
    best = std::min(best, secondsSince(start));
  }
  std::printf("read_decode_utf8 %.0f MB/s\n", sample.size() / 1e6 / best);
  std::fprintf(stderr, "(%zu lines, %zu code units)\n", lines, units);
  folder.remove();

  // Plain replacement: 10 MB of UTF-16 text (5 million code units) with 100,000 occurrences
  // spread evenly.
  const size_t textUnits = 5u * 1000 * 1000;
  const size_t occurrences = 100000;
  const Text find = u"needle";
  Text text;
  text.reserve(textUnits);
  const Text filler = textFromUtf8(makeUtf8Sample(textUnits / occurrences * 4));
  for (size_t i = 0; i < occurrences; ++i) {
    text.append(filler, 0, textUnits / occurrences - find.size());
    text += find;
  }
  best = 1e9;
  size_t resultSize = 0;
  for (int round = 0; round < 5; ++round) {
    const auto start = Clock::now();
    const Text result = replaceAll(text, find, u"pin");
    best = std::min(best, secondsSince(start));
    resultSize = result.size();
  }
  const size_t expected = text.size() - occurrences * (find.size() - 3);
  if (resultSize != expected) {
    std::fprintf(stderr, "replaceAll gave %zu units, expected %zu\n", resultSize, expected);
    return 1;
  }
  std::printf("replace_plain %.0f MB/s\n", text.size() * 2 / 1e6 / best);
  return 0;
}
