// Related files of the rename run: files beside a picture with its base name and another
// extension (a RAW and its JPEG, .xmp, .thm, .wav) take the picture's new name and clash
// letter. While a group's files move, a note in the target folder names each member's old
// place and parked name, so that Recovery can finish a group a killed run left half moved.

#include <algorithm>
#include <array>
#include <map>
#include <string_view>

#include "platform/Text.h"
#include "rename/RenameRun.h"

namespace quillmere::rename {

namespace {

// The rank of a picture's extension in choosing the group's name: JPEG, HEIC, RAW; -1 for a
// file that is no picture (a sidecar).
int pictureRank(const std::string& extension) {
  static const std::array<std::string_view, 2> jpeg = {".JPG", ".JPEG"};
  static const std::array<std::string_view, 2> heic = {".HEIC", ".HEIF"};
  static const std::array<std::string_view, 20> raw = {
      ".CR2", ".CR3", ".CRW", ".NEF", ".NRW", ".ARW", ".SR2", ".SRF", ".ORF", ".RW2",
      ".RAF", ".DNG", ".PEF", ".SRW", ".RAW", ".X3F", ".3FR", ".ERF", ".KDC", ".MRW"};
  const std::string up = text::asciiUpper(extension);
  const auto in = [&](const auto& list) {
    return std::find(list.begin(), list.end(), up) != list.end();
  };
  if (in(jpeg)) return 0;
  if (in(heic)) return 1;
  if (in(raw)) return 2;
  return -1;
}

}  // namespace

// Survey: files of one folder with one base name form a group when one of them is a picture.
// The group's name comes from its first picture with a shooting date in the order JPEG, HEIC,
// RAW (without one, from its first picture: every member then keeps its base name).
void RenameEngine::Run::formGroups() {
  std::map<std::string, std::vector<std::size_t>> byStem;
  for (std::size_t i = 0; i < m_records.size(); ++i) {
    const Record& r = m_records[i];
    if (r.extension.empty()) continue;
    byStem[r.source.substr(0, r.source.size() - r.extension.size())].push_back(i);
  }
  int next = 0;
  for (const auto& [stem, members] : byStem) {
    if (members.size() < 2) continue;
    std::size_t leader = 0;
    int best = -1;
    for (std::size_t i : members) {
      const int rank = pictureRank(m_records[i].extension);
      if (rank < 0) continue;
      const int key = rank + (m_records[i].dated ? 0 : 3);
      if (best < 0 || key < best) {
        best = key;
        leader = i;
      }
    }
    if (best < 0) continue;
    const Record lead = m_records[leader];
    for (std::size_t i : members) {
      Record& r = m_records[i];
      r.group = next;
      r.base = lead.base;
      r.haveTime = lead.haveTime;
      r.setLow = lead.setLow;
      r.setHigh = lead.setHigh;
      r.leads = i == leader;
    }
    ++next;
  }
  m_groups.assign(static_cast<std::size_t>(next), {});
}

// After the sort: each group's members and leader by their places in m_records.
void RenameEngine::Run::indexGroups() {
  for (Group& g : m_groups) g.members.clear();
  for (std::size_t i = 0; i < m_records.size(); ++i) {
    const Record& r = m_records[i];
    if (r.group < 0) continue;
    Group& g = m_groups[static_cast<std::size_t>(r.group)];
    if (r.leads) g.leader = i;
    g.members.push_back(i);
  }
}

bool RenameEngine::Run::isFollower(const Record& r) const {
  return r.group >= 0 && !r.leads;
}

// The numbering format: the followers take their leader's running number.
void RenameEngine::Run::takeLeadersNames() {
  for (Record& r : m_records) {
    if (!isFollower(r)) continue;
    r.base = m_records[m_groups[static_cast<std::size_t>(r.group)].leader].base;
    r.clash = 0;
  }
}

// Gives every member the lowest clash letter, from the highest they hold, under which no
// member's name is taken: the parked and final names when parking, the final names when
// settling.
void RenameEngine::Run::alignClash(const Group& g, bool parking) {
  int clash = 0;
  for (std::size_t i : g.members) clash = std::max(clash, m_records[i].clash);
  for (int tries = 0; tries <= kMaxClashes; ++tries, ++clash) {
    bool free = true;
    for (std::size_t i : g.members) {
      Record probe = m_records[i];
      probe.clash = clash;
      if ((parking && fileThere(target(probe, false) + "Temp")) || fileThere(target(probe, true))) {
        free = false;
        break;
      }
    }
    if (free) break;
  }
  for (std::size_t i : g.members) m_records[i].clash = clash;
}

// The note is written only when files move (Move and Stay modes): in Copy mode the sources stay
// where they are, and Recovery has nothing to bring along.
void RenameEngine::Run::writeGroupNote(Group& g) {
  if (m_options.mode == Mode::Copy || m_plan) return;  // a plan writes nothing
  const Record& lead = m_records[g.leader];
  const std::string note = dll().DLL_PathAdd(
      targetFolder(lead), lead.base + dll().DLL_ToAlphabet(lead.clash) + kGroupNoteExtension);
  std::string text = kGroupNoteHeader;
  text += '\n';
  for (std::size_t i : g.members) {
    const Record& r = m_records[i];
    const std::string parked = target(r, false) + "Temp";
    if (r.source.find_first_of("\t\n") != std::string::npos ||
        parked.find_first_of("\t\n") != std::string::npos)
      return;  // a name the note cannot hold: the group is moved without one
    text += r.source + '\t' + parked + '\n';
  }
  if (m_steps.exists(note) || m_steps.writeNote(note, text) != StepResult::Ok) return;
  g.note = note;
}

void RenameEngine::Run::removeGroupNote(Group& g) {
  if (g.note.empty()) return;
  removeStep(g.note);
  g.note.clear();
}

RenameEngine::Run::ParkOutcome RenameEngine::Run::parkGroup(Group& g) {
  alignClash(g, true);
  writeGroupNote(g);
  for (std::size_t i : g.members) {
    if (m_records[i].state != Record::State::Listed) continue;
    if (parkFile(i) == ParkOutcome::Stop) return ParkOutcome::Stop;
  }
  return ParkOutcome::Next;
}

// Settles the group's parked members under one clash letter; the note goes once they are done.
void RenameEngine::Run::settleGroup(Group& g) {
  alignClash(g, false);
  for (std::size_t i : g.members)
    if (m_records[i].state == Record::State::Parked) settleFile(i);
  removeGroupNote(g);
}

}  // namespace quillmere::rename
