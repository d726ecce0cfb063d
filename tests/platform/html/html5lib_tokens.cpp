// Tokenizer files of html5lib: every case in every initial state it names.
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "html5lib_suite.h"
#include "platform/html/tokenizer.h"

namespace vt::html::testing {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// Undoes the extra escaping of "doubleEscaped" cases; false when the text holds a lone
// surrogate, which UTF-8 text cannot.
bool Unescape(const std::string& in, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '\\' && i + 5 < in.size() + 0 && in[i + 1] == 'u') {
      unsigned cp = std::stoul(in.substr(i + 2, 4), nullptr, 16);
      i += 5;
      if (cp >= 0xD800 && cp <= 0xDBFF && i + 6 < in.size() + 1 && in[i + 1] == '\\' &&
          in[i + 2] == 'u') {
        unsigned lo = std::stoul(in.substr(i + 3, 4), nullptr, 16);
        if (lo >= 0xDC00 && lo <= 0xDFFF) {
          cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
          i += 6;
        }
      }
      if (cp >= 0xD800 && cp <= 0xDFFF) return false;
      if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
      } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
      } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
      } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
      }
    } else {
      out.push_back(in[i]);
    }
  }
  return true;
}

bool UnescapeJson(json& value) {
  if (value.is_string()) {
    std::string out;
    if (!Unescape(value.get<std::string>(), out)) return false;
    value = out;
    return true;
  }
  if (value.is_array() || value.is_object()) {
    for (auto& v : value) {
      if (!UnescapeJson(v)) return false;
    }
  }
  return true;
}

// Joins neighbouring character tokens, as the files list them.
json MergeCharacters(const json& tokens) {
  json out = json::array();
  for (const auto& t : tokens) {
    if (t[0] == "Character" && !out.empty() && out.back()[0] == "Character") {
      out.back()[1] = out.back()[1].get<std::string>() + t[1].get<std::string>();
    } else {
      out.push_back(t);
    }
  }
  return out;
}

Tokenizer::State StateNamed(const std::string& name) {
  using S = Tokenizer::State;
  if (name == "PLAINTEXT state") return S::kPlaintext;
  if (name == "RCDATA state") return S::kRcdata;
  if (name == "RAWTEXT state") return S::kRawtext;
  if (name == "Script data state") return S::kScriptData;
  if (name == "CDATA section state") return S::kCdataSection;
  return S::kData;
}

json Tokenize(const std::string& input, Tokenizer::State state, const std::string& last_tag) {
  std::string storage;
  std::string_view text = NormaliseInput(input, storage);
  Tokenizer tokenizer(text);
  tokenizer.SetState(state);
  if (!last_tag.empty()) tokenizer.SetLastStartTag(last_tag);
  json out = json::array();
  for (;;) {
    Token& t = tokenizer.Next();
    switch (t.kind) {
      case Token::Kind::kEof:
        return MergeCharacters(out);
      case Token::Kind::kCharacters:
        out.push_back({"Character", t.data});
        break;
      case Token::Kind::kComment:
        out.push_back({"Comment", t.data});
        break;
      case Token::Kind::kEndTag:
        out.push_back({"EndTag", t.name});
        break;
      case Token::Kind::kStartTag: {
        json attrs = json::object();
        for (const auto& a : t.attrs) attrs[a.name] = a.value;
        json tag = {"StartTag", t.name, attrs};
        if (t.self_closing) tag.push_back(true);
        out.push_back(tag);
        break;
      }
      case Token::Kind::kDoctype:
        out.push_back({"DOCTYPE", t.has_name ? json(t.name) : json(nullptr),
                       t.has_public ? json(t.public_id) : json(nullptr),
                       t.has_system ? json(t.system_id) : json(nullptr), !t.force_quirks});
        break;
    }
  }
}

}  // namespace

SuiteResult RunTokenizerSuite(const std::string& dir) {
  SuiteResult result;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(fs::path(dir) / "tokenizer")) {
    if (entry.path().extension() == ".test") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const auto& path : files) {
    std::ifstream in(path, std::ios::binary);
    json doc = json::parse(in);
    const char* key = doc.contains("tests") ? "tests" : "xmlViolationTests";
    if (!doc.contains(key)) continue;
    for (auto test : doc[key]) {
      std::vector<std::string> states = {"Data state"};
      if (test.contains("initialStates"))
        states = test["initialStates"].get<std::vector<std::string>>();
      std::string last_tag = test.value("lastStartTag", "");
      bool representable = true;
      if (test.value("doubleEscaped", false)) {
        representable = UnescapeJson(test["input"]) && UnescapeJson(test["output"]);
      }
      for (const auto& state : states) {
        ++result.total;
        std::string name = path.filename().string() + ": " +
                           test["description"].get<std::string>() + " [" + state + "]";
        if (!representable) {
          result.failures.push_back(name +
                                    ": the input holds a lone surrogate, which text "
                                    "decoded to UTF-8 never does");
          continue;
        }
        json expected = MergeCharacters(test["output"]);
        json got = Tokenize(test["input"].get<std::string>(), StateNamed(state), last_tag);
        if (got == expected) {
          ++result.passed;
        } else {
          std::string why = std::string(key) == "xmlViolationTests"
                                ? "\n  (this file describes a tokenizer that coerces its "
                                  "output to XML, which a browser's HTML parser does not)"
                                : "";
          result.failures.push_back(name + why + "\n  input: " + test["input"].dump() +
                                    "\n  expected: " + expected.dump() + "\n  got: " + got.dump());
        }
      }
    }
  }
  return result;
}

}  // namespace vt::html::testing
