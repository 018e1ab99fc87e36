#pragma once

#include <string>
#include <vector>

#include "duplicates/FileFacts.h"

namespace quillmere::duplicates {

// The comparison loops of the two runs, apart from the library and the screen so that their
// order can be checked against the plain every-pair loop. Positions are 1-based list positions.

// ---- Duplicate delete -------------------------------------------------------------------------

class DeleteLoopHost {
 public:
  virtual ~DeleteLoopHost() = default;
  virtual bool cancelled() = 0;
  virtual bool exists(const std::string& path) = 0;
  // True when both files exist, are two files and hold the same bytes.
  virtual bool sameBytes(const std::string& comparison, const std::string& deletion) = 0;
  // Deletes the file (or declines to); true when it is gone afterwards.
  virtual bool remove(const std::string& deletion) = 0;
  // A pair is about to be compared.
  virtual void comparing(int comparisonPos, int deletionPos, int remaining) = 0;
  // The loop passed an outer file that has no partner of its size; the host may yield.
  virtual void passing(int outerPos, int remaining) = 0;
};

struct DeleteLoopInput {
  const std::vector<std::string>& comparison;
  const std::vector<FileFacts>& comparisonFacts;  // one per comparison file, read at the start
  const std::vector<std::string>& deletion;
  const std::vector<FileFacts>& deletionFacts;
};

struct DeleteLoopResult {
  bool comparisonOuter = false;  // the comparison list was the shorter one and drove the loop
  int remaining = 0;             // deletion candidates not yet deleted (or declined)
};

// The delete loop: the shorter list drives the outer loop (the comparison list only when it is
// strictly shorter); every outer file that still exists is compared with the files of the other
// list in list order, and every match deletes its deletion file. Only pairs of equal size that
// are two different files are compared: the files deleted, and their order, are those of
// comparing every pair. Links take no part: a listed link is never compared, and a deletion file
// that a listed link points to is never deleted.
DeleteLoopResult runDeleteLoop(const DeleteLoopInput& in, DeleteLoopHost& host);

// ---- File back --------------------------------------------------------------------------------

class FileBackLoopHost {
 public:
  enum class Outcome {
    Attempted,  // the move was made (or attempted): one candidate fewer remains
    Kept,       // the source stays where it is and is not offered to further namesakes
  };
  virtual ~FileBackLoopHost() = default;
  virtual bool cancelled() = 0;
  virtual bool exists(const std::string& path) = 0;
  virtual void comparing(int sourcePos, int destPos, int remaining) = 0;
  virtual void passing(int sourcePos, int remaining) = 0;
  // Writes source file back beside (or below) its namesake.
  virtual Outcome writeBack(int sourcePos, int destPos) = 0;
};

struct FileBackLoopInput {
  const std::vector<std::string>& sources;
  const std::vector<std::string>& sourceKeys;  // the name each file is matched by
  const std::vector<FileFacts>& sourceFacts;
  const std::vector<std::string>& dests;
  const std::vector<std::string>& destKeys;
  const std::vector<FileFacts>& destFacts;
};

// The file-back loop: every source file that exists is offered, in list order, to the
// destination files whose key equals its own, for as long as it still exists. A file is never
// its own namesake. Returns the candidates that remain.
int runFileBackLoop(const FileBackLoopInput& in, FileBackLoopHost& host);

}  // namespace quillmere::duplicates
