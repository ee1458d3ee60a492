#include "spc/output_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <vector>

namespace brevox {
namespace {

// As many links as the kernel follows before it reports a loop.
constexpr int kMaxLinks = 40;

mode_t NewFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// Where the link at `link_path` points, relative targets taken from the link's
// directory; empty when the link cannot be read.
std::string LinkTarget(const std::string& link_path) {
  std::vector<char> buffer(PATH_MAX + 1);
  const ssize_t length = readlink(link_path.c_str(), buffer.data(), buffer.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return std::string();
  std::string target(buffer.data(), static_cast<std::size_t>(length));
  const std::size_t slash = link_path.rfind('/');
  if (target.front() == '/' || slash == std::string::npos) return target;
  return link_path.substr(0, slash + 1) + target;
}

}  // namespace

OutputTarget ResolveOutputPath(const std::string& output_path) {
  OutputTarget output;
  output.path = output_path;
  for (int links = 0; !output.path.empty(); ++links) {
    struct stat status {};
    if (lstat(output.path.c_str(), &status) != 0) {
      // Nothing there (or nothing that can be looked at): a new file, whose
      // creation reports what is wrong.
      output.kind = OutputTarget::Kind::kReplace;
      output.mode = NewFileMode();
      return output;
    }
    if (S_ISLNK(status.st_mode)) {
      if (links == kMaxLinks) break;
      output.path = LinkTarget(output.path);
      continue;
    }
    if (S_ISDIR(status.st_mode)) break;
    output.kind = S_ISREG(status.st_mode) ? OutputTarget::Kind::kReplace : OutputTarget::Kind::kDevice;
    output.mode = status.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO);
    return output;
  }
  output.kind = OutputTarget::Kind::kUnusable;
  return output;
}

}  // namespace brevox
