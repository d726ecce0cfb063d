#pragma once
// Tag numbers for the element names the parser treats specially (`Tag::div_`: the name with an
// underscore, as some are keywords). A name outside the list is kUnknown; the number says nothing
// of the namespace, which is kept beside it.

#include <cstdint>
#include <string_view>

namespace vt::html {

#define VT_HTML_TAGS(X)                                                                            \
  X(a)                                                                                             \
  X(address)                                                                                       \
  X(annotation_xml)                                                                                \
  X(applet) X(area) X(article) X(aside) X(b) X(base) X(basefont) X(bgsound) X(big) X(blockquote)   \
      X(body) X(br) X(button) X(caption) X(center) X(code) X(col) X(colgroup) X(dd) X(desc)        \
          X(details) X(dialog) X(dir) X(div) X(dl) X(dt) X(em) X(embed) X(fieldset) X(figcaption)  \
              X(figure) X(font) X(footer) X(foreignobject) X(form) X(frame) X(frameset) X(h1)      \
                  X(h2) X(h3) X(h4) X(h5) X(h6) X(head) X(header) X(hgroup) X(hr) X(html) X(i)     \
                      X(iframe) X(image) X(img) X(input) X(keygen) X(li) X(link) X(listing)        \
                          X(main) X(malignmark) X(marquee) X(math) X(menu) X(meta) X(mglyph) X(mi) \
                              X(mn) X(mo) X(ms) X(mtext) X(nav) X(nobr) X(noembed) X(noframes)     \
                                  X(noscript) X(object) X(ol) X(optgroup) X(option) X(p) X(param)  \
                                      X(plaintext) X(pre) X(rb) X(rp) X(rt) X(rtc) X(ruby) X(s)    \
                                          X(script) X(search) X(section) X(select) X(small)        \
                                              X(source) X(span) X(strike) X(strong) X(style)       \
                                                  X(sub) X(summary) X(sup) X(svg) X(table)         \
                                                      X(tbody) X(td) X(template) X(textarea)       \
                                                          X(tfoot) X(th) X(thead) X(title) X(tr)   \
                                                              X(track) X(tt) X(u) X(ul) X(var)     \
                                                                  X(wbr) X(xmp)

enum class Tag : std::uint16_t {
  kUnknown = 0,
#define VT_HTML_TAG_ENUM(name) name##_,
  VT_HTML_TAGS(VT_HTML_TAG_ENUM)
#undef VT_HTML_TAG_ENUM
      kCount
};

// The tag of a lower-case name ("annotation-xml" and "foreignobject" included), else kUnknown.
Tag LookupTag(std::string_view lower_name);

}  // namespace vt::html
