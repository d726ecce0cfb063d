#pragma once
// URL records: every page the band touches is known by the ID of its URL row. These operations of
// the page session turn an address into that ID (creating the row, with title, domain, meta
// description and keywords, on first sight), count visits, remember the filter-tree selection of a
// page, flag a page as indexed and turn an ID back into its address. UI thread only.
#include <cstdint>
#include <string>
#include <vector>

namespace vt {

class TmyDOM;

// The URL ID of the address, 0 when it is not recorded: empty, a generated page of the private
// host, a "javascript:" address, no open database, or a failure (shown as "seekUrlID"). Addresses
// over 250 characters are recorded as their first 249. The last address resolved is cached.
int32_t RecordUrl(TmyDOM& session, const std::string& address);

// Counts a visit and stores the title (first 149 characters); nothing for "about:blank".
// Failures are shown ("UpdateUrlInfo"), never thrown.
void UpdateVisit(TmyDOM& session, const std::string& address, const std::string& title);

// Stores the filter-tree element index of the page ("DB_UpdateSelectedtv" on failure).
void SaveSelectedNode(TmyDOM& session, const std::string& address, int32_t index);

// The stored element index, -1 when none is stored. Throws on database errors.
int32_t GetSelectedNode(TmyDOM& session, const std::string& address);

// True when the page counts as indexed (always for generated pages), false without a database.
// Throws on database errors.
bool LookupUrl(TmyDOM& session, const std::string& address);

// Sets the page's Indexed flag ("UpdateUrlInfo" on failure); nothing for "about:blank".
void MarkUrlIndexed(TmyDOM& session, const std::string& address, bool indexed);

// Stores the items of a comma-separated keyword list for the page, each once without regard to
// letter case and only when longer than 2 characters ("IndexKeyword" on failure).
void SaveKeywords(TmyDOM& session, int32_t url_id, const std::string& text);

// The address of the URL row, "" when there is none. Moves the URL table's cursor. Throws on
// database errors.
std::string GetUrlById(TmyDOM& session, int32_t url_id);

// The items of a comma-separated list: commas, tabs and line breaks separate items; an item in
// double quotes runs to the closing quote ("" inside stands for one quote).
std::vector<std::string> SplitCommaText(const std::string& text);

}  // namespace vt
