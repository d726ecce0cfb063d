#include "platform/dom/charset.h"

#include <iconv.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/dom/internal.h"

namespace vt::dom {

namespace {

// windows-1252 code points of the bytes 0x80 to 0x9F (the rest equals ISO-8859-1).
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string DecodeWindows1252(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x80) {
      out += ch;
    } else if (b < 0xA0) {
      AppendUtf8(kWindows1252High[b - 0x80], out);
    } else {
      AppendUtf8(b, out);
    }
  }
  return out;
}

std::string DecodeUtf16(std::string_view bytes, bool little_endian) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  auto unit = [&](std::size_t at) -> char16_t {
    const auto a = static_cast<unsigned char>(bytes[at]);
    const auto b = static_cast<unsigned char>(bytes[at + 1]);
    return static_cast<char16_t>(little_endian ? (b << 8) | a : (a << 8) | b);
  };
  while (i + 1 < bytes.size()) {
    char16_t u = unit(i);
    i += 2;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < bytes.size()) {
      const char16_t low = unit(i);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        i += 2;
        AppendUtf8(0x10000 + ((char32_t{u} - 0xD800) << 10) + (low - 0xDC00), out);
        continue;
      }
    }
    AppendUtf8(u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u, out);
  }
  if (i < bytes.size()) AppendUtf8(0xFFFD, out);  // an odd trailing byte
  return out;
}

// Length of the valid UTF-8 sequence at `i`, or 0 when it is malformed.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  auto cont = [&](std::size_t k) {
    return i + k < s.size() && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
  };
  if (b0 < 0x80) return 1;
  if (b0 >= 0xC2 && b0 <= 0xDF) return cont(1) ? 2 : 0;
  if (b0 >= 0xE0 && b0 <= 0xEF) {
    if (!cont(1) || !cont(2)) return 0;
    const auto b1 = static_cast<unsigned char>(s[i + 1]);
    if (b0 == 0xE0 && b1 < 0xA0) return 0;   // overlong
    if (b0 == 0xED && b1 >= 0xA0) return 0;  // surrogates
    return 3;
  }
  if (b0 >= 0xF0 && b0 <= 0xF4) {
    if (!cont(1) || !cont(2) || !cont(3)) return 0;
    const auto b1 = static_cast<unsigned char>(s[i + 1]);
    if (b0 == 0xF0 && b1 < 0x90) return 0;
    if (b0 == 0xF4 && b1 >= 0x90) return 0;
    return 4;
  }
  return 0;
}

bool IsValidUtf8(std::string_view s, bool* has_non_ascii) {
  *has_non_ascii = false;
  for (std::size_t i = 0; i < s.size();) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
      continue;
    }
    *has_non_ascii = true;
    const std::size_t n = Utf8SequenceLength(s, i);
    if (n == 0) {
      // A sequence cut off at the very end of the input still counts as UTF-8.
      return s.size() - i < 4 && static_cast<unsigned char>(s[i]) >= 0xC2;
    }
    i += n;
  }
  return true;
}

std::string RepairUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    // Copy ASCII runs in one go.
    std::size_t j = i;
    while (j < s.size() && static_cast<unsigned char>(s[j]) < 0x80) ++j;
    out.append(s.data() + i, j - i);
    i = j;
    if (i >= s.size()) break;
    const std::size_t n = Utf8SequenceLength(s, i);
    if (n == 0) {
      AppendUtf8(0xFFFD, out);
      ++i;
    } else {
      out.append(s.data() + i, n);
      i += n;
    }
  }
  return out;
}

