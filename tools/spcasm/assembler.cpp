#include "assembler.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "asm_error.h"
#include "expr.h"
#include "instruction.h"
#include "source_line.h"

namespace spcasm {
namespace {

constexpr int kMaxIncludeDepth = 16;
constexpr std::size_t kMaxErrors = 50;

std::string Lower(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string HexAddress(std::uint32_t addr) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "$%04X", static_cast<unsigned>(addr & 0xFFFF));
  return buf;
}

// Decodes a "quoted" field (no escapes); nullopt when the field is not a string.
std::optional<std::string> StringLiteral(const std::string& field) {
  if (field.size() >= 2 && field.front() == '"' && field.back() == '"') return field.substr(1, field.size() - 2);
  return std::nullopt;
}

class Assembler {
 public:
  Assembler(const FileReader& reader, AssemblyResult& result) : reader_(reader), result_(result) {}

  void Run(const std::string& source, const std::string& file_name) {
    for (pass_ = 1; pass_ <= 2; ++pass_) {
      pc_ = 0;
      lines_run_ = 0;
      scope_.clear();
      RunFile(source, file_name, 0);
      if (!result_.errors.empty()) return;
      if (pass_ == 1) ResolveConstants();
      if (!result_.errors.empty()) return;
    }
    result_.symbols = symbols_;
  }

 private:
  struct Constant {
    std::string expr;
    std::string where;
    std::string scope;  // global label in force where the constant was defined
  };

  void RunFile(const std::string& source, const std::string& file_name, int depth) {
    std::istringstream in(source);
    std::string line;
    std::uint32_t number = 0;
    while (std::getline(in, line)) {
      ++number;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      where_ = file_name + ":" + std::to_string(number);
      const std::size_t index = lines_run_++;
      try {
        RunLine(line, file_name, depth);
      } catch (const AsmError& e) {
        if (result_.errors.size() < kMaxErrors) result_.errors.push_back(where_ + ": error: " + e.what());
        // Keep the first pass's layout so that later lines report only their own errors.
        if (pass_ == 2) pc_ = pc_after_line_[index];
      }
      if (pass_ == 1) {
        if (pc_after_line_.size() <= index) pc_after_line_.resize(index + 1);
        pc_after_line_[index] = pc_;
      }
    }
  }

  std::optional<std::int64_t> Lookup(const std::string& name) const {
    const auto it = symbols_.find(Qualify(name));
    if (it == symbols_.end()) return std::nullopt;
    return it->second;
  }

  std::string Qualify(const std::string& name) const {
    return (!name.empty() && name[0] == '.') ? scope_ + name : name;
  }

  ExprValue Eval(const std::string& text) const {
    const SymbolLookup lookup = [this](const std::string& n) { return Lookup(n); };
    return EvalExpr(text, lookup, pc_);
  }

  // A value needed to lay out the program: must be known in the first pass already.
  std::int64_t EvalLayout(const std::string& text, const char* what) const {
    const ExprValue v = Eval(text);
    if (!v.known) throw AsmError(std::string(what) + " uses '" + v.first_unknown + "', which is not defined above");
    return v.value;
  }

  std::int64_t EvalFinal(const std::string& text) const {
    const ExprValue v = Eval(text);
    if (!v.known && pass_ == 2) throw AsmError("undefined symbol '" + v.first_unknown + "'");
    return v.value;
  }

  void Define(const std::string& raw_name, std::int64_t value) {
    const std::string name = Qualify(raw_name);
    if (pass_ == 1) {
      if (symbols_.count(name) != 0) throw AsmError("'" + name + "' is defined twice");
      symbols_[name] = value;
    } else if (symbols_[name] != value) {
      throw AsmError("internal: '" + name + "' moved between passes");
    }
  }

  void ResolveConstants() {
    // Constants may refer to later labels or constants: evaluate until nothing changes.
    for (bool changed = true; changed;) {
      changed = false;
      for (const auto& [name, c] : constants_) {
        if (symbols_.count(name) != 0) continue;
        scope_ = c.scope;
        const ExprValue v = Eval(c.expr);
        if (v.known) {
          symbols_[name] = v.value;
          changed = true;
        }
      }
    }
    for (const auto& [name, c] : constants_) {
      if (symbols_.count(name) == 0) {
        scope_ = c.scope;
        result_.errors.push_back(c.where + ": error: constant '" + name + "' uses undefined symbol '" +
                                 Eval(c.expr).first_unknown + "'");
      }
    }
  }

  void RunLine(const std::string& line, const std::string& file_name, int depth) {
    const SourceLine sl = ParseSourceLine(line);
    if (!sl.label.empty()) {
      if (sl.label[0] != '.') scope_ = sl.label;
      Define(sl.label, pc_);
    }
    if (!sl.constant.empty()) {
      DefineConstant(sl.constant, sl.fields[0]);
      return;
    }
    if (sl.word.empty()) return;
    if (sl.word[0] == '.') {
      RunDirective(Lower(sl.word), sl.fields, file_name, depth);
      return;
    }
    std::vector<Operand> operands;
    for (const std::string& f : sl.fields) operands.push_back(ParseOperand(f));
    const SymbolLookup lookup = [this](const std::string& n) { return Lookup(n); };
    EncodeContext ctx;
    ctx.lookup = &lookup;
    ctx.pc = pc_;
    ctx.final_pass = pass_ == 2;
    Emit(EncodeInstruction(sl.word, operands, ctx));
  }

