#include "source_line.h"

#include <cctype>

#include "asm_error.h"
#include "expr.h"

namespace spcasm {
namespace {

std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b])) != 0) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])) != 0) --e;
  return s.substr(b, e - b);
}

std::string StripComment(const std::string& line) {
  bool in_string = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') in_string = !in_string;
    else if (c == '\'' && !in_string && i + 2 < line.size() && line[i + 2] == '\'') i += 2;
    else if (c == ';' && !in_string) return line.substr(0, i);
  }
  if (in_string) throw AsmError("unterminated string");
  return line;
}

std::size_t SymbolEnd(const std::string& s, std::size_t pos) {
  if (pos >= s.size() || !IsSymbolStart(s[pos])) return pos;
  ++pos;
  while (pos < s.size() && IsSymbolChar(s[pos])) ++pos;
  return pos;
}

std::vector<std::string> SplitFields(const std::string& text) {
  std::vector<std::string> fields;
  if (Trim(text).empty()) return fields;
  int depth = 0;
  bool in_string = false;
  std::string cur;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') in_string = !in_string;
    if (!in_string) {
      if (c == '\'' && i + 2 < text.size() && text[i + 2] == '\'') {
        cur += text.substr(i, 3);
        i += 2;
        continue;
      }
      if (c == '(' || c == '[') ++depth;
      if (c == ')' || c == ']') --depth;
      if (c == ',' && depth == 0) {
        fields.push_back(Trim(cur));
        cur.clear();
        continue;
      }
    }
    cur += c;
  }
  fields.push_back(Trim(cur));
  for (const std::string& f : fields) {
    if (f.empty()) throw AsmError("empty operand");
  }
  return fields;
}

}  // namespace

SourceLine ParseSourceLine(const std::string& raw) {
  SourceLine out;
  std::string rest = Trim(StripComment(raw));
  std::size_t end = SymbolEnd(rest, 0);
  if (end > 0 && end < rest.size() && rest[end] == ':') {
    out.label = rest.substr(0, end);
    rest = Trim(rest.substr(end + 1));
    end = SymbolEnd(rest, 0);
  }
  if (end > 0) {
    const std::string after = Trim(rest.substr(end));
    if (!after.empty() && after[0] == '=' && (after.size() == 1 || after[1] != '=')) {
      out.constant = rest.substr(0, end);
      out.fields.push_back(Trim(after.substr(1)));
      if (out.fields.back().empty()) throw AsmError("missing value after '='");
      return out;
    }
  }
  if (rest.empty()) return out;
  std::size_t word_end = 0;
  while (word_end < rest.size() && std::isspace(static_cast<unsigned char>(rest[word_end])) == 0) ++word_end;
  out.word = rest.substr(0, word_end);
  out.fields = SplitFields(rest.substr(word_end));
  return out;
}

}  // namespace spcasm
