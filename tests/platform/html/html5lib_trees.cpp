// Tree-construction files of html5lib: reading them and dumping trees in their format.
#include <gumbo.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "html5lib_suite.h"
#include "platform/dom/internal.h"
#include "platform/html/parser.h"

namespace vt::html::testing {

namespace fs = std::filesystem;

std::string SuiteDir() {
  fs::path dir = fs::path(VT_SOURCE_DIR) / ".." / "shared" / "html5lib-tests";
  return fs::is_directory(dir) ? dir.lexically_normal().string() : std::string();
}

std::vector<TreeCase> LoadTreeCases(const std::string& dir) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(fs::path(dir) / "tree-construction")) {
    if (entry.path().extension() == ".dat") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<TreeCase> cases;
  for (const auto& path : files) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::size_t i = 0;
    while (i < lines.size()) {
      if (lines[i] != "#data") {
        ++i;
        continue;
      }
      TreeCase c;
      c.file = path.filename().string();
      bool script_on = false;
      std::string section = "#data";
      std::vector<std::string> data, document;
      for (++i; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line == "#data" && section == "#document" &&
            (document.empty() || document.back().empty())) {
          break;
        }
        if (section != "#document" && !line.empty() && line[0] == '#' &&
            (line == "#errors" || line == "#new-errors" || line == "#document-fragment" ||
             line == "#script-off" || line == "#script-on" || line == "#document")) {
          section = line;
          if (line == "#script-on") script_on = true;
          continue;
        }
        if (section == "#data") data.push_back(line);
        if (section == "#document-fragment") c.context = line;
        if (section == "#document") document.push_back(line);
      }
      while (!document.empty() && document.back().empty()) document.pop_back();
      for (std::size_t k = 0; k < data.size(); ++k) c.data += (k ? "\n" : "") + data[k];
      for (const auto& l : document) c.expected += l + "\n";
      if (!script_on) cases.push_back(std::move(c));
    }
  }
  return cases;
}

SuiteResult RunTreeCases(const std::vector<TreeCase>& cases, const DumpParser& parser) {
  SuiteResult result;
  for (const auto& c : cases) {
    ++result.total;
    std::string got = parser(c.data, c.context);
    if (got == c.expected) {
      ++result.passed;
    } else {
      result.failures.push_back(
          c.file + (c.context.empty() ? "" : " (fragment in " + c.context + ")") + "\n#data\n" +
          c.data + "\n#expected\n" + c.expected + "#got\n" + got);
    }
  }
  return result;
}

namespace {

struct Printed {
  std::string name, value;
};

void Indent(std::string& out, int depth) {
  out += "| ";
  out.append(static_cast<std::size_t>(depth) * 2, ' ');
}

void PrintAttributes(std::string& out, std::vector<Printed> attrs, int depth) {
  std::sort(attrs.begin(), attrs.end(),
            [](const Printed& a, const Printed& b) { return a.name < b.name; });
  for (const auto& a : attrs) {
    Indent(out, depth);
    out += a.name + "=\"" + a.value + "\"\n";
  }
}

std::string ForeignAttributeName(const std::string& name) {
  static const char* kAdjusted[] = {"xlink:actuate", "xlink:arcrole", "xlink:href", "xlink:role",
                                    "xlink:show",    "xlink:title",   "xlink:type", "xml:lang",
                                    "xml:space",     "xmlns:xlink"};
  for (const char* a : kAdjusted) {
    if (name == a) {
      std::string out = name;
      out[out.find(':')] = ' ';
      return out;
    }
  }
  return name;
}

void DumpNode(const dom::Node& node, int depth, std::string& out);

void DumpChildren(const std::vector<dom::NodePtr>& kids, int depth, std::string& out) {
  for (const auto& k : kids) DumpNode(*k, depth, out);
}

void DumpNode(const dom::Node& node, int depth, std::string& out) {
  switch (node.type()) {
    case dom::NodeType::kElement: {
      const auto& e = static_cast<const dom::Element&>(node);
      Indent(out, depth);
      const char* prefix = e.ns() == dom::Namespace::kSvg      ? "svg "
                           : e.ns() == dom::Namespace::kMathMl ? "math "
                                                               : "";
      out += std::string("<") + prefix + e.localName() + ">\n";
      std::vector<Printed> attrs;
      for (const auto& a : e.attributes()) {
        attrs.push_back(
            {e.ns() == dom::Namespace::kHtml ? a.name : ForeignAttributeName(a.name), a.value});
      }
      PrintAttributes(out, std::move(attrs), depth + 1);
      if (const auto* content = e.templateContent()) {
        Indent(out, depth + 1);
        out += "content\n";
        DumpChildren(*content, depth + 2, out);
      }
      DumpChildren(node.children(), depth + 1, out);
      return;
    }
    case dom::NodeType::kText:
      Indent(out, depth);
      out += "\"" + node.data() + "\"\n";
      return;
    case dom::NodeType::kComment:
      Indent(out, depth);
      out += "<!-- " + node.data() + " -->\n";
      return;
    case dom::NodeType::kDoctype:
    case dom::NodeType::kDocument:
      return;
  }
}

}  // namespace

