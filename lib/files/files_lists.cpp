// Methods on lists (1-based text arrays) and tables (two-dimensional text arrays, rows first).

#include <algorithm>
#include <numeric>
#include <unordered_set>
#include <vector>

#include "core/Main.h"
#include "platform/Text.h"

namespace quillmere {

namespace {

// The runtime's reading of a leading number ("12abc" -> 12, "x" -> 0).
double leadingNumber(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  double v = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') v = v * 10 + (text[i++] - '0');
  return negative ? -v : v;
}

// Keeps the rows of a table for which keep(row) is true, rebuilt 1-based with the same
// columns; erased when none remains.
template <typename Keep>
void keepRows(StringArray& table, Keep keep) {
  const std::int32_t c1 = table.lbound(2);
  const std::int32_t c2 = table.ubound(2);
  std::vector<std::int32_t> rows;
  for (std::int32_t r = table.lbound(1); r <= table.ubound(1); ++r)
    if (keep(r)) rows.push_back(r);
  if (rows.empty()) {
    table.erase();
    return;
  }
  StringArray out;
  out.redim(1, static_cast<std::int32_t>(rows.size()), c1, c2);
  for (std::size_t i = 0; i < rows.size(); ++i)
    for (std::int32_t c = c1; c <= c2; ++c)
      out(static_cast<std::int32_t>(i) + 1, c) = std::move(table(rows[i], c));
  table = std::move(out);
}

// Rebuilds a list with lower bound 0, an empty element 0 and the entries from 1 on.
StringArray zeroBased(const std::vector<std::string>& entries) {
  StringArray out;
  out.redim(0, static_cast<std::int32_t>(entries.size()));
  for (std::size_t i = 0; i < entries.size(); ++i)
    out(static_cast<std::int32_t>(i) + 1) = entries[i];
  return out;
}

// Distinct non-empty entries in their order (first occurrence stays).
std::vector<std::string> cleaned(const StringArray& list) {
  std::vector<std::string> out;
  if (list.dims() == 0) return out;
  std::unordered_set<std::string> seen;
  for (const std::string& entry : list)
    if (!entry.empty() && seen.insert(entry).second) out.push_back(entry);
  return out;
}

// Filters a file list by extension: keeps entries whose extension is (select) or is not
// (!select) one of the given ones, each made to begin with "." first.
void filterByExtension(const Main& main, StringArray& fileName, StringArray& extensions,
                       bool select) {
  if (fileName.dims() == 0 || extensions.dims() == 0) return;
  for (std::string& ext : extensions)
    if (ext.empty() || ext[0] != '.') ext.insert(ext.begin(), '.');
  std::vector<std::string> kept;
  for (const std::string& entry : fileName) {
    const std::string ext = main.DLL_KakuchoUName(entry);
    const bool listed = std::any_of(extensions.begin(), extensions.end(),
                                    [&](const auto& e) { return text::equalsNoCase(e, ext); });
    if (listed == select) kept.push_back(entry);
  }
  if (kept.empty()) {
    fileName.erase();
  } else {
    fileName = StringArray::fromList(std::move(kept));
  }
}

}  // namespace

void Main::DLL_FileNameDelet(StringArray& FileName, StringArray& DeletName) const {
  filterByExtension(*this, FileName, DeletName, false);
}

void Main::DLL_FileNameSelect(StringArray& FileName, StringArray& SelectName) const {
  filterByExtension(*this, FileName, SelectName, true);
}

bool Main::DLL_ListCheck(const std::string& Check_String, StringArray& StringList,
                         std::int32_t DimX) const {
  if (StringList.dims() == 1) {
    return DimX == 1 &&
           std::find(StringList.begin(), StringList.end(), Check_String) != StringList.end();
  }
  if (StringList.dims() != 2) return false;
  for (std::int32_t r = StringList.lbound(1); r <= StringList.ubound(1); ++r)
    if (StringList(r, DimX) == Check_String) return true;
  return false;
}

std::string Main::DLL_NullDel(const std::string& TempA) const {
  return TempA.substr(0, TempA.find('\0'));
}

void Main::DLL_NullDelDim2(StringArray& InDim) const {
  if (InDim.dims() != 2) return;
  keepRows(InDim, [&](std::int32_t r) {
    for (std::int32_t c = InDim.lbound(2); c <= InDim.ubound(2); ++c)
      if (!InDim(r, c).empty()) return true;
    return false;
  });
}

void Main::DLL_Sort(StringArray& Data, LongArray& Target) const {
  if (Data.dims() == 0 || Target.dims() == 0) return;
  if (Data.dims() == 1) {
    std::stable_sort(Data.begin(), Data.end());
    return;
  }
  const std::int32_t r1 = Data.lbound(1);
  const std::int32_t rows = Data.count(1);
  const std::int32_t c1 = Data.lbound(2);
  const std::int32_t cols = Data.count(2);
  std::vector<std::int32_t> keys;
  for (std::int32_t t : Target) {
    if (t < c1 || t >= c1 + cols)
      throw DllError(dllerr::kSubscriptOutOfRange, "Subscript out of range");
    keys.push_back(t - c1);
  }
  auto& cells = Data.data();
  std::vector<std::int32_t> order(static_cast<std::size_t>(rows));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
    for (std::int32_t k : keys) {
      const int c = cells[static_cast<std::size_t>(a) * cols + k].compare(
          cells[static_cast<std::size_t>(b) * cols + k]);
      if (c != 0) return c < 0;
    }
    return false;
  });
  std::vector<std::string> sorted;
  sorted.reserve(cells.size());
  for (std::int32_t r : order)
    for (std::int32_t c = 0; c < cols; ++c)
      sorted.push_back(std::move(cells[static_cast<std::size_t>(r) * cols + c]));
  cells = std::move(sorted);
  (void)r1;
}

