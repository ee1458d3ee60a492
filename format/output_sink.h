#pragma once
// Where every stage sends its console text. The driver hands a sink to each
// stage so that no stage writes to stdout itself and each can run in-process.

#include <cstddef>
#include <string>

namespace brevox {

class OutputSink {
 public:
  virtual ~OutputSink() = default;

  // Writes `size` bytes as they are; text may hold any byte, 0xB1 included.
  virtual void Write(const char* data, std::size_t size) = 0;

  // Formats like printf and writes the result.
  void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // Writes a string as it is.
  void Put(const std::string& text) { Write(text.data(), text.size()); }
};

// Sends everything to the process's standard output.
class StdoutSink : public OutputSink {
 public:
  void Write(const char* data, std::size_t size) override;
};

// Collects everything in memory, for tests and fuzzing.
class StringSink : public OutputSink {
 public:
  void Write(const char* data, std::size_t size) override { text_.append(data, size); }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

}  // namespace brevox