  void DefineConstant(const std::string& raw_name, const std::string& expr) {
    const std::string name = Qualify(raw_name);
    if (pass_ == 1) {
      if (symbols_.count(name) != 0 || constants_.count(name) != 0) throw AsmError("'" + name + "' is defined twice");
      constants_[name] = Constant{expr, where_, scope_};
      const ExprValue v = Eval(expr);
      if (v.known) symbols_[name] = v.value;
    } else {
      const ExprValue v = Eval(expr);
      if (!v.known) throw AsmError("undefined symbol '" + v.first_unknown + "'");
      if (v.value != symbols_[name]) throw AsmError("constant '" + name + "' depends on its own position");
    }
  }

  void Need(const std::vector<std::string>& fields, std::size_t min, std::size_t max, const std::string& word) const {
    if (fields.size() < min || fields.size() > max) throw AsmError("wrong number of arguments for " + word);
  }

  void RunDirective(const std::string& word, const std::vector<std::string>& fields, const std::string& file_name,
                    int depth) {
    if (word == ".org") {
      Need(fields, 1, 1, word);
      const std::int64_t addr = EvalLayout(fields[0], ".org address");
      if (addr < 0 || addr > 0xFFFF) throw AsmError(".org address out of range");
      pc_ = addr;
    } else if (word == ".db" || word == ".byte") {
      Need(fields, 1, 1000000, word);
      for (const std::string& f : fields) EmitDataByte(f);
    } else if (word == ".dw" || word == ".word") {
      Need(fields, 1, 1000000, word);
      for (const std::string& f : fields) {
        const std::int64_t v = EvalFinal(f);
        if (pass_ == 2 && (v < -32768 || v > 0xFFFF)) throw AsmError("word value out of range: " + f);
        Emit({static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>((v >> 8) & 0xFF)});
      }
    } else if (word == ".ds" || word == ".fill") {
      Need(fields, 1, 2, word);
      const std::int64_t count = EvalLayout(fields[0], word.c_str());
      if (count < 0 || count > 0x10000) throw AsmError(word + " count out of range");
      EmitFill(static_cast<std::uint32_t>(count), fields.size() == 2 ? fields[1] : "0");
    } else if (word == ".align") {
      Need(fields, 1, 2, word);
      const std::int64_t n = EvalLayout(fields[0], ".align");
      if (n <= 0 || n > 0x10000) throw AsmError(".align needs a positive size");
      EmitFill(static_cast<std::uint32_t>((n - pc_ % n) % n), fields.size() == 2 ? fields[1] : "0");
    } else if (word == ".include") {
      Need(fields, 1, 1, word);
      Include(fields[0], file_name, depth);
    } else if (word == ".assert") {
      Need(fields, 1, 2, word);
      if (pass_ == 2 && EvalFinal(fields[0]) == 0) {
        throw AsmError("assertion failed: " + (fields.size() == 2 ? StringLiteral(fields[1]).value_or(fields[1]) : fields[0]));
      }
    } else {
      throw AsmError("unknown directive '" + word + "'");
    }
  }

  void EmitDataByte(const std::string& field) {
    if (const auto s = StringLiteral(field)) {
      Emit(std::vector<std::uint8_t>(s->begin(), s->end()));
      return;
    }
    const std::int64_t v = EvalFinal(field);
    if (pass_ == 2 && (v < -128 || v > 255)) throw AsmError("byte value out of range: " + field);
    Emit({static_cast<std::uint8_t>(v & 0xFF)});
  }

  void EmitFill(std::uint32_t count, const std::string& value_expr) {
    const std::int64_t v = EvalFinal(value_expr);
    if (pass_ == 2 && (v < -128 || v > 255)) throw AsmError("fill value out of range");
    Emit(std::vector<std::uint8_t>(count, static_cast<std::uint8_t>(v & 0xFF)));
  }

  void Include(const std::string& field, const std::string& file_name, int depth) {
    const auto name = StringLiteral(field);
    if (!name) throw AsmError(".include needs a \"file name\"");
    if (depth >= kMaxIncludeDepth) throw AsmError(".include nested too deeply");
    const std::string path = (!name->empty() && (*name)[0] == '/') ? *name : DirectoryOf(file_name) + *name;
    const auto text = reader_(path);
    if (!text) throw AsmError("cannot read include file '" + path + "'");
    const std::string saved_where = where_;
    RunFile(*text, path, depth + 1);
    where_ = saved_where;
  }

  void Emit(const std::vector<std::uint8_t>& bytes) {
    if (pc_ + static_cast<std::int64_t>(bytes.size()) > 0x10000) throw AsmError("program runs past $FFFF");
    if (pass_ == 2) {
      MemoryImage& img = result_.image;
      for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto addr = static_cast<std::uint32_t>(pc_) + static_cast<std::uint32_t>(i);
        if (img.used[addr]) throw AsmError("overwrites address " + HexAddress(addr) + ", already assembled");
        img.bytes[addr] = bytes[i];
        img.used[addr] = true;
        if (addr + 1 > img.end) img.end = addr + 1;
      }
    }
    pc_ += static_cast<std::int64_t>(bytes.size());
  }

  const FileReader& reader_;
  AssemblyResult& result_;
  std::map<std::string, std::int64_t> symbols_;
  std::map<std::string, Constant> constants_;
  std::string scope_;
  std::string where_;
  std::int64_t pc_ = 0;
  std::size_t lines_run_ = 0;                 // lines started in this pass, included ones too
  std::vector<std::int64_t> pc_after_line_;   // first pass: address after each line
  int pass_ = 1;
};

}  // namespace

AssemblyResult Assemble(const std::string& source, const std::string& file_name, const FileReader& reader) {
  AssemblyResult result;
  Assembler(reader, result).Run(source, file_name);
  return result;
}

std::optional<std::string> ReadFileFromDisk(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace spcasm
