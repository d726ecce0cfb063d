#include "storage/urlRecords.h"

#include <algorithm>
#include <cctype>

#include "core/myDOM.h"
#include "core/privatehost.h"
#include "core/textutil.h"
#include "core/textutil_dom.h"
#include "platform/ado/ado.h"
#include "storage/datamodule.h"

namespace vt {
namespace {

constexpr int kUrlChars = 250;
constexpr int kKeywordChars = 50;

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool IsPrivatePage(const std::string& address) {
  return Lower(address).rfind("http://" + std::string(kPrivateHost) + "/", 0) == 0;
}

// The address as the URL column holds it: at most 249 characters when it is too long.
std::string StoredForm(const std::string& address) {
  if (CharCount(address) > static_cast<size_t>(kUrlChars))
    return std::string(FirstChars(address, kUrlChars - 1));
  return address;
}

bool Connected(const TmyDOM& s) {
  return s.Connection && s.Connection->Connected();
}

// The query data set is never left open between operations.
struct QueryCloser {
  TmyDOM& s;
  ~QueryCloser() {
    if (s.Query) s.Query->Close();
  }
};

ado::Query& SessionQuery(TmyDOM& s) {
  if (!s.Query) {
    if (!s.Connection)
      throw ado::AdoError(ado::ErrorKind::Closed,
                          "Operation is not allowed when the connection is closed.");
    s.Query = std::make_shared<ado::Query>(s.Connection);
  }
  return *s.Query;
}

ado::Table& OpenTable(ado::Table* t, const char* name) {
  if (!t)
    throw ado::AdoError(ado::ErrorKind::Closed,
                        std::string(name) + ": Cannot perform this operation on a closed dataset");
  return *t;
}

}  // namespace

std::vector<std::string> SplitCommaText(const std::string& text) {
  std::vector<std::string> items;
  const size_t n = text.size();
  auto blank = [&](size_t i) { return static_cast<unsigned char>(text[i]) <= ' '; };
  size_t p = 0;
  while (p < n && blank(p)) ++p;
  while (p < n) {
    std::string item;
    if (text[p] == '"') {
      ++p;
      while (p < n) {
        if (text[p] == '"') {
          if (p + 1 < n && text[p + 1] == '"') {
            item += '"';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        item += text[p++];
      }
    } else {
      size_t start = p;
      while (p < n && !blank(p) && text[p] != ',') ++p;
      item = text.substr(start, p - start);
    }
    items.push_back(std::move(item));
    while (p < n && blank(p)) ++p;
    if (p < n && text[p] == ',') {
      if (p + 1 == n) items.emplace_back();
      ++p;
      while (p < n && blank(p)) ++p;
    }
  }
  return items;
}

int32_t RecordUrl(TmyDOM& s, const std::string& input) {
  if (ado::SameName(input, s.LastUrl)) return s.LastUrlID;
  if (input.empty()) return 0;
  if (IsPrivatePage(input)) return 0;
  if (Lower(input).find("javascript:") != std::string::npos) return 0;
  const std::string address = StoredForm(input);
  if (!Connected(s)) return 0;
  try {
    QueryCloser closer{s};
    ado::Query& q = SessionQuery(s);
    q.SetCommandText("Select ID FROM URL WHERE Url = " + ado::QuotedStr(address));
    q.Open();
    ado::Variant found = q.FieldByName("ID").Value();
    q.Close();
    int32_t id = 0;
    if (!found.IsNull()) {
      id = found.AsInteger();
    } else {
      ado::Table& url = OpenTable(s.URL, "URL");
      const std::string title = s.Document && s.Browser
                                    ? CleanText(FirstChars(s.Browser->LocationName(), 140))
                                    : CleanText("No Title");
      const std::string keywords = GetMetaContent("keywords", s.Document);
      url.Insert();
      url.FieldByName("Title").SetValue(title);
      url.FieldByName("DateCreated").SetValue(ado::DateTime::Now());
      url.FieldByName("URL").SetValue(address);
      url.FieldByName("Description")
          .SetValue(std::string(FirstChars(GetMetaContent("description", s.Document), 190)));
      url.FieldByName("Keyword").SetValue(std::string(FirstChars(keywords, 190)));
      url.FieldByName("Domain").SetValue(HostOfUrl(address));
      url.Post();
      id = url.FieldByName("ID").AsInteger();
      SaveKeywords(s, id, keywords);
    }
    s.LastUrl = address;
    s.LastUrlID = id;
    return id;
  } catch (const std::exception& e) {
    s.LogError(e, "seekUrlID");
    if (s.Query) s.Query->Close();
    try {
      if (s.URL && s.URL->State() == ado::DataSetState::Insert) s.URL->Cancel();
    } catch (...) {
    }
    return 0;
  }
}

void UpdateVisit(TmyDOM& s, const std::string& address, const std::string& title) {
  try {
    if (address == "about:blank") return;
    int32_t id = RecordUrl(s, address);
    if (id <= 0) return;
    std::string t(FirstChars(title, 149));
    std::string quoted = ado::QuotedStr(t);
    ExecuteSQL(s, "Update URL Set Hits = Hits + 1, DateLastVisit = '" +
                      ado::DateTime::Now().ToString() + "', Title = " + quoted +
                      " WHERE ID = " + std::to_string(id));
  } catch (const std::exception& e) {
    s.LogError(e, "UpdateUrlInfo");
  }
}

void SaveSelectedNode(TmyDOM& s, const std::string& address, int32_t index) {
  try {
    int32_t id = RecordUrl(s, address);
    if (id <= 0) return;
    ExecuteSQL(s, "Update URL Set selected_tv = " + std::to_string(index) +
                      " WHERE ID = " + std::to_string(id));
    OpenTable(s.URL, "URL").Requery();
  } catch (const std::exception& e) {
    s.LogError(e, "DB_UpdateSelectedtv");
  }
}

int32_t GetSelectedNode(TmyDOM& s, const std::string& address) {
  int32_t answer = -1;
  if (s.URL && s.URL->Active() && address != "about:blank") {
    ado::Variant v = s.URL->LookupValue("ID", {RecordUrl(s, address)}, "selected_tv");
    if (!v.IsNull()) answer = v.AsInteger();
  }
  return answer;
}

bool LookupUrl(TmyDOM& s, const std::string& address) {
  if (IsPrivatePage(address)) return true;
  if (!Connected(s)) return false;
  QueryCloser closer{s};
  ado::Query& q = SessionQuery(s);
  // Over-long addresses are looked up in the form in which they were recorded.
  q.SetCommandText("Select * FROM URL WHERE Url = " + ado::QuotedStr(StoredForm(address)));
  q.Open();
  ado::Variant indexed = q.FieldByName("Indexed").Value();
  return indexed.IsNull() ? false : indexed.AsBoolean();
}

void MarkUrlIndexed(TmyDOM& s, const std::string& address, bool indexed) {
  try {
    if (address == "about:blank") return;
    int32_t id = RecordUrl(s, address);
    if (id <= 0) return;
    ado::Table& url = OpenTable(s.URL, "URL");
    if (url.Locate("ID", ado::Variant(id)) && url.State() != ado::DataSetState::Edit) {
      url.Edit();
      url.FieldByName("Indexed").SetValue(indexed);
      url.Post();
    }
  } catch (const std::exception& e) {
    s.LogError(e, "UpdateUrlInfo");
    try {
      if (s.URL && s.URL->State() == ado::DataSetState::Edit) s.URL->Cancel();
    } catch (...) {
    }
  }
}

void SaveKeywords(TmyDOM& s, int32_t url_id, const std::string& text) {
  try {
    std::string list = text;
    std::replace(list.begin(), list.end(), ' ', '*');
    for (std::string item : SplitCommaText(list)) {
      std::replace(item.begin(), item.end(), '*', ' ');
      // Compared in the length the column keeps, so a long keyword is not stored again on
      // every visit.
      item = std::string(FirstChars(CleanText(item), kKeywordChars));
      ado::Table& kw = OpenTable(s.KEYWORDS, "KEYWORDS");
      if (!kw.Locate("UrlID;Keyword", {ado::Variant(url_id), ado::Variant(item)},
                     ado::loCaseInsensitive) &&
          CharCount(item) > 2) {
        kw.Insert();
        kw.FieldByName("Keyword").SetValue(item);
        kw.FieldByName("UrlID").SetValue(url_id);
        kw.Post();
      }
    }
  } catch (const std::exception& e) {
    s.LogError(e, "IndexKeyword");
    // A failed insert must not stay pending for the next operation on the table to post.
    try {
      if (s.KEYWORDS && s.KEYWORDS->State() == ado::DataSetState::Insert) s.KEYWORDS->Cancel();
    } catch (...) {
    }
  }
}

std::string GetUrlById(TmyDOM& s, int32_t url_id) {
  ado::Table& url = OpenTable(s.URL, "URL");
  if (url.Locate("ID", ado::Variant(url_id))) return url.FieldByName("URL").AsString();
  return {};
}

}  // namespace vt
