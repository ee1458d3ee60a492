#include "support/corpus.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace brevox::testing {

std::string CorpusDir() { return BREVOX_CORPUS_DIR; }

std::string CorpusFile(const std::string& relative) { return CorpusDir() + "/" + relative; }

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> files;
  std::error_code error;
  if (!std::filesystem::is_directory(CorpusDir(), error)) return files;
  const std::filesystem::path root(CorpusDir());
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const std::string extension = entry.path().extension().string();
    if (extension == ".vgm" || extension == ".vgz") {
      files.push_back(std::filesystem::relative(entry.path(), root).generic_string());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string CorpusMissing() {
  std::error_code error;
  if (!std::filesystem::is_directory(CorpusDir(), error)) {
    return "no corpus folder at " + CorpusDir() + " (set BREVOX_CORPUS_DIR)";
  }
  return CorpusFiles().empty() ? "no .vgm or .vgz file in " + CorpusDir() : "";
}

std::vector<std::string> CorpusParameters() {
  std::vector<std::string> files = CorpusFiles();
  if (files.empty()) files.emplace_back();
  return files;
}

std::string CorpusTestName(const std::string& relative) {
  if (relative.empty()) return "no_corpus";
  std::string name = std::filesystem::path(relative).stem().string();
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

}  // namespace brevox::testing
