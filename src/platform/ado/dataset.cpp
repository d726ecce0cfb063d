#include "platform/ado/dataset.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace vt::ado {

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::vector<std::string> SplitFieldList(std::string_view names) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i <= names.size()) {
    size_t semi = names.find(';', i);
    if (semi == std::string_view::npos) semi = names.size();
    std::string_view part = names.substr(i, semi - i);
    while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
    while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
    if (!part.empty()) out.emplace_back(part);
    i = semi + 1;
  }
  return out;
}

std::string CutToChars(const std::string& text, int max_chars) {
  if (max_chars <= 0 || text.size() <= static_cast<size_t>(max_chars)) return text;
  int chars = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    // A character starts at every byte that is not a continuation byte.
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (chars == max_chars) return text.substr(0, i);
      ++chars;
    }
  }
  return text;
}

FieldDef FieldDefFromDeclType(std::string name, std::string_view decl) {
  std::string t(decl);
  for (auto& c : t) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  FieldDef f{std::move(name), FieldKind::Unknown, 0};
  auto has = [&](const char* w) { return t.find(w) != std::string::npos; };
  if (has("BOOL") || has("BIT") || has("YESNO"))
    f.kind = FieldKind::Boolean;
  else if (has("DATE") || has("TIME"))
    f.kind = FieldKind::DateTime;
  else if (has("INT") || has("COUNTER"))
    f.kind = FieldKind::Integer;
  else if (has("CHAR") || has("TEXT") || has("CLOB") || has("MEMO"))
    f.kind = FieldKind::Memo;
  else if (has("REAL") || has("FLOA") || has("DOUB") || has("NUMERIC") || has("DECIMAL"))
    f.kind = FieldKind::Float;
  if (f.kind == FieldKind::Memo) {
    size_t open = t.find('(');
    if (open != std::string::npos) {
      int n = std::atoi(t.c_str() + open + 1);
      if (n > 0) {
        f.kind = FieldKind::Text;
        f.size = n;
      }
    }
  }
  return f;
}

Variant FromStorage(const FieldDef& f, Variant raw) {
  if (raw.IsNull()) return raw;
  switch (f.kind) {
    case FieldKind::Boolean:
      return raw.Kind() == VariantKind::Integer ? Variant(raw.AsInt64() != 0) : raw;
    case FieldKind::DateTime:
      if (raw.Kind() == VariantKind::Text) {
        if (auto d = DateTime::Parse(raw.AsString())) return Variant(*d);
      }
      return raw;
    default:
      return raw;
  }
}

// ---- Field ----

const std::string& Field::FieldName() const {
  return owner_->FieldDefAt(index_).name;
}
FieldKind Field::Kind() const {
  return owner_->FieldDefAt(index_).kind;
}
int Field::Size() const {
  return owner_->FieldDefAt(index_).size;
}
Variant Field::Value() const {
  return owner_->CurrentValue(index_);
}
void Field::SetValue(const Variant& value) const {
  owner_->AssignValue(index_, value);
}

// ---- DataSet ----

DataSet::DataSet(Connection* connection) {
  SetConnection(connection);
}

DataSet::~DataSet() {
  if (connection_) connection_->Detach(this);
}

void DataSet::SetConnection(Connection* connection) {
  if (connection == connection_) return;
  Close();
  if (connection_) connection_->Detach(this);
  connection_ = connection;
  if (connection_) connection_->Attach(this);
}

void DataSet::ConnectionGone() {
  state_ = DataSetState::Inactive;
  connection_ = nullptr;
}

void DataSet::Close() {
  if (state_ == DataSetState::Inactive) return;
  state_ = DataSetState::Inactive;
  row_.clear();
  assigned_.clear();
  eof_ = bof_ = true;
  Notify(DataEvent::Closed);
}

const std::string& DataSet::ObjectName() const {
  static const std::string kName = "Data set";
  return kName;
}

void DataSet::CheckActive() const {
  if (state_ == DataSetState::Inactive)
    throw AdoError(ErrorKind::Closed,
                   ObjectName() + ": Cannot perform this operation on a closed dataset");
}

void DataSet::CheckBrowse() {
  CheckActive();
  if (state_ == DataSetState::Insert || state_ == DataSetState::Edit) Post();
}

void DataSet::SetState(DataSetState s) {
  if (s == state_) return;
  state_ = s;
  Notify(DataEvent::StateChanged);
}

int DataSet::AddListener(std::function<void(DataEvent)> listener) {
  listeners_.emplace_back(next_listener_, std::move(listener));
  return next_listener_++;
}

void DataSet::RemoveListener(int id) {
  std::erase_if(listeners_, [id](const auto& p) { return p.first == id; });
}

void DataSet::Notify(DataEvent e) {
  auto copy = listeners_;
  for (auto& [id, fn] : copy) fn(e);
}

int DataSet::FindFieldIndex(std::string_view name) const {
  for (size_t i = 0; i < fields_.size(); ++i)
    if (SameName(fields_[i].name, name)) return static_cast<int>(i);
  return -1;
}

Field DataSet::FieldByName(std::string_view name) {
  CheckActive();
  int i = FindFieldIndex(name);
  if (i < 0)
    throw AdoError(ErrorKind::NotFound,
                   ObjectName() + ": Field '" + std::string(name) + "' not found");
  return Field(this, i);
}

std::vector<Variant> DataSet::FieldValues(std::string_view names) {
  std::vector<Variant> out;
  for (const auto& n : SplitFieldList(names)) out.push_back(FieldByName(n).Value());
  return out;
}

Variant DataSet::CurrentValue(int index) const {
  CheckActive();
  if (state_ == DataSetState::Browse && eof_ && bof_) return Variant();
  if (static_cast<size_t>(index) >= row_.size()) return Variant();
  return row_[static_cast<size_t>(index)];
}

void DataSet::AssignValue(int index, const Variant& value) {
  CheckActive();
  if (state_ != DataSetState::Insert && state_ != DataSetState::Edit)
    throw AdoError(ErrorKind::State, ObjectName() + ": Dataset not in edit or insert mode");
  const FieldDef& f = fields_.at(static_cast<size_t>(index));
  if (f.kind == FieldKind::AutoNumber)
    throw AdoError(ErrorKind::State, ObjectName() + ": Field '" + f.name + "' cannot be modified");
  Variant v = value;
  if (f.kind == FieldKind::Text && v.Kind() == VariantKind::Text)
    v = Variant(CutToChars(v.AsString(), f.size));
  row_[static_cast<size_t>(index)] = std::move(v);
  assigned_[static_cast<size_t>(index)] = true;
}

void DataSet::Insert() {
  CheckActive();
  throw AdoError(ErrorKind::State, ObjectName() + ": Cannot modify a read-only dataset");
}
void DataSet::Edit() {
  Insert();
}
void DataSet::Post() {
  CheckActive();
}
void DataSet::Cancel() {
  CheckActive();
}
void DataSet::Delete() {
  Insert();
}

}  // namespace vt::ado
