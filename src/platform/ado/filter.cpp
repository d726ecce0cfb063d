#include "platform/ado/filter.h"

#include <cctype>
#include <charconv>

namespace vt::ado {
namespace {

enum class Tok { End, Name, Text, Number, Date, Op, LParen, RParen };

struct Token {
  Tok kind = Tok::End;
  std::string text;  // name, literal text, operator
};

[[noreturn]] void Bad(std::string_view why, std::string_view expr) {
  throw AdoError(ErrorKind::Syntax, "The filter expression \"" + std::string(expr) +
                                        "\" is not valid: " + std::string(why));
}

class Lexer {
 public:
  explicit Lexer(std::string_view s) : s_(s) {}

  Token Next() {
    while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
    if (i_ >= s_.size()) return {};
    char c = s_[i_];
    if (c == '(') return ++i_, Token{Tok::LParen, "("};
    if (c == ')') return ++i_, Token{Tok::RParen, ")"};
    if (c == '\'' || c == '"') return Quoted(c);
    if (c == '[') {
      size_t end = s_.find(']', i_);
      if (end == std::string_view::npos) Bad("a bracketed name is not closed", s_);
      Token t{Tok::Name, std::string(s_.substr(i_ + 1, end - i_ - 1))};
      i_ = end + 1;
      return t;
    }
    if (c == '#') {
      size_t end = s_.find('#', i_ + 1);
      if (end == std::string_view::npos) Bad("a date is not closed", s_);
      Token t{Tok::Date, std::string(s_.substr(i_ + 1, end - i_ - 1))};
      i_ = end + 1;
      return t;
    }
    if (c == '<' || c == '>' || c == '=' || c == '!') {
      std::string op(1, c);
      ++i_;
      if (i_ < s_.size() && (s_[i_] == '=' || (c == '<' && s_[i_] == '>'))) op += s_[i_++];
      if (op == "!") Bad("unknown operator", s_);
      if (op == "!=") op = "<>";
      return {Tok::Op, op};
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '.') {
      size_t start = i_++;
      while (i_ < s_.size() && (std::isdigit(static_cast<unsigned char>(s_[i_])) || s_[i_] == '.' ||
                                s_[i_] == 'e' || s_[i_] == 'E'))
        ++i_;
      return {Tok::Number, std::string(s_.substr(start, i_ - start))};
    }
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      size_t start = i_;
      while (i_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[i_])) || s_[i_] == '_'))
        ++i_;
      return {Tok::Name, std::string(s_.substr(start, i_ - start))};
    }
    Bad(std::string("unexpected character '") + c + "'", s_);
  }

 private:
  Token Quoted(char q) {
    std::string out;
    ++i_;
    while (i_ < s_.size()) {
      if (s_[i_] == q) {
        if (i_ + 1 < s_.size() && s_[i_ + 1] == q) {
          out += q;
          i_ += 2;
          continue;
        }
        ++i_;
        return {Tok::Text, out};
      }
      out += s_[i_++];
    }
    Bad("a text value is not closed", s_);
  }

  std::string_view s_;
  size_t i_ = 0;
};

bool Is(const Token& t, const char* word) {
  return t.kind == Tok::Name && SameName(t.text, word);
}

class Parser {
 public:
  Parser(std::string_view expr, const std::vector<FieldDef>& fields)
      : expr_(expr), lex_(expr), fields_(fields) {
    cur_ = lex_.Next();
  }

  SqlCondition Run() {
    if (cur_.kind == Tok::End) return {};
    Expr();
    if (cur_.kind != Tok::End) Bad("unexpected text after the condition", expr_);
    return std::move(out_);
  }

 private:
  void Advance() { cur_ = lex_.Next(); }

  void Expr() {
    Term();
    while (Is(cur_, "AND") || Is(cur_, "OR")) {
      out_.sql += Is(cur_, "AND") ? " AND " : " OR ";
      Advance();
      Term();
    }
  }

  void Term() {
    if (Is(cur_, "NOT")) {
      Advance();
      out_.sql += "NOT ";
      Term();
      return;
    }
    if (cur_.kind == Tok::LParen) {
      Advance();
      out_.sql += "(";
      Expr();
      if (cur_.kind != Tok::RParen) Bad("a parenthesis is not closed", expr_);
      Advance();
      out_.sql += ")";
      return;
    }
    if (cur_.kind != Tok::Name) Bad("a field name is expected", expr_);
    const FieldDef* field = nullptr;
    for (const auto& f : fields_)
      if (SameName(f.name, cur_.text)) field = &f;
    if (!field) Bad("unknown field '" + cur_.text + "'", expr_);
    Advance();
    std::string column = "[" + field->name + "]";
    if (Is(cur_, "IS")) {
      Advance();
      bool negate = false;
      if (Is(cur_, "NOT")) negate = true, Advance();
      if (!Is(cur_, "NULL")) Bad("NULL is expected after IS", expr_);
      Advance();
      out_.sql += column + (negate ? " IS NOT NULL" : " IS NULL");
      return;
    }
    std::string op;
    if (Is(cur_, "NOT")) {
      Advance();
      if (!Is(cur_, "LIKE")) Bad("LIKE is expected after NOT", expr_);
      op = "NOT LIKE";
    } else if (Is(cur_, "LIKE")) {
      op = "LIKE";
    } else if (cur_.kind == Tok::Op) {
      op = cur_.text;
    } else {
      Bad("an operator is expected after '" + field->name + "'", expr_);
    }
    Advance();
    Variant value = Value(*field);
    if (op == "LIKE" || op == "NOT LIKE") {
      std::string pattern = value.AsString();
      for (auto& c : pattern)
        if (c == '*') c = '%';
      value = Variant(pattern);
    }
    if (value.IsNull()) {
      // Comparing with NULL matches nothing, as in SQL.
      out_.sql += "(" + column + " " + op + " NULL)";
      return;
    }
    out_.sql += column + " " + op + " ?";
    out_.params.push_back(std::move(value));
  }

  Variant Value(const FieldDef& field) {
    Token t = cur_;
    Advance();
    switch (t.kind) {
      case Tok::Text:
        return Variant(t.text);
      case Tok::Number: {
        int64_t i = 0;
        auto [p, ec] = std::from_chars(t.text.data(), t.text.data() + t.text.size(), i);
        if (ec == std::errc() && p == t.text.data() + t.text.size()) return Variant(i);
        double d = 0;
        auto [p2, ec2] = std::from_chars(t.text.data(), t.text.data() + t.text.size(), d);
        if (ec2 == std::errc() && p2 == t.text.data() + t.text.size()) return Variant(d);
        Bad("'" + t.text + "' is not a number", expr_);
      }
      case Tok::Date: {
        auto d = DateTime::Parse(t.text);
        if (!d) Bad("'" + t.text + "' is not a date", expr_);
        return Variant(*d);
      }
      case Tok::Name:
        if (Is(t, "NULL")) return Variant();
        if (Is(t, "TRUE")) return Variant(int64_t{1});
        if (Is(t, "FALSE")) return Variant(int64_t{0});
        break;
      default:
        break;
    }
    (void)field;
    Bad("a value is expected", expr_);
  }

  std::string_view expr_;
  Lexer lex_;
  const std::vector<FieldDef>& fields_;
  Token cur_;
  SqlCondition out_;
};

}  // namespace

SqlCondition TranslateFilter(std::string_view expression, const std::vector<FieldDef>& fields) {
  return Parser(expression, fields).Run();
}

}  // namespace vt::ado