std::string DecodeWithIconv(std::string_view bytes, const std::string& charset) {
  iconv_t cd = iconv_open("UTF-8", charset.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return DecodeWindows1252(bytes);
  std::string out;
  out.resize(bytes.size() * 4 + 16);
  char* in = const_cast<char*>(bytes.data());
  std::size_t in_left = bytes.size();
  char* dst = out.data();
  std::size_t out_left = out.size();
  while (in_left > 0) {
    if (iconv(cd, &in, &in_left, &dst, &out_left) != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      const std::size_t used = static_cast<std::size_t>(dst - out.data());
      out.resize(out.size() * 2);
      dst = out.data() + used;
      out_left = out.size() - used;
      continue;
    }
    // An invalid or cut-off sequence: one replacement character, then go on after the byte.
    if (out_left < 3) {
      const std::size_t used = static_cast<std::size_t>(dst - out.data());
      out.resize(out.size() + 64);
      dst = out.data() + used;
      out_left = out.size() - used;
    }
    std::memcpy(dst, "\xEF\xBF\xBD", 3);
    dst += 3;
    out_left -= 3;
    ++in;
    --in_left;
  }
  iconv_close(cd);
  out.resize(static_cast<std::size_t>(dst - out.data()));
  return out;
}

// The iconv name of a canonical charset handled by iconv.
struct LabelEntry {
  std::string_view label;
  std::string_view canonical;
};

constexpr LabelEntry kLabels[] = {
    {"utf-8", "utf-8"},
    {"utf8", "utf-8"},
    {"unicode-1-1-utf-8", "utf-8"},
    {"x-unicode20utf8", "utf-8"},
    {"windows-1252", "windows-1252"},
    {"cp1252", "windows-1252"},
    {"x-cp1252", "windows-1252"},
    {"iso-8859-1", "windows-1252"},
    {"iso8859-1", "windows-1252"},
    {"iso_8859-1", "windows-1252"},
    {"iso88591", "windows-1252"},
    {"latin1", "windows-1252"},
    {"l1", "windows-1252"},
    {"us-ascii", "windows-1252"},
    {"ascii", "windows-1252"},
    {"ansi_x3.4-1968", "windows-1252"},
    {"cp819", "windows-1252"},
    {"ibm819", "windows-1252"},
    {"utf-16", "utf-16le"},
    {"utf-16le", "utf-16le"},
    {"unicode", "utf-16le"},
    {"ucs-2", "utf-16le"},
    {"utf-16be", "utf-16be"},
    {"iso-8859-2", "iso-8859-2"},
    {"latin2", "iso-8859-2"},
    {"iso-8859-3", "iso-8859-3"},
    {"iso-8859-4", "iso-8859-4"},
    {"iso-8859-5", "iso-8859-5"},
    {"iso-8859-6", "iso-8859-6"},
    {"iso-8859-7", "iso-8859-7"},
    {"greek", "iso-8859-7"},
    {"iso-8859-8", "iso-8859-8"},
    {"iso-8859-8-i", "iso-8859-8"},
    {"iso-8859-10", "iso-8859-10"},
    {"iso-8859-13", "iso-8859-13"},
    {"iso-8859-14", "iso-8859-14"},
    {"iso-8859-15", "iso-8859-15"},
    {"latin9", "iso-8859-15"},
    {"iso-8859-16", "iso-8859-16"},
    {"windows-1250", "windows-1250"},
    {"cp1250", "windows-1250"},
    {"windows-1251", "windows-1251"},
    {"cp1251", "windows-1251"},
    {"windows-1253", "windows-1253"},
    {"windows-1254", "windows-1254"},
    {"iso-8859-9", "windows-1254"},
    {"latin5", "windows-1254"},
    {"windows-1255", "windows-1255"},
    {"windows-1256", "windows-1256"},
    {"windows-1257", "windows-1257"},
    {"windows-1258", "windows-1258"},
    {"windows-874", "windows-874"},
    {"tis-620", "windows-874"},
    {"iso-8859-11", "windows-874"},
    {"koi8-r", "koi8-r"},
    {"koi8-u", "koi8-u"},
    {"gbk", "gbk"},
    {"gb2312", "gbk"},
    {"x-gbk", "gbk"},
    {"gb18030", "gb18030"},
    {"big5", "big5"},
    {"big5-hkscs", "big5"},
    {"shift_jis", "shift_jis"},
    {"shift-jis", "shift_jis"},
    {"sjis", "shift_jis"},
    {"windows-31j", "shift_jis"},
    {"ms_kanji", "shift_jis"},
    {"euc-jp", "euc-jp"},
    {"iso-2022-jp", "iso-2022-jp"},
    {"euc-kr", "euc-kr"},
    {"ks_c_5601-1987", "euc-kr"},
    {"windows-949", "euc-kr"},
    {"macintosh", "macintosh"},
    {"x-mac-roman", "macintosh"},
    {"ibm866", "ibm866"},
    {"cp866", "ibm866"},
};

std::string_view IconvName(std::string_view canonical) {
  if (canonical == "shift_jis") return "CP932";
  if (canonical == "gbk") return "GB18030";  // browsers decode GBK labels as GB18030
  if (canonical == "euc-kr") return "CP949";
  if (canonical == "big5") return "BIG5-HKSCS";
  if (canonical == "macintosh") return "MACINTOSH";
  if (canonical == "ibm866") return "CP866";
  return canonical;
}

// The value of `charset=` in `text` starting at `from`, as the META prescan extracts it.
std::string CharsetFromContent(std::string_view content) {
  std::size_t pos = 0;
  const std::string lower = ToLowerAscii(content);
  while (true) {
    pos = lower.find("charset", pos);
    if (pos == std::string::npos) return {};
    pos += 7;
    while (pos < lower.size() && IsHtmlSpace(lower[pos])) ++pos;
    if (pos < lower.size() && lower[pos] == '=') break;
  }
  ++pos;
  while (pos < content.size() && IsHtmlSpace(content[pos])) ++pos;
  if (pos >= content.size()) return {};
  const char q = content[pos];
  if (q == '"' || q == '\'') {
    const auto end = content.find(q, pos + 1);
    if (end == std::string_view::npos) return {};
    return std::string(content.substr(pos + 1, end - pos - 1));
  }
  std::size_t end = pos;
  while (end < content.size() && !IsHtmlSpace(content[end]) && content[end] != ';') ++end;
  return std::string(content.substr(pos, end - pos));
}

// One attribute of a tag for the prescan.
bool NextAttribute(std::string_view s, std::size_t& i, std::string& name, std::string& value) {
  while (i < s.size() && (IsHtmlSpace(s[i]) || s[i] == '/')) ++i;
  if (i >= s.size() || s[i] == '>') return false;
  name.clear();
  value.clear();
  while (i < s.size()) {
    const char c = s[i];
    if (c == '=' && !name.empty()) break;
    if (IsHtmlSpace(c) || c == '/' || c == '>') break;
    name += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    ++i;
  }
  while (i < s.size() && IsHtmlSpace(s[i])) ++i;
  if (i >= s.size() || s[i] != '=') return true;
  ++i;
  while (i < s.size() && IsHtmlSpace(s[i])) ++i;
  if (i >= s.size()) return true;
  const char q = s[i];
  if (q == '"' || q == '\'') {
    ++i;
    while (i < s.size() && s[i] != q) value += s[i++];
    if (i < s.size()) ++i;
  } else {
    while (i < s.size() && !IsHtmlSpace(s[i]) && s[i] != '>') value += s[i++];
  }
  return true;
}

}  // namespace

