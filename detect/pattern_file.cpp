#include "detect/pattern_file.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

// Reads values from a character source the way a decimal long is scanned: skip white space, an
// optional sign, then at least one digit up to the first non-digit. next() returns the next
// character or EOF; peek() the one after without taking it.
template <typename Source>
ArPatternFileStatus parseValues(Source& source, std::vector<int>* values, int* failedValue) {
  const auto isSpace = [](int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; };
  const auto isDigit = [](int c) { return c >= '0' && c <= '9'; };
  values->assign(kArPatternFileValues, 0);
  for (int i = 0; i < kArPatternFileValues; i++) {
    *failedValue = i + 1;
    int c = source.peek();
    while (isSpace(c)) {
      source.next();
      c = source.peek();
    }
    if (c == EOF) return ArPatternFileStatus::TooFewValues;
    bool negative = false;
    if (c == '+' || c == '-') {
      negative = c == '-';
      source.next();
      c = source.peek();
    }
    if (!isDigit(c)) return ArPatternFileStatus::NotAnInteger;
    long magnitude = 0;
    bool tooLarge = false;
    while (isDigit(c)) {
      magnitude = magnitude * 10 + (c - '0');
      if (magnitude > kArPatternValueLimit) {
        tooLarge = true;
        magnitude = kArPatternValueLimit + 1;  // keeps the sum bounded over any number of digits
      }
      source.next();
      c = source.peek();
    }
    if (tooLarge) return ArPatternFileStatus::OutOfRange;
    (*values)[i] = static_cast<int>(negative ? -magnitude : magnitude);
  }
  return ArPatternFileStatus::Ok;
}

struct FileSource {
  FILE* file;
  int peek() {
    const int c = std::getc(file);
    if (c != EOF) std::ungetc(c, file);
    return c;
  }
  void next() { std::getc(file); }
};

struct TextSource {
  const std::string& text;
  size_t pos = 0;
  int peek() const { return pos < text.size() ? static_cast<unsigned char>(text[pos]) : EOF; }
  void next() { pos++; }
};

ArPatternFileStatus fail(ArPatternFileStatus status, const std::string& name, int value, std::vector<int>* values,
                         std::string* error) {
  values->clear();
  if (!error) return status;
  const std::string file = "\"" + name + "\": ";
  const std::string n = std::to_string(value);
  switch (status) {
    case ArPatternFileStatus::Ok: break;
    case ArPatternFileStatus::CannotOpen: *error = file + "cannot open: " + std::strerror(errno); break;
    case ArPatternFileStatus::NotAFile: *error = file + "is a folder, not a pattern file"; break;
    case ArPatternFileStatus::TooFewValues:
      *error = file + "only " + std::to_string(value - 1) + " of " + std::to_string(kArPatternFileValues) +
               " pattern values";
      break;
    case ArPatternFileStatus::NotAnInteger: *error = file + "value " + n + " is not an integer"; break;
    case ArPatternFileStatus::OutOfRange:
      *error = file + "value " + n + " is beyond +-" + std::to_string(kArPatternValueLimit);
      break;
  }
  return status;
}

// Block `block` of a pattern inverted and mean-removed (mean truncated toward zero); returns its
// Euclidean norm.
double centredBlock(const std::vector<int>& values, int block, long out[kArPatternBlockValues]) {
  long sum = 0;
  for (int i = 0; i < kArPatternBlockValues; i++) sum += out[i] = 255 - values[block * kArPatternBlockValues + i];
  const long mean = sum / kArPatternBlockValues;
  double squares = 0;
  for (int i = 0; i < kArPatternBlockValues; i++) {
    out[i] -= mean;
    squares += static_cast<double>(out[i]) * out[i];
  }
  return std::sqrt(squares);
}

}  // namespace

ArPatternFileStatus arReadPatternValues(const std::string& path, std::vector<int>* values, std::string* error) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored))
    return fail(ArPatternFileStatus::NotAFile, path, 0, values, error);
  FILE* file = std::fopen(path.c_str(), "r");
  if (!file) return fail(ArPatternFileStatus::CannotOpen, path, 0, values, error);
  FileSource source{file};
  int failedValue = 0;
  const ArPatternFileStatus status = parseValues(source, values, &failedValue);
  std::fclose(file);
  return status == ArPatternFileStatus::Ok ? status : fail(status, path, failedValue, values, error);
}

ArPatternFileStatus arParsePatternValues(const std::string& text, const std::string& name, std::vector<int>* values,
                                         std::string* error) {
  TextSource source{text};
  int failedValue = 0;
  const ArPatternFileStatus status = parseValues(source, values, &failedValue);
  return status == ArPatternFileStatus::Ok ? status : fail(status, name, failedValue, values, error);
}

bool arWritePatternValues(const std::string& path, const std::vector<int>& values, std::string* error) {
  if (values.size() != static_cast<size_t>(kArPatternFileValues)) {
    if (error) *error = "\"" + path + "\": a pattern needs " + std::to_string(kArPatternFileValues) + " values";
    return false;
  }
  const std::string temporary = path + ".part";
  FILE* file = std::fopen(temporary.c_str(), "w");
  if (!file) {
    if (error) *error = "\"" + path + "\": cannot create: " + std::strerror(errno);
    return false;
  }
  bool ok = true;
  for (int o = 0; o < 4 && ok; ++o) {
    for (int c = 0; c < 3 && ok; ++c) {
      for (int r = 0; r < kArPatternGrid && ok; ++r) {
        for (int s = 0; s < kArPatternGrid && ok; ++s)
          ok = std::fprintf(file, s == 0 ? "%3d" : " %3d", values[arPatternValueIndex(o, c, r, s)]) > 0;
        ok = ok && std::fputc('\n', file) != EOF;
      }
    }
    ok = ok && std::fputc('\n', file) != EOF;
  }
  const int savedErrno = errno;
  ok = (std::fclose(file) == 0) && ok;
  if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
    if (error) *error = "\"" + path + "\": write failed: " + std::strerror(ok ? errno : savedErrno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

double arPatternCorrelation(const std::vector<int>& x, int a, const std::vector<int>& y, int b) {
  long p[kArPatternBlockValues];
  long q[kArPatternBlockValues];
  const double np = centredBlock(x, a, p);
  const double nq = centredBlock(y, b, q);
  if (np == 0.0 || nq == 0.0) return 0.0;
  double dot = 0;
  for (int i = 0; i < kArPatternBlockValues; i++) dot += static_cast<double>(p[i]) * q[i];
  return dot / np / nq;
}

double arPatternSimilarity(const std::vector<int>& x, const std::vector<int>& y, int* block) {
  double best = -1.0;
  for (int b = 0; b < 4; b++) {
    const double c = arPatternCorrelation(x, 0, y, b);
    if (c > best) {
      best = c;
      if (block) *block = b;
    }
  }
  return best;
}