std::string DumpOurs(const std::string& data, const std::string& context) {
  std::string out;
  ParseOptions options;
  options.max_tree_depth = 1u << 30;  // the files check the standard's tree, without the cap
  if (context.empty()) {
    DocumentInfo info;
    auto doc = ParseDocument(data, &info, options);
    for (const auto& child : doc->children()) {
      if (child->type() == dom::NodeType::kDoctype) {
        out += "| <!DOCTYPE " + child->data();
        if (info.doctype_has_public || info.doctype_has_system) {
          out += " \"" + info.doctype_public_id + "\" \"" + info.doctype_system_id + "\"";
        }
        out += ">\n";
      } else {
        DumpNode(*child, 0, out);
      }
    }
    return out;
  }
  dom::Namespace ns = dom::Namespace::kHtml;
  std::string name = context;
  if (name.rfind("svg ", 0) == 0) {
    ns = dom::Namespace::kSvg;
    name = name.substr(4);
  } else if (name.rfind("math ", 0) == 0) {
    ns = dom::Namespace::kMathMl;
    name = name.substr(5);
  }
  auto ctx = dom::Element::Create(name, ns);
  DumpChildren(ParseFragment(data, ctx.get(), options), 0, out);
  return out;
}

// ---------------------------------------------------------------------------------------------
// gumbo, dumped from its own tree.