std::string CanonicalCharset(std::string_view label) {
  const std::string lower = ToLowerAscii(TrimAsciiSpace(label));
  for (const auto& entry : kLabels) {
    if (entry.label == lower) return std::string(entry.canonical);
  }
  return {};
}

std::string CharsetOfContentType(std::string_view content_type) {
  return CharsetFromContent(content_type);
}

std::string DecodeToUtf8(std::string_view bytes, std::string_view charset) {
  if (charset == "utf-8") return RepairUtf8(bytes);
  if (charset == "windows-1252" || charset.empty()) return DecodeWindows1252(bytes);
  if (charset == "utf-16le") return DecodeUtf16(bytes, true);
  if (charset == "utf-16be") return DecodeUtf16(bytes, false);
  return DecodeWithIconv(bytes, std::string(IconvName(charset)));
}

std::string PrescanMetaCharset(std::string_view bytes) {
  const std::string_view s = bytes.substr(0, 1024);
  std::size_t i = 0;
  while (i < s.size()) {
    if (s.compare(i, 4, "<!--") == 0) {
      const auto end = s.find("-->", i + 2);
      if (end == std::string_view::npos) return {};
      i = end + 3;
      continue;
    }
    if (s[i] == '<' && i + 5 <= s.size() && EqualsIgnoreCase(s.substr(i + 1, 4), "meta") &&
        i + 5 < s.size() && (IsHtmlSpace(s[i + 5]) || s[i + 5] == '/')) {
      i += 5;
      std::string name, value, charset;
      bool http_equiv_content_type = false;
      std::string content_charset;
      bool seen_charset = false;
      while (NextAttribute(s, i, name, value)) {
        if (name == "http-equiv") {
          http_equiv_content_type = EqualsIgnoreCase(value, "content-type");
        } else if (name == "content" && content_charset.empty()) {
          content_charset = CharsetFromContent(value);
        } else if (name == "charset" && !seen_charset) {
          charset = value;
          seen_charset = true;
        }
      }
      std::string found;
      if (seen_charset) {
        found = charset;
      } else if (http_equiv_content_type) {
        found = content_charset;
      }
      if (!found.empty()) {
        std::string canonical = CanonicalCharset(found);
        if (canonical == "utf-16le" || canonical == "utf-16be") canonical = "utf-8";
        if (!canonical.empty()) return canonical;
      }
      continue;
    }
    if (s[i] == '<' && i + 1 < s.size() &&
        (std::isalpha(static_cast<unsigned char>(s[i + 1])) || s[i + 1] == '/')) {
      // Another tag: skip its name and attributes.
      i += s[i + 1] == '/' ? 2 : 1;
      while (i < s.size() && !IsHtmlSpace(s[i]) && s[i] != '>') ++i;
      std::string name, value;
      while (NextAttribute(s, i, name, value)) {
      }
      continue;
    }
    if (s[i] == '<' && i + 1 < s.size() && (s[i + 1] == '!' || s[i + 1] == '?')) {
      const auto end = s.find('>', i);
      if (end == std::string_view::npos) return {};
      i = end + 1;
      continue;
    }
    ++i;
  }
  return {};
}

DecodedText DecodePage(std::string_view bytes, std::string_view content_type) {
  DecodedText result;
  auto finish = [&](std::string charset, std::string source, std::string_view body) {
    result.text = DecodeToUtf8(body, charset);
    result.charset = std::move(charset);
    result.source = std::move(source);
    return result;
  };
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return finish("utf-8", "bom", bytes.substr(3));
  if (bytes.substr(0, 2) == "\xFF\xFE") return finish("utf-16le", "bom", bytes.substr(2));
  if (bytes.substr(0, 2) == "\xFE\xFF") return finish("utf-16be", "bom", bytes.substr(2));
  if (std::string http = CanonicalCharset(CharsetOfContentType(content_type)); !http.empty()) {
    return finish(std::move(http), "http", bytes);
  }
  if (std::string meta = PrescanMetaCharset(bytes); !meta.empty()) {
    return finish(std::move(meta), "meta", bytes);
  }
  bool non_ascii = false;
  if (IsValidUtf8(bytes, &non_ascii) && non_ascii) return finish("utf-8", "sniffed", bytes);
  return finish("windows-1252", "default", bytes);
}

}  // namespace vt::dom
