#pragma once
// The folder of real VGM files by others that the build names (BREVOX_CORPUS_DIR).
// A clone without it still passes: the tests that need it skip, saying why.

#include <string>
#include <vector>

namespace brevox::testing {

// The corpus folder, as configured.
std::string CorpusDir();

// The path of `relative` inside the corpus folder.
std::string CorpusFile(const std::string& relative);

// Every .vgm and .vgz file below the corpus folder, sorted, as paths relative
// to it; empty when the folder is absent.
std::vector<std::string> CorpusFiles();

// Empty when the corpus folder holds VGM files; else the one-line reason to skip.
std::string CorpusMissing();

// The parameters of a test over every corpus file: CorpusFiles(), or a single
// empty name that stands for the whole corpus when it is absent, so that the
// test runs once and skips instead of vanishing.
std::vector<std::string> CorpusParameters();

// A test name made of `relative`'s file name without extension, or "no_corpus" for "".
std::string CorpusTestName(const std::string& relative);

}  // namespace brevox::testing

// Skips the running test when the corpus folder is absent.
#define BREVOX_SKIP_WITHOUT_CORPUS()                                             \
  do {                                                                           \
    const std::string brevox_corpus_missing = ::brevox::testing::CorpusMissing(); \
    if (!brevox_corpus_missing.empty()) GTEST_SKIP() << brevox_corpus_missing;    \
  } while (false)