void Main::DLL_DimWFileDel(StringArray& DimList) const {
  DimList = zeroBased(cleaned(DimList));
}

void Main::DLL_DimWFileDel_W(StringArray& DimListA, StringArray& DimListB) const {
  std::vector<std::string> a = cleaned(DimListA);
  std::vector<std::string> b = cleaned(DimListB);
  const std::unordered_set<std::string> inA(a.begin(), a.end());
  const std::unordered_set<std::string> inB(b.begin(), b.end());
  std::erase_if(a, [&](const std::string& s) { return inB.count(s) != 0; });
  std::erase_if(b, [&](const std::string& s) { return inA.count(s) != 0; });
  DimListA = zeroBased(a);
  DimListB = zeroBased(b);
}

void Main::DLL_DimConvertA(StringArray& Data) const {
  if (Data.dims() != 1) return;
  StringArray out;
  out.redim(Data.lbound(), Data.ubound(), 1, 2);
  for (std::int32_t i = Data.lbound(); i <= Data.ubound(); ++i) {
    out(i, 1) = std::to_string(i);
    out(i, 2) = std::move(Data(i));
  }
  Data = std::move(out);
}

void Main::DLL_DimConvertB(StringArray& Data) const {
  if (Data.dims() != 2) return;
  StringArray out;
  out.redim(Data.lbound(1), Data.ubound(1));
  for (std::int32_t r = Data.lbound(1); r <= Data.ubound(1); ++r) out(r) = std::move(Data(r, 2));
  Data = std::move(out);
}

void Main::DLL_DimThumbNailConvert(StringArray& FileList, StringArray& ThumbNailList) const {
  if (FileList.dims() != 1 || ThumbNailList.dims() != 2) return;
  double largest = 0;
  for (std::int32_t r = ThumbNailList.lbound(1); r <= ThumbNailList.ubound(1); ++r)
    largest = std::max(largest, leadingNumber(ThumbNailList(r, ThumbNailList.lbound(2))));
  const std::int32_t first = ThumbNailList.ubound(1) + 1;
  const std::int32_t c1 = ThumbNailList.lbound(2);
  const std::int32_t c2 = std::max(ThumbNailList.ubound(2), c1 + 1);
  ThumbNailList.redimPreserve(ThumbNailList.lbound(1), first + FileList.count(1) - 1, c1, c2);
  std::int32_t row = first;
  for (const std::string& entry : FileList) {
    largest += 1;
    ThumbNailList(row, c1) = std::to_string(static_cast<long long>(largest));
    ThumbNailList(row, c1 + 1) = entry;
    ++row;
  }
}

void Main::DLL_WDataDel(StringArray& ThumbNailList, const std::string& TargetDim) const {
  if (ThumbNailList.dims() != 2) return;
  const auto column = static_cast<std::int32_t>(leadingNumber(TargetDim));
  ThumbNailList(ThumbNailList.lbound(1), column);  // a column that does not exist raises
  std::unordered_set<std::string> seen;
  keepRows(ThumbNailList, [&](std::int32_t r) {
    const std::string& value = ThumbNailList(r, column);
    return !value.empty() && seen.insert(value).second;
  });
}

}  // namespace quillmere