namespace {

std::string GumboElementName(const GumboElement& e) {
  if (e.tag != GUMBO_TAG_UNKNOWN && e.tag_namespace != GUMBO_NAMESPACE_SVG) {
    return gumbo_normalized_tagname(e.tag);
  }
  GumboStringPiece piece = e.original_tag;
  gumbo_tag_from_original_text(&piece);
  if (e.tag_namespace == GUMBO_NAMESPACE_SVG) {
    if (const char* adjusted = gumbo_normalize_svg_tagname(&piece)) return adjusted;
    if (e.tag != GUMBO_TAG_UNKNOWN) return gumbo_normalized_tagname(e.tag);
  }
  std::string name(piece.data, piece.length);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

void DumpGumboNode(const GumboNode* g, int depth, std::string& out) {
  switch (g->type) {
    case GUMBO_NODE_ELEMENT:
    case GUMBO_NODE_TEMPLATE: {
      const GumboElement& e = g->v.element;
      Indent(out, depth);
      const char* prefix = e.tag_namespace == GUMBO_NAMESPACE_SVG      ? "svg "
                           : e.tag_namespace == GUMBO_NAMESPACE_MATHML ? "math "
                                                                       : "";
      out += std::string("<") + prefix + GumboElementName(e) + ">\n";
      std::vector<Printed> attrs;
      for (unsigned i = 0; i < e.attributes.length; ++i) {
        const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
        std::string name = a->name;
        if (a->attr_namespace == GUMBO_ATTR_NAMESPACE_XLINK) name = "xlink " + name;
        if (a->attr_namespace == GUMBO_ATTR_NAMESPACE_XML) name = "xml " + name;
        if (a->attr_namespace == GUMBO_ATTR_NAMESPACE_XMLNS && name != "xmlns") {
          name = "xmlns " + name;
        }
        attrs.push_back({name, a->value});
      }
      PrintAttributes(out, std::move(attrs), depth + 1);
      int child_depth = depth + 1;
      if (g->type == GUMBO_NODE_TEMPLATE) {
        Indent(out, depth + 1);
        out += "content\n";
        child_depth = depth + 2;
      }
      for (unsigned i = 0; i < e.children.length; ++i) {
        DumpGumboNode(static_cast<const GumboNode*>(e.children.data[i]), child_depth, out);
      }
      return;
    }
    case GUMBO_NODE_TEXT:
    case GUMBO_NODE_CDATA:
    case GUMBO_NODE_WHITESPACE: {
      // gumbo keeps adjacent text in separate nodes; the standard's tree has one.
      Indent(out, depth);
      out += "\"" + std::string(g->v.text.text) + "\"\n";
      return;
    }
    case GUMBO_NODE_COMMENT:
      Indent(out, depth);
      out += "<!-- " + std::string(g->v.text.text) + " -->\n";
      return;
    default:
      return;
  }
}

// Merges consecutive text lines of the same depth that gumbo writes as separate nodes.
std::string MergeAdjacentText(const std::string& dump) {
  std::istringstream in(dump);
  std::vector<std::string> nodes;  // whole node entries (text may span lines)
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("| ", 0) == 0 || nodes.empty()) {
      nodes.push_back(line + "\n");
    } else {
      nodes.back() += line + "\n";
    }
  }
  std::string out;
  std::string pending;  // a text node waiting for a neighbour
  auto is_text = [](const std::string& n, std::size_t& indent) {
    indent = n.find_first_not_of(' ', 2);
    return indent != std::string::npos && n[indent] == '"';
  };
  for (const auto& n : nodes) {
    std::size_t a = 0, b = 0;
    if (!pending.empty() && is_text(n, b) && is_text(pending, a) && a == b) {
      pending.erase(pending.size() - 2);  // drop the closing quote and newline
      pending += n.substr(b + 1);
      continue;
    }
    out += pending;
    pending = n;
  }
  return out + pending;
}

}  // namespace

std::string DumpGumbo(const std::string& data, const std::string& context) {
  GumboOptions options = kGumboDefaultOptions;
  options.max_errors = 0;
  GumboTag tag = GUMBO_TAG_LAST;
  GumboNamespaceEnum ns = GUMBO_NAMESPACE_HTML;
  if (!context.empty()) {
    std::string name = context;
    if (name.rfind("svg ", 0) == 0) {
      ns = GUMBO_NAMESPACE_SVG;
      name = name.substr(4);
    } else if (name.rfind("math ", 0) == 0) {
      ns = GUMBO_NAMESPACE_MATHML;
      name = name.substr(5);
    }
    tag = gumbo_tag_enum(name.c_str());
  }
  options.fragment_context = tag;
  options.fragment_namespace = ns;
  GumboOutput* output = gumbo_parse_with_options(&options, data.data(), data.size());
  std::string out;
  if (context.empty()) {
    const GumboDocument& d = output->document->v.document;
    if (d.has_doctype) {
      out += "| <!DOCTYPE " + std::string(d.name);
      if (*d.public_identifier || *d.system_identifier) {
        out += " \"" + std::string(d.public_identifier) + "\" \"" + d.system_identifier + "\"";
      }
      out += ">\n";
    }
    for (unsigned i = 0; i < d.children.length; ++i) {
      DumpGumboNode(static_cast<const GumboNode*>(d.children.data[i]), 0, out);
    }
  } else {
    const GumboElement& root = output->root->v.element;
    for (unsigned i = 0; i < root.children.length; ++i) {
      DumpGumboNode(static_cast<const GumboNode*>(root.children.data[i]), 0, out);
    }
  }
  gumbo_destroy_output(&options, output);
  return MergeAdjacentText(out);
}

}  // namespace vt::html::testing
