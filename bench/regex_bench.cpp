// Regular-expression replace throughput: every match of 'old(\w+)' in a generated 10 MB text
// holding 100,000 of them is replaced by 'new' + group 1, the way a replace run rebuilds a
// file's text. Prints one "name value unit" line; exits with 1 when the result is wrong.
// With the argument --interpreter the pattern runs without JIT.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/regex.h"

namespace {

constexpr std::size_t textSize = 10'000'000;
constexpr std::size_t occurrences = 100'000;

Text generatedText() {
  static const char16_t* const filler[] = {u"lorem", u"ipsum", u"dolor", u"sit",  u"amet",
                                           u"consectetur", u"adipiscing", u"elit", u"sed",
                                           u"do", u"eiusmod", u"tempor"};
  const std::size_t fillerCount = sizeof filler / sizeof filler[0];
  const std::size_t spacing = textSize / occurrences;
  Text text;
  text.reserve(textSize + 64);
  std::size_t n = 0;
  for (std::size_t i = 0; i < occurrences; ++i) {
    const std::size_t end = (i + 1) * spacing;
    text += u"old";
    text += filler[i % fillerCount];
    text += u' ';
    while (text.size() < end) {
      text += filler[n++ % fillerCount];
      text += u' ';
    }
    text.resize(end - 1);
    text += u'\n';
  }
  return text;
}

// Replaces every match in text; returns the number of replacements.
std::size_t replaceAllMatches(Matcher& matcher, const Text& text, Text& out) {
  out.clear();
  out.reserve(text.size());
  std::size_t count = 0;
  std::size_t copied = 0;
  if (!matcher.begin(text)) return 0;
  while (matcher.next()) {
    std::size_t start = matcher.start();
    out.append(text, copied, start - copied);
    out += u"new";
    out += matcher.group(1);
    copied = start + matcher.length();
    ++count;
  }
  out.append(text, copied, Text::npos);
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  const bool interpreter = argc > 1 && std::strcmp(argv[1], "--interpreter") == 0;
  const Text pattern = interpreter ? u"(*NO_JIT)old(\\w+)" : u"old(\\w+)";
  Matcher matcher(compilePattern(pattern, 0).pattern);
  if (!matcher.hasPattern()) {
    std::fprintf(stderr, "pattern did not compile\n");
    return 1;
  }
  const Text text = generatedText();
  Text out;
  double best = 0;
  for (int round = 0; round < 5; ++round) {
    auto t0 = std::chrono::steady_clock::now();
    std::size_t count = replaceAllMatches(matcher, text, out);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (count != occurrences || matcher.failed() || out.size() != text.size() ||
        out.compare(0, 3, u"new") != 0) {
      std::fprintf(stderr, "wrong result: %zu replacements\n", count);
      return 1;
    }
    double rate = static_cast<double>(text.size()) / 1e6 / seconds;
    if (rate > best) best = rate;
  }
  std::printf("%s %.0f MB/s\n",
              interpreter ? "regex_replace_interpreter_throughput" : "regex_replace_throughput",
              best);
  return 0;
}
