// Decoding page bytes: where the charset comes from and what each decoder makes of the bytes.
#include <gtest/gtest.h>

#include "platform/dom/charset.h"
#include "platform/dom/document.h"

namespace vt::dom {
namespace {

TEST(Charset, ByteOrderMarkWinsOverDeclarations) {
  const auto d =
      DecodePage("\xEF\xBB\xBF<meta charset=iso-8859-2>\xC3\xA9", "text/html; charset=koi8-r");
  EXPECT_EQ(d.charset, "utf-8");
  EXPECT_EQ(d.source, "bom");
  EXPECT_EQ(d.text, "<meta charset=iso-8859-2>\xC3\xA9");

  const auto le = DecodePage(std::string("\xFF\xFE<\0p\0>\0\xAC\x20", 10));
  EXPECT_EQ(le.charset, "utf-16le");
  EXPECT_EQ(le.text, "<p>\xE2\x82\xAC");
  const auto be = DecodePage(std::string("\xFE\xFF\0<\xD8\x3D\xDE\x00", 8));
  EXPECT_EQ(be.text, "<\xF0\x9F\x98\x80");  // a surrogate pair
}

TEST(Charset, HttpCharsetThenMetaPrescanThenSniffing) {
  EXPECT_EQ(DecodePage("<meta charset=utf-8>\xE9", "text/html; charset=\"ISO-8859-1\"").text,
            "<meta charset=utf-8>\xC3\xA9");
  const auto meta = DecodePage(
      "<!-- <meta charset=koi8-r> --><head><meta http-equiv=\"Content-Type\" "
      "content=\"text/html; charset=windows-1251\">\xC0");
  EXPECT_EQ(meta.charset, "windows-1251");
  EXPECT_EQ(meta.source, "meta");
  EXPECT_EQ(meta.text.substr(meta.text.size() - 2), "\xD0\x90");  // Cyrillic A
  // content= without http-equiv does not count; a META past 1024 bytes is not seen.
  EXPECT_EQ(DecodePage("<meta content=\"text/html; charset=koi8-r\">").source, "default");
  EXPECT_EQ(DecodePage(std::string(1100, ' ') + "<meta charset=koi8-r>").source, "default");
  // A declared UTF-16 cannot be true of bytes that were read as ASCII: UTF-8.
  EXPECT_EQ(DecodePage("<meta charset=utf-16>").charset, "utf-8");
}

TEST(Charset, UndeclaredBytesAreUtf8WhenValidElseWindows1252) {
  const auto utf8 = DecodePage("<p>caf\xC3\xA9</p>");
  EXPECT_EQ(utf8.charset, "utf-8");
  EXPECT_EQ(utf8.source, "sniffed");
  const auto legacy = DecodePage("<p>\x80 caf\xE9 \x9F</p>");
  EXPECT_EQ(legacy.charset, "windows-1252");
  EXPECT_EQ(legacy.text, "<p>\xE2\x82\xAC caf\xC3\xA9 \xC5\xB8</p>");
}

TEST(Charset, MalformedInputBecomesReplacementCharacters) {
  EXPECT_EQ(DecodeToUtf8("a\xC3(b\xED\xA0\x80", "utf-8"),
            "a\xEF\xBF\xBD(b\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(DecodeToUtf8("\xB1", "iso-8859-2"), "\xC4\x85");  // through iconv
  EXPECT_EQ(CanonicalCharset(" Latin1 "), "windows-1252");
  EXPECT_EQ(CanonicalCharset("x-no-such"), "");
}

TEST(Charset, DocumentLoadDecodesAndSourceLoadStaysUtf8) {
  auto doc = Document::Create();
  doc->Load("<meta charset=iso-8859-1><body>\xE9t\xE9</body>", "http://example.com/");
  EXPECT_EQ(doc->charset(), "windows-1252");
  EXPECT_EQ(doc->body()->innerText(), "\xC3\xA9t\xC3\xA9");
  // The saved source is UTF-8 and still carries the old declaration; loading it back must not
  // decode it a second time.
  const std::string saved = doc->Save();
  doc->LoadSource(saved);
  EXPECT_EQ(doc->body()->innerText(), "\xC3\xA9t\xC3\xA9");
}

}  // namespace
}  // namespace vt::dom
