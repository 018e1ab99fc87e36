#include "duplicates/PairLoops.h"

#include <set>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace quillmere::duplicates {

DeleteLoopResult runDeleteLoop(const DeleteLoopInput& in, DeleteLoopHost& host) {
  DeleteLoopResult result;
  result.remaining = static_cast<int>(in.deletion.size());
  if (in.comparison.empty() || in.deletion.empty()) return result;

  result.comparisonOuter = in.comparison.size() < in.deletion.size();
  const auto& outer = result.comparisonOuter ? in.comparison : in.deletion;
  const auto& outerFacts = result.comparisonOuter ? in.comparisonFacts : in.deletionFacts;
  const auto& innerFacts = result.comparisonOuter ? in.deletionFacts : in.comparisonFacts;

  // A link is never a copy of anything: it is neither kept as the copy of a deleted file nor
  // deleted as a copy itself. A file that a link of either side points to is never deleted, so
  // no kept link is left dangling.
  std::set<std::pair<std::uint64_t, std::uint64_t>> linkedTo;
  for (const auto* list : {&in.comparisonFacts, &in.deletionFacts})
    for (const FileFacts& f : *list)
      if (f.known && f.link) linkedTo.emplace(f.device, f.inode);
  const auto usable = [&](const FileFacts& f, bool deletionSide) {
    return f.known && !f.link && !(deletionSide && linkedTo.count({f.device, f.inode}));
  };
  const bool outerIsDeletion = !result.comparisonOuter;

  // Only files of equal size can be equal: the inner files by size, each group in list order.
  std::unordered_map<std::int64_t, std::vector<int>> innerBySize;
  for (int k = 0; k < static_cast<int>(innerFacts.size()); ++k)
    if (usable(innerFacts[k], !outerIsDeletion)) innerBySize[innerFacts[k].size].push_back(k);

  // Files this run deleted: a deleted file matches nothing any more.
  std::unordered_set<std::string> gone;

  for (int o = 0; o < static_cast<int>(outer.size()); ++o) {
    if (host.cancelled() || result.remaining <= 0) break;
    const FileFacts& facts = outerFacts[o];
    const auto group =
        usable(facts, outerIsDeletion) ? innerBySize.find(facts.size) : innerBySize.end();
    if (group == innerBySize.end() || gone.count(outer[o]) || !host.exists(outer[o])) {
      host.passing(o + 1, result.remaining);
      continue;
    }
    for (const int k : group->second) {
      if (facts.sameFileAs(innerFacts[k])) continue;  // one file under two paths
      const int c = result.comparisonOuter ? o : k;
      const int d = result.comparisonOuter ? k : o;
      if (gone.count(in.comparison[c]) || gone.count(in.deletion[d])) continue;
      host.comparing(c + 1, d + 1, result.remaining);
      if (!host.sameBytes(in.comparison[c], in.deletion[d])) continue;
      const bool removed = host.remove(in.deletion[d]);
      --result.remaining;  // also when the deletion was declined or failed
      if (removed) {
        gone.insert(in.deletion[d]);
        if (!result.comparisonOuter) break;  // the outer file itself is gone
      }
    }
  }
  return result;
}

int runFileBackLoop(const FileBackLoopInput& in, FileBackLoopHost& host) {
  int remaining = static_cast<int>(in.dests.size());
  if (in.sources.empty() || in.dests.empty()) return remaining;

  std::unordered_map<std::string, std::vector<int>> destsByKey;
  for (int d = 0; d < static_cast<int>(in.dests.size()); ++d)
    destsByKey[in.destKeys[d]].push_back(d);

  for (int s = 0; s < static_cast<int>(in.sources.size()); ++s) {
    if (host.cancelled() || remaining <= 0) break;
    const auto group = destsByKey.find(in.sourceKeys[s]);
    if (group == destsByKey.end() || !host.exists(in.sources[s])) {
      host.passing(s + 1, remaining);
      continue;
    }
    for (const int d : group->second) {
      if (!host.exists(in.sources[s])) break;
      // A file is never its own namesake (the same path, or one file under two paths).
      if (in.sources[s] == in.dests[d] || in.sourceFacts[s].sameFileAs(in.destFacts[d])) continue;
      host.comparing(s + 1, d + 1, remaining);
      if (host.writeBack(s, d) == FileBackLoopHost::Outcome::Kept) break;
      --remaining;
    }
  }
  return remaining;
}

}  // namespace quillmere::duplicates
